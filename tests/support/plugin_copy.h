// A copy of the staged plug-in under a monitor type's name, loaded with dlopen.
#pragma once

#include <dlfcn.h>

#include <stdexcept>
#include <string>

#include "feedprobe/feedprobe.h"
#include "support/program_folder.h"

namespace testing_support {

class PluginCopy {
 public:
  // Copies build/stage/bin/feedprobe.so to <program folder><type>.so and loads it.
  PluginCopy(const ProgramFolder& folder, const std::string& type);
  ~PluginCopy();
  PluginCopy(const PluginCopy&) = delete;
  PluginCopy& operator=(const PluginCopy&) = delete;

  template <typename F>
  F* Get(const char* name) const {
    void* symbol = dlsym(handle_, name);
    if (symbol == nullptr) throw std::runtime_error(std::string("missing export ") + name);
    return reinterpret_cast<F*>(symbol);
  }

  // InitMonitor with a 1024-byte buffer; the failure text goes to text.
  int32_t Init(std::string* text = nullptr, int32_t* documents_loaded = nullptr) const;
  void Terminate() const { Get<decltype(::TerminateMonitor)>("TerminateMonitor")(); }

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  void* handle_ = nullptr;
};

}  // namespace testing_support
