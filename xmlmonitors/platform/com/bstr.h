// BSTR: a UTF-16 text with its length kept before the characters; a null BSTR is the empty
// text. Texts of this platform are UTF-8; conversions happen only at component boundaries.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace platform {

using OLECHAR = char16_t;
using BSTR = OLECHAR*;

BSTR SysAllocString(const OLECHAR* text);
BSTR SysAllocStringLen(const OLECHAR* text, uint32_t length);
void SysFreeString(BSTR text);
// Length in characters; 0 for null.
uint32_t SysStringLen(BSTR text);

std::u16string Utf8ToUtf16(const std::string& text);
// Invalid sequences become U+FFFD.
std::string Utf16ToUtf8(const char16_t* text, size_t length);

BSTR BstrFromUtf8(const std::string& text);
std::string BstrToUtf8(BSTR text);

// Owns one BSTR.
class BString {
 public:
  BString() = default;
  explicit BString(const std::string& utf8) : text_(BstrFromUtf8(utf8)) {}
  ~BString() { SysFreeString(text_); }
  BString(const BString&) = delete;
  BString& operator=(const BString&) = delete;
  BString(BString&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}

  BSTR get() const { return text_; }
  // For out parameters: frees the current text and hands out the slot.
  BSTR* out() {
    SysFreeString(std::exchange(text_, nullptr));
    return &text_;
  }
  std::string Utf8() const { return BstrToUtf8(text_); }

 private:
  BSTR text_ = nullptr;
};

}  // namespace platform
