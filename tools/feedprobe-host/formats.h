// Output formats: escaping for JSON, CSV, XML and Prometheus labels, numbers, time stamps,
// sparklines and plain-text tables.
#pragma once

#include <cstdint>
#include <deque>
#include <ostream>
#include <string>
#include <vector>

namespace fphost {

std::string JsonString(const std::string& text);  // with the quotation marks
std::string CsvField(const std::string& text);    // quoted only when needed
std::string XmlEscape(const std::string& text);
std::string PrometheusLabel(const std::string& text);  // the escaped inside of a label value

// The shortest text that reads back as the same double.
std::string FormatNumber(double value);
// "2026-12-11T12:22:26.123Z"; empty for a zero time stamp.
std::string FormatTime(int32_t seconds, int32_t microseconds);

// One block character per value, scaled between the smallest and largest of them.
std::string Sparkline(const std::deque<double>& values);

// Columns padded to their widest cell (widths counted in characters, not bytes).
void PrintTable(std::ostream& out, const std::vector<std::string>& headers,
                const std::vector<std::vector<std::string>>& rows);

}  // namespace fphost
