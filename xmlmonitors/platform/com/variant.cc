#include "platform/com/variant.h"

#include <cstring>

namespace platform {

void VariantInit(VARIANT* v) {
  if (v == nullptr) return;
  std::memset(v, 0, sizeof *v);
  v->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* v) {
  if (v == nullptr) return E_INVALIDARG;
  switch (v->vt) {
    case VT_BSTR: SysFreeString(v->bstrVal); break;
    case VT_UNKNOWN:
    case VT_DISPATCH:
      if (v->punkVal) v->punkVal->Release();
      break;
    default: break;
  }
  VariantInit(v);
  return S_OK;
}

void Variant::SetUnknown(IUnknown* object) {
  VariantClear(&value_);
  value_.vt = VT_UNKNOWN;
  value_.punkVal = object;
  if (object) object->AddRef();
}

void Variant::SetString(const std::string& utf8) {
  VariantClear(&value_);
  value_.vt = VT_BSTR;
  value_.bstrVal = BstrFromUtf8(utf8);
}

}  // namespace platform
