// Class and interface identifiers in registry format: {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
#pragma once

#include <cstdint>
#include <string>

#include "platform/com/hresult.h"

namespace platform {

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
  friend bool operator==(const GUID&, const GUID&) = default;
};
using CLSID = GUID;
using IID = GUID;

constexpr GUID kNullGuid{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

// S_OK and the identifier, or CO_E_CLASSSTRING (identifier zeroed) for any other text.
HRESULT ParseGuid(const std::string& text, GUID* guid);
// Upper-case registry format with braces.
std::string GuidToString(const GUID& guid);

}  // namespace platform
