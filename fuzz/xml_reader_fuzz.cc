// The XML reader on arbitrary text, with a few queries and the text of what they select.
#include "feedprobe/xml/xml_reader.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  feedprobe::CXmlReader reader;
  bool loaded = reader.LoadXml(fuzz_support::Text(data, size));
  if (!reader.Init(loaded)) return 0;
  platform::xml::XmlNode root = reader.GetRoot();
  for (const char* query : {"//*", "/*/*[1]", "//@*", "//text()", "//prop[@name=\"port\"]/value"}) {
    platform::xml::XmlNode node;
    std::string text;
    if (feedprobe::CXmlReader::GetNode(root, reader, query, node))
      feedprobe::CXmlReader::GetText(node, reader, text);
  }
  return 0;
}
