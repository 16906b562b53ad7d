// VARIANT: a tagged value crossing component interfaces.
#pragma once

#include <cstdint>

#include "platform/com/bstr.h"
#include "platform/com/interfaces.h"

namespace platform {

using VARTYPE = uint16_t;
constexpr VARTYPE VT_EMPTY = 0;
constexpr VARTYPE VT_I4 = 3;
constexpr VARTYPE VT_BSTR = 8;
constexpr VARTYPE VT_DISPATCH = 9;
constexpr VARTYPE VT_UNKNOWN = 13;
constexpr VARTYPE VT_UI4 = 19;
constexpr VARTYPE VT_BYREF = 0x4000;

struct VARIANT {
  VARTYPE vt;
  uint16_t reserved1, reserved2, reserved3;
  union {
    int32_t lVal;
    uint32_t ulVal;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
    int32_t* plVal;
    BSTR* pbstrVal;
    VARIANT* pvarVal;
    void* byref;
  };
};

void VariantInit(VARIANT* v);
// Frees a BSTR, releases an interface, and leaves VT_EMPTY.
HRESULT VariantClear(VARIANT* v);

// Owns one VARIANT.
class Variant {
 public:
  Variant() { VariantInit(&value_); }
  ~Variant() { VariantClear(&value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT* get() { return &value_; }
  const VARIANT& value() const { return value_; }
  // Takes a reference to the object.
  void SetUnknown(IUnknown* object);
  // Takes ownership of a copy of the text.
  void SetString(const std::string& utf8);

 private:
  VARIANT value_;
};

}  // namespace platform
