// Dynamic libraries. A bare file name is looked up in the host's program folder first,
// then by the loader's own search.
#pragma once

#include <string>

namespace platform {

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;
  DynamicLibrary(DynamicLibrary&& other) noexcept;
  DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;

  // Loads the library; false (with Error() set) when it cannot be loaded.
  bool Open(const std::string& name);
  // Address of an exported symbol, or null.
  void* Symbol(const char* name) const;
  bool IsOpen() const { return handle_ != nullptr; }
  const std::string& Error() const { return error_; }
  // Keeps the library loaded until the process ends; the object no longer owns it.
  void KeepLoaded() { handle_ = nullptr; }

 private:
  void Close();
  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace platform
