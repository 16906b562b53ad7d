// The component interfaces the plug-in uses: IUnknown, IDispatch, IClassFactory, IStream.
// Virtual tables follow the C++ ABI of this platform, so every module built here shares them.
#pragma once

#include <cstdint>

#include "platform/com/bstr.h"
#include "platform/com/guid.h"
#include "platform/com/hresult.h"

namespace platform {

using ULONG = uint32_t;
using DISPID = int32_t;
using LCID = uint32_t;

constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IClassFactory{0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IStream{0x0000000C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IDispatch{0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_NULL = kNullGuid;

class IUnknown {
 public:
  virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

struct VARIANT;

struct DISPPARAMS {
  VARIANT* rgvarg;  // arguments in reverse order
  DISPID* rgdispidNamedArgs;
  uint32_t cArgs;
  uint32_t cNamedArgs;
};

constexpr uint16_t DISPATCH_METHOD = 1;

class IDispatch : public IUnknown {
 public:
  virtual HRESULT GetTypeInfoCount(uint32_t* count) = 0;
  virtual HRESULT GetTypeInfo(uint32_t index, LCID lcid, void** type_info) = 0;
  virtual HRESULT GetIDsOfNames(const IID& iid, OLECHAR** names, uint32_t count, LCID lcid,
                                DISPID* ids) = 0;
  virtual HRESULT Invoke(DISPID id, const IID& iid, LCID lcid, uint16_t flags,
                         DISPPARAMS* params, VARIANT* result, void* exception_info,
                         uint32_t* argument_error) = 0;

 protected:
  ~IDispatch() = default;
};

class IClassFactory : public IUnknown {
 public:
  virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) = 0;
  virtual HRESULT LockServer(int32_t lock) = 0;

 protected:
  ~IClassFactory() = default;
};

enum StreamSeek : uint32_t { STREAM_SEEK_SET = 0, STREAM_SEEK_CUR = 1, STREAM_SEEK_END = 2 };

class IStream : public IUnknown {
 public:
  virtual HRESULT Read(void* buffer, ULONG size, ULONG* read) = 0;
  virtual HRESULT Write(const void* data, ULONG size, ULONG* written) = 0;
  virtual HRESULT Seek(int64_t move, uint32_t origin, uint64_t* new_position) = 0;
  virtual HRESULT SetSize(uint64_t size) = 0;

 protected:
  ~IStream() = default;
};

// Holds one reference to an interface and releases it.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes over a reference the caller already holds.
  static ComPtr Adopt(T* raw) {
    ComPtr p;
    p.raw_ = raw;
    return p;
  }
  ComPtr(const ComPtr& other) : raw_(other.raw_) {
    if (raw_) raw_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : raw_(other.raw_) { other.raw_ = nullptr; }
  ComPtr& operator=(ComPtr other) noexcept {
    T* old = raw_;
    raw_ = other.raw_;
    other.raw_ = old;
    return *this;
  }
  ~ComPtr() { Reset(); }

  void Reset() {
    if (raw_) raw_->Release();
    raw_ = nullptr;
  }
  T* get() const { return raw_; }
  T* operator->() const { return raw_; }
  explicit operator bool() const { return raw_ != nullptr; }
  // For out parameters: releases the current reference and hands out the slot.
  T** out() {
    Reset();
    return &raw_;
  }
  void** out_void() { return reinterpret_cast<void**>(out()); }
  T* Detach() {
    T* raw = raw_;
    raw_ = nullptr;
    return raw;
  }

 private:
  T* raw_ = nullptr;
};

}  // namespace platform
