#include "platform/com/guid.h"

#include <cstdio>

namespace platform {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ReadHex(const std::string& text, size_t at, size_t digits, uint64_t* value) {
  *value = 0;
  for (size_t i = 0; i < digits; ++i) {
    int v = HexValue(text[at + i]);
    if (v < 0) return false;
    *value = (*value << 4) | static_cast<uint64_t>(v);
  }
  return true;
}

}  // namespace

HRESULT ParseGuid(const std::string& text, GUID* guid) {
  if (guid == nullptr) return E_POINTER;
  *guid = kNullGuid;
  // {8-4-4-4-12}
  if (text.size() != 38 || text.front() != '{' || text.back() != '}' || text[9] != '-' ||
      text[14] != '-' || text[19] != '-' || text[24] != '-')
    return CO_E_CLASSSTRING;
  uint64_t v = 0;
  GUID parsed{};
  if (!ReadHex(text, 1, 8, &v)) return CO_E_CLASSSTRING;
  parsed.Data1 = static_cast<uint32_t>(v);
  if (!ReadHex(text, 10, 4, &v)) return CO_E_CLASSSTRING;
  parsed.Data2 = static_cast<uint16_t>(v);
  if (!ReadHex(text, 15, 4, &v)) return CO_E_CLASSSTRING;
  parsed.Data3 = static_cast<uint16_t>(v);
  const size_t byte_at[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!ReadHex(text, byte_at[i], 2, &v)) return CO_E_CLASSSTRING;
    parsed.Data4[i] = static_cast<uint8_t>(v);
  }
  *guid = parsed;
  return S_OK;
}

std::string GuidToString(const GUID& g) {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1,
                g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

}  // namespace platform
