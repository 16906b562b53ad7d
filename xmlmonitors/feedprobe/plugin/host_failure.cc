#include "feedprobe/plugin/host_failure.h"

#include "feedprobe/plugin/error_reporting.h"
#include "feedprobe/resources/string_table.h"
#include "feedprobe/xml/xml_doc_loader.h"

namespace feedprobe {

std::string FormatHostFailure(const CXmlDocLoader& loader) {
  std::string text;
  switch (loader.error_kind()) {
    case kLoaderNoError: text = LoadResourceString(kStrUnspecifiedError); break;
    case kLoaderBadHost: text = LoadResourceString(kStrBadHostName); break;
    case kLoaderConnectFailed:
      text = platform::ProcessCatalogue().Format(
          kMsgHostUnreachable, {loader.host(), loader.port(), loader.error_text()});
      break;
    case kLoaderNoDocument: text = LoadResourceString(kStrParserNotCreated); break;
    default: text = loader.error_text(); break;
  }
  if (text.size() > 2047) text.resize(2047);
  return text;
}

}  // namespace feedprobe
