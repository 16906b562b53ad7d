#include "support/plugin_copy.h"

#include <vector>

namespace testing_support {

PluginCopy::PluginCopy(const ProgramFolder& folder, const std::string& type)
    : path_(folder.bin() + type + ".so") {
  CopyFile(std::string(FEEDPROBE_STAGE_DIR) + "/bin/feedprobe.so", path_);
  handle_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) throw std::runtime_error(std::string("dlopen: ") + dlerror());
}

PluginCopy::~PluginCopy() {
  if (handle_ != nullptr) dlclose(handle_);
}

int32_t PluginCopy::Init(std::string* text, int32_t* documents_loaded) const {
  std::vector<char> buffer(1024, '\0');
  int32_t result = Get<decltype(::InitMonitor)>("InitMonitor")(
      0, 0, 0, 0, documents_loaded, buffer.data(), static_cast<int32_t>(buffer.size()));
  if (text != nullptr) *text = buffer.data();
  return result;
}

}  // namespace testing_support
