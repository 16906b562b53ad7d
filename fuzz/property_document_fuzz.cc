// The property document on arbitrary text; the first line names one more property to read.
#include "feedprobe/plugin/property_document.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text = fuzz_support::Text(data, size);
  size_t line_end = text.find('\n');
  std::string name = line_end == std::string::npos ? std::string() : text.substr(0, line_end);
  std::string xml = line_end == std::string::npos ? text : text.substr(line_end + 1);

  feedprobe::PropertyDocument document;
  std::string value, port, use_https, account;
  if (!document.Load(xml)) return 0;
  document.GetProperty(name, value);
  document.GetConnectionProperties(port, use_https);
  document.GetAccountProperty(account);
  return 0;
}
