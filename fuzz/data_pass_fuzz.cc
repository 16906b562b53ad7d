// One data pass on an arbitrary server answer: the bytes are parsed as the loader parses what
// the transport received, transformed with a fixed stylesheet, and a fixed counter is selected
// by its identity path and its value read, as the sampling thread does.
#include "feedprobe/xml/performance_monitor.h"
#include "fuzz_support.h"
#include "platform/xml/dom.h"

namespace {

const char kStylesheet[] = R"(<?xml version="1.0"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:template match="/">
    <PerformanceMonitor>
      <object name="JVM">
        <xsl:for-each select="//*[@name]">
          <counter name="{@name}" class="{@class}"><PerfLoadInfo val="{@value}" mean="{.}"/></counter>
        </xsl:for-each>
        <xsl:copy-of select="/*/*"/>
      </object>
    </PerformanceMonitor>
  </xsl:template>
</xsl:stylesheet>)";

const char kIdentifier[] =
    "/PerformanceMonitor/object[(@name=\"JVM\")]/counter[(@name=\"Heap\") and (@class=\"Memory\")]";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static platform::xml::XmlDocument* stylesheet = [] {
    auto* document = new platform::xml::XmlDocument();
    document->LoadXml(kStylesheet);
    return document;
  }();

  platform::xml::XmlDocument answer;
  if (!answer.LoadBytes(std::string_view(reinterpret_cast<const char*>(data), size))) return 0;
  platform::xml::XmlDocument normalised;
  for (platform::xml::XmlDocument* document : {&answer, &normalised}) {
    if (document == &normalised &&
        !answer.TransformNodeToObject(stylesheet->DocumentElement(), normalised))
      break;
    platform::xml::XmlNode root = document->DocumentElement();
    platform::xml::XmlNode node = feedprobe::SelectNodeByPath(kIdentifier, root);
    if (!node) continue;
    platform::xml::XmlNode child = node.FirstChild();
    (void)(child ? child.GetAttribute("val") : node.GetAttribute("val"));
    (void)node.Text();
  }
  return 0;
}
