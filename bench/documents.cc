#include "documents.h"

#include <cstdio>

namespace feedprobe_bench {

namespace {

const char* const kTypes[] = {"gauge", "counter", "rate", "ratio"};

std::string ComponentName(int index) { return "component" + std::to_string(index); }

std::string MetricName(int index) {
  char name[32];
  std::snprintf(name, sizeof name, "metric%04d", index);
  return name;
}

}  // namespace

std::string StatusDocument(int values, unsigned seed) {
  std::string text = "<?xml version=\"1.0\"?>\n<status server=\"bench\">\n";
  unsigned state = seed * 2654435761u + 1;
  for (int i = 0; i < values; ++i) {
    int component = i / kValuesPerComponent;
    int metric = i % kValuesPerComponent;
    if (metric == 0) text += " <component name=\"" + ComponentName(component) + "\">\n";
    state = state * 1103515245u + 12345u;
    char value[32];
    std::snprintf(value, sizeof value, "%u.%02u", (state >> 8) % 100000, (state >> 4) % 100);
    text += "  <metric name=\"" + MetricName(metric) + "\" type=\"" + kTypes[metric % 4] +
            "\" value=\"" + value + "\"/>\n";
    if (metric == kValuesPerComponent - 1 || i == values - 1) text += " </component>\n";
  }
  return text + "</status>\n";
}

std::vector<std::string> CounterIds(int values) {
  std::vector<std::string> ids;
  ids.reserve(values);
  for (int i = 0; i < values; ++i) {
    int metric = i % kValuesPerComponent;
    ids.push_back("/PerformanceMonitor/object[(@name=\"" +
                  ComponentName(i / kValuesPerComponent) + "\")]/counter[(@name=\"" +
                  MetricName(metric) + "\") and (@class=\"" + kTypes[metric % 4] + "\")]");
  }
  return ids;
}

const char kListStylesheet[] = R"(<?xml version="1.0"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="xml"/>
  <xsl:template match="/status">
    <PerformanceMonitor>
      <xsl:for-each select="component">
        <object name="{@name}">
          <xsl:for-each select="metric">
            <counter name="{@name}" class="{@type}"/>
          </xsl:for-each>
        </object>
      </xsl:for-each>
    </PerformanceMonitor>
  </xsl:template>
</xsl:stylesheet>
)";

const char kDataStylesheet[] = R"(<?xml version="1.0"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="xml"/>
  <xsl:template match="/status">
    <PerformanceMonitor>
      <xsl:for-each select="component">
        <object name="{@name}">
          <xsl:for-each select="metric">
            <counter name="{@name}" class="{@type}" val="{@value}"/>
          </xsl:for-each>
        </object>
      </xsl:for-each>
    </PerformanceMonitor>
  </xsl:template>
</xsl:stylesheet>
)";

}  // namespace feedprobe_bench
