// An arbitrary measurement identifier, as the host passes it to GetNewData, selected by its
// identity path in a fixed metric data document. Where the fast matcher answers, the engine's
// XPath must select the same node.
#include <string>

#include "feedprobe/xml/performance_monitor.h"
#include "fuzz_support.h"
#include "platform/xml/dom.h"

namespace {

const char kData[] = R"(<?xml version="1.0"?>
<PerformanceMonitor><object name="JVM" class="Runtime">
  <counter name="Heap" class="Memory"><PerfLoadInfo val="12.5" mean="11"/></counter>
  <counter name="Threads" val="7"/>
  <object name="a&quot;b'c"><counter name="x\y" val="1"/></object>
</object></PerformanceMonitor>)";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static platform::xml::XmlDocument* document = [] {
    auto* loaded = new platform::xml::XmlDocument();
    loaded->LoadXml(kData);
    return loaded;
  }();
  std::string path = fuzz_support::CText(data, size);
  platform::xml::XmlNode node = feedprobe::SelectNodeByPath(path, document->DocumentElement());
  if (node) (void)node.GetAttribute("val");
  if (feedprobe::IsIndexedPath(path) && !(node == document->DocumentElement().SelectSingleNode(path)))
    __builtin_trap();
  return 0;
}
