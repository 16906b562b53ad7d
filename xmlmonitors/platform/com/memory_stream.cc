#include "platform/com/memory_stream.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/com/object.h"

namespace platform {
namespace {

constexpr IID kMemoryStreamIid{0x6d3a1f52, 0x0d37, 0x4c41, {0x9b, 0x1e, 0x51, 0x3f, 0x70, 0x2c, 0x88, 0x01}};

class MemoryStream final : public IStream, public RefCount {
 public:
  HRESULT QueryInterface(const IID& iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IStream || iid == kMemoryStreamIid) {
      *object = static_cast<IStream*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return AddRefImpl(); }
  ULONG Release() override { return ReleaseImpl(); }

  HRESULT Read(void* buffer, ULONG size, ULONG* read) override {
    if (buffer == nullptr && size > 0) return E_POINTER;
    size_t available = position_ < data_.size() ? data_.size() - position_ : 0;
    size_t count = std::min<size_t>(size, available);
    if (count > 0) std::memcpy(buffer, data_.data() + position_, count);
    position_ += count;
    if (read) *read = static_cast<ULONG>(count);
    return count < size ? S_FALSE : S_OK;
  }
  HRESULT Write(const void* data, ULONG size, ULONG* written) override {
    if (data == nullptr && size > 0) return E_POINTER;
    if (position_ + size > data_.size()) data_.resize(position_ + size);
    if (size > 0) std::memcpy(data_.data() + position_, data, size);
    position_ += size;
    if (written) *written = size;
    return S_OK;
  }
  HRESULT Seek(int64_t move, uint32_t origin, uint64_t* new_position) override {
    int64_t base = 0;
    switch (origin) {
      case STREAM_SEEK_SET: base = 0; break;
      case STREAM_SEEK_CUR: base = static_cast<int64_t>(position_); break;
      case STREAM_SEEK_END: base = static_cast<int64_t>(data_.size()); break;
      default: return E_INVALIDARG;
    }
    if (base + move < 0) return E_INVALIDARG;
    position_ = static_cast<size_t>(base + move);
    if (new_position) *new_position = position_;
    return S_OK;
  }
  HRESULT SetSize(uint64_t size) override {
    data_.resize(static_cast<size_t>(size));
    return S_OK;
  }
  const std::string& content() const { return data_; }
  void TakeContent(std::string* content) {
    content->swap(data_);
    data_.clear();
    position_ = 0;
  }

 private:
  std::string data_;
  size_t position_ = 0;
};

}  // namespace

IStream* CreateMemoryStream() { return new (std::nothrow) MemoryStream(); }

const std::string* MemoryStreamContent(IStream* stream) {
  if (stream == nullptr) return nullptr;
  void* found = nullptr;
  if (FAILED(stream->QueryInterface(kMemoryStreamIid, &found))) return nullptr;
  auto* memory = static_cast<MemoryStream*>(static_cast<IStream*>(found));
  memory->Release();  // the caller's reference keeps it alive
  return &memory->content();
}

bool TakeMemoryStreamContent(IStream* stream, std::string* content) {
  if (stream == nullptr) return false;
  void* found = nullptr;
  if (FAILED(stream->QueryInterface(kMemoryStreamIid, &found))) return false;
  auto* memory = static_cast<MemoryStream*>(static_cast<IStream*>(found));
  memory->TakeContent(content);
  memory->Release();
  return true;
}

}  // namespace platform
