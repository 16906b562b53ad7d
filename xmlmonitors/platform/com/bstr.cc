#include "platform/com/bstr.h"

#include <cstdlib>
#include <cstring>

namespace platform {

BSTR SysAllocStringLen(const OLECHAR* text, uint32_t length) {
  // [uint32 byte length][characters][terminating zero]
  size_t bytes = sizeof(uint32_t) + (static_cast<size_t>(length) + 1) * sizeof(OLECHAR);
  auto* block = static_cast<unsigned char*>(std::malloc(bytes));
  if (block == nullptr) return nullptr;
  uint32_t byte_length = length * static_cast<uint32_t>(sizeof(OLECHAR));
  std::memcpy(block, &byte_length, sizeof byte_length);
  auto* chars = reinterpret_cast<OLECHAR*>(block + sizeof(uint32_t));
  if (text != nullptr) std::memcpy(chars, text, length * sizeof(OLECHAR));
  else std::memset(chars, 0, length * sizeof(OLECHAR));
  chars[length] = 0;
  return chars;
}

BSTR SysAllocString(const OLECHAR* text) {
  if (text == nullptr) return nullptr;
  uint32_t length = 0;
  while (text[length] != 0) ++length;
  return SysAllocStringLen(text, length);
}

void SysFreeString(BSTR text) {
  if (text != nullptr) std::free(reinterpret_cast<unsigned char*>(text) - sizeof(uint32_t));
}

uint32_t SysStringLen(BSTR text) {
  if (text == nullptr) return 0;
  uint32_t byte_length;
  std::memcpy(&byte_length, reinterpret_cast<unsigned char*>(text) - sizeof(uint32_t),
              sizeof byte_length);
  return byte_length / static_cast<uint32_t>(sizeof(OLECHAR));
}

std::u16string Utf8ToUtf16(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    uint32_t code = 0xFFFD;
    size_t extra = 0;
    if (c < 0x80) code = c;
    else if ((c & 0xE0) == 0xC0) { code = c & 0x1F; extra = 1; }
    else if ((c & 0xF0) == 0xE0) { code = c & 0x0F; extra = 2; }
    else if ((c & 0xF8) == 0xF0) { code = c & 0x07; extra = 3; }
    ++i;
    bool valid = c < 0x80 || extra > 0;
    for (size_t k = 0; k < extra; ++k, ++i) {
      if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      code = (code << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    }
    if (!valid || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (code >> 10));
      out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
  }
  return out;
}

std::string Utf16ToUtf8(const char16_t* text, size_t length) {
  std::string out;
  out.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    uint32_t code = text[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = 0xFFFD;
    }
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

BSTR BstrFromUtf8(const std::string& text) {
  std::u16string wide = Utf8ToUtf16(text);
  return SysAllocStringLen(wide.data(), static_cast<uint32_t>(wide.size()));
}

std::string BstrToUtf8(BSTR text) { return text ? Utf16ToUtf8(text, SysStringLen(text)) : ""; }

}  // namespace platform
