#include "xmlmonitorshared/replace_all.h"

#include <cstring>

std::string ReplacedCopy(const char* text, const char* pattern, const char* replacement) {
  std::string source = text ? text : "";
  size_t pattern_length = TextLength(pattern);
  if (pattern_length == 0) return source;
  std::string result;
  size_t from = 0;
  for (size_t at = source.find(pattern); at != std::string::npos;
       at = source.find(pattern, from)) {
    result.append(source, from, at - from);
    result += replacement ? replacement : "";
    from = at + pattern_length;
  }
  result.append(source, from, std::string::npos);
  return result;
}

bool ReplaceAllInPlace(CString& text, const char* pattern, const char* replacement) {
  if (TextLength(pattern) == 0 || text.Find(pattern) < 0) return false;
  text = CString(ReplacedCopy(text.c_str(), pattern, replacement));
  return true;
}
