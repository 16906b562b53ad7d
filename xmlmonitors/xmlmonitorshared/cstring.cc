#include "xmlmonitorshared/cstring.h"

#include <cstring>

CString CString::Mid(int start, int count) const {
  if (start < 0) start = 0;
  if (static_cast<size_t>(start) >= text_.size() || count == 0) return CString();
  return CString(text_.substr(static_cast<size_t>(start),
                              count < 0 ? std::string::npos : static_cast<size_t>(count)));
}

char CString::GetAt(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= text_.size()) return '\0';
  return text_[static_cast<size_t>(index)];
}

int CString::Find(const char* pattern, int start) const {
  if (pattern == nullptr || start < 0 || static_cast<size_t>(start) > text_.size()) return -1;
  size_t at = text_.find(pattern, static_cast<size_t>(start));
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

size_t TextLength(const char* text) { return text ? std::strlen(text) : 0; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
    if (x != y) return false;
  }
  return true;
}
