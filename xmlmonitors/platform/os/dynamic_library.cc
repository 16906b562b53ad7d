#include "platform/os/dynamic_library.h"

#include <dlfcn.h>

#include <utility>

#include "platform/os/paths.h"

namespace platform {

DynamicLibrary::~DynamicLibrary() { Close(); }

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), error_(std::move(other.error_)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, nullptr);
    error_ = std::move(other.error_);
  }
  return *this;
}

bool DynamicLibrary::Open(const std::string& name) {
  Close();
  std::string path = NativePath(name);
  if (path.find('/') == std::string::npos) {
    std::string local = ProgramFolder() + path;
    if (FileExists(local)) path = local;
  }
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* why = dlerror();
    error_ = why ? why : "cannot load " + path;
    return false;
  }
  error_.clear();
  return true;
}

void* DynamicLibrary::Symbol(const char* name) const {
  return handle_ == nullptr ? nullptr : dlsym(handle_, name);
}

void DynamicLibrary::Close() {
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = nullptr;
}

}  // namespace platform
