#include "plugin.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "errors.h"

namespace fphost {
namespace {

namespace fs = std::filesystem;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// True when the shared configuration file has a section [type] (letter case ignored).
bool SharedFileHasSection(const fs::path& file, const std::string& type) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] != '[') continue;
    size_t end = line.find(']', start);
    if (end == std::string::npos) continue;
    std::string name = line.substr(start + 1, end - start - 1);
    name.erase(0, name.find_first_not_of(" \t"));
    name.erase(name.find_last_not_of(" \t") + 1);
    if (Lower(name) == Lower(type)) return true;
  }
  return false;
}

std::string ConfigurationOf(const std::string& folder, const std::string& type) {
  fs::path monitors = fs::path(folder) / ".." / "dat" / "monitors";
  fs::path own = monitors / (type + ".ini");
  std::error_code error;
  if (fs::is_regular_file(own, error)) return fs::weakly_canonical(own, error).string();
  fs::path shared = monitors / "XMLMonitorShared.ini";
  if (fs::is_regular_file(shared, error) && SharedFileHasSection(shared, type)) {
    return fs::weakly_canonical(shared, error).string() + " [" + type + "]";
  }
  return "";
}

}  // namespace

std::string ProgramFolder() {
  const char* configured = std::getenv("FEEDPROBE_PROGRAM_DIR");
  std::string folder;
  if (configured != nullptr && *configured != '\0') {
    folder = configured;
  } else {
    std::error_code error;
    fs::path exe = fs::read_symlink("/proc/self/exe", error);
    if (error) throw HostError("cannot find the program folder: " + error.message());
    folder = exe.parent_path().string();
  }
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::vector<MonitorType> InstalledTypes(const std::string& folder) {
  std::vector<MonitorType> types;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    if (!entry.is_regular_file(error) || entry.path().extension() != ".so") continue;
    MonitorType type;
    type.name = entry.path().stem().string();
    type.library = entry.path().string();
    type.configuration = ConfigurationOf(folder, type.name);
    if (type.name == "feedprobe" && type.configuration.empty()) continue;
    types.push_back(std::move(type));
  }
  std::sort(types.begin(), types.end(),
            [](const MonitorType& a, const MonitorType& b) { return a.name < b.name; });
  return types;
}

MonitorType ChooseType(const std::string& folder, const std::string& requested) {
  std::vector<MonitorType> types = InstalledTypes(folder);
  if (!requested.empty()) {
    for (const MonitorType& type : types) {
      if (type.name == requested) return type;
    }
    throw HostError("the monitor type '" + requested + "' is not installed in " + folder +
                    " (see feedprobe-host types)");
  }
  if (types.size() == 1) return types.front();
  if (types.empty()) throw HostError("no monitor type is installed in " + folder);
  std::string names;
  for (const MonitorType& type : types) names += (names.empty() ? "" : ", ") + type.name;
  throw UsageError("several monitor types are installed (" + names + "); choose one with -m TYPE");
}

Plugin::Plugin(const MonitorType& type) : type_(type) {
  // RTLD_LOCAL: each copy keeps its own symbols, as every monitor type needs its own state.
  handle_ = dlopen(type.library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* reason = dlerror();
    throw HostError("cannot load " + type.library + ": " + (reason ? reason : "unknown error"));
  }
  try {
    init_monitor = reinterpret_cast<decltype(init_monitor)>(Resolve("InitMonitor"));
    terminate_monitor = reinterpret_cast<decltype(terminate_monitor)>(Resolve("TerminateMonitor"));
    get_user_data_str = reinterpret_cast<decltype(get_user_data_str)>(Resolve("GetUserDataStr"));
    set_monitor_rate = reinterpret_cast<decltype(set_monitor_rate)>(Resolve("SetMonitorRate"));
    free_string = reinterpret_cast<decltype(free_string)>(Resolve("FreeMonitorStringAllocation"));
    activate = reinterpret_cast<decltype(activate)>(Resolve("ActivateMeasurement"));
    deactivate = reinterpret_cast<decltype(deactivate)>(Resolve("DeActivateMeasurement"));
    get_new_data = reinterpret_cast<decltype(get_new_data)>(Resolve("GetNewData"));
    test_machine = reinterpret_cast<decltype(test_machine)>(Resolve("TestMachine"));
    browse = reinterpret_cast<decltype(browse)>(Resolve("BrowseMonitorExBiggerDesc"));
    get_measurements_collection =
        reinterpret_cast<decltype(get_measurements_collection)>(Resolve("GetMeasurementsCollection"));
    register_server = reinterpret_cast<decltype(register_server)>(Resolve("DllRegisterServer"));
    unregister_server = reinterpret_cast<decltype(unregister_server)>(Resolve("DllUnregisterServer"));
  } catch (...) {
    dlclose(handle_);
    throw;
  }
}

Plugin::~Plugin() { dlclose(handle_); }

void* Plugin::Resolve(const char* name) const {
  void* symbol = dlsym(handle_, name);
  if (symbol == nullptr) {
    throw HostError(type_.library + " is no feedprobe plug-in: it does not export " + name);
  }
  return symbol;
}

Monitor::Monitor(const Plugin& plugin) : plugin_(plugin) {
  FailureText failure;
  int32_t documents_loaded = 1;
  if (plugin_.init_monitor(0, 0, 0, 0, &documents_loaded, failure.text, failure.capacity()) != 0) {
    std::string text = failure.str();
    // InitMonitor may have set up part of its state; TerminateMonitor releases it.
    plugin_.terminate_monitor();
    throw HostError("the monitor type '" + plugin_.type().name + "' does not start" +
                    (text.empty() ? std::string(".") : ": " + text));
  }
}

Monitor::~Monitor() { plugin_.terminate_monitor(); }

uint32_t Monitor::SamplingRate() const {
  uint32_t rate = 0;
  plugin_.set_monitor_rate(&rate);
  return rate;
}

uint32_t Monitor::RaiseSamplingRate(uint32_t rate) const {
  plugin_.set_monitor_rate(&rate);
  return SamplingRate();
}

}  // namespace fphost
