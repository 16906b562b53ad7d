#include "xmlmonitorshared/format_string.h"

#include <cstdio>
#include <vector>

std::string StringPrintfV(const char* format, va_list args) {
  if (format == nullptr) return {};
  va_list measure;
  va_copy(measure, args);
  int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length <= 0) return {};
  std::vector<char> buffer(static_cast<size_t>(length) + 1);
  std::vsnprintf(buffer.data(), buffer.size(), format, args);
  return std::string(buffer.data(), static_cast<size_t>(length));
}

std::string StringPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string result = StringPrintfV(format, args);
  va_end(args);
  return result;
}

void FormatString(CString& target, const char* format, ...) {
  va_list args;
  va_start(args, format);
  target = CString(StringPrintfV(format, args));
  va_end(args);
}
