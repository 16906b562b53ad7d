#include "feedprobe/plugin/configuration.h"

#include "feedprobe/plugin/plugin_state.h"
#include "platform/os/paths.h"
#include "platform/os/profile.h"

namespace feedprobe {

const std::string& MonitorType() {
  // The file name of a loaded module does not change: it is taken once, before any reader.
  static const std::string type = [] {
    std::string name = platform::FileNameOf(platform::ModulePath());
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
  }();
  return type;
}

void GetMonitorType() { MonitorType(); }

std::string GetMessageFilePath() { return platform::ProgramFolder() + "../dat/vk_mon_xml_msgs"; }

std::string GetConfigFilePath() {
  GetMonitorType();
  std::string monitors = platform::ProgramFolder() + "../dat/monitors/";
  std::string path = monitors + MonitorType() + ".ini";
  if (!platform::FileExists(path)) path = monitors + "XMLMonitorShared.ini";
  return path;
}

std::string GetProductFilePath() { return platform::ProgramFolder() + "product.ini"; }

std::string ConfigString(const std::string& path, const char* key, const char* default_value,
                         int32_t read_size) {
  return platform::ReadProfileString(path, MonitorType(), key, default_value, read_size);
}

int32_t ConfigInt(const std::string& path, const char* key, int32_t default_value) {
  return platform::ReadProfileInt(path, MonitorType(), key, default_value);
}

std::string ConfigString(const char* key, const char* default_value, int32_t read_size) {
  return ConfigString(GetConfigFilePath(), key, default_value, read_size);
}

int32_t ConfigInt(const char* key, int32_t default_value) {
  return ConfigInt(GetConfigFilePath(), key, default_value);
}

}  // namespace feedprobe
