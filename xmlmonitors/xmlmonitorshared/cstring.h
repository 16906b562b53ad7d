// The plug-in's byte string with null-tolerant conventions: a null text is the empty
// string, a substring starting past the end is empty, a character past the end is '\0',
// comparisons are byte-wise.
#pragma once

#include <string>
#include <string_view>

class CString {
 public:
  CString() = default;
  CString(const char* text) : text_(text ? text : "") {}
  CString(const std::string& text) : text_(text) {}
  CString& operator=(const char* text) {
    text_ = text ? text : "";
    return *this;
  }
  CString& operator+=(const CString& more) {
    text_ += more.text_;
    return *this;
  }

  int GetLength() const { return static_cast<int>(text_.size()); }
  bool IsEmpty() const { return text_.empty(); }
  const char* c_str() const { return text_.c_str(); }
  const std::string& str() const { return text_; }
  std::string& str() { return text_; }

  // The characters from start on (all of them with count < 0); empty past the end.
  CString Mid(int start, int count = -1) const;
  CString Left(int count) const { return Mid(0, count); }
  char GetAt(int index) const;
  // Index of the first occurrence at or after start, or -1.
  int Find(const char* pattern, int start = 0) const;

  friend bool operator==(const CString& a, const CString& b) { return a.text_ == b.text_; }
  friend bool operator<(const CString& a, const CString& b) { return a.text_ < b.text_; }

 private:
  std::string text_;
};

// Byte-wise comparison that ignores the letter case of ASCII letters.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// Length of a text; 0 for null.
size_t TextLength(const char* text);
