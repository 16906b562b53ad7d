// The plug-in as a host sees it: the monitor types installed in the program folder, one
// loaded copy with its exported functions, the started monitor (InitMonitor ... TerminateMonitor)
// and the texts the plug-in allocates for the host.
#pragma once

#include <string>
#include <vector>

#include "feedprobe/feedprobe.h"

namespace fphost {

// The host's program folder with a trailing "/": FEEDPROBE_PROGRAM_DIR when set (as the plug-in
// reads it), else the folder of this executable.
std::string ProgramFolder();

struct MonitorType {
  std::string name;           // the file name without ".so"
  std::string library;        // path of the plug-in copy
  std::string configuration;  // the file that configures it; empty when none does
};

// Every <type>.so of the program folder, by name. The plain feedprobe.so counts only when a
// configuration names it.
std::vector<MonitorType> InstalledTypes(const std::string& folder);

// The requested type, or the only installed one when none is requested. HostError otherwise.
MonitorType ChooseType(const std::string& folder, const std::string& requested);

// One loaded copy of the plug-in (dlopen) and its exported functions.
class Plugin {
 public:
  explicit Plugin(const MonitorType& type);  // HostError when it cannot be loaded
  ~Plugin();
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  const MonitorType& type() const { return type_; }

  decltype(&::InitMonitor) init_monitor = nullptr;
  decltype(&::TerminateMonitor) terminate_monitor = nullptr;
  decltype(&::GetUserDataStr) get_user_data_str = nullptr;
  decltype(&::SetMonitorRate) set_monitor_rate = nullptr;
  decltype(&::FreeMonitorStringAllocation) free_string = nullptr;
  decltype(&::ActivateMeasurement) activate = nullptr;
  decltype(&::DeActivateMeasurement) deactivate = nullptr;
  decltype(&::GetNewData) get_new_data = nullptr;
  decltype(&::TestMachine) test_machine = nullptr;
  decltype(&::GetMeasurementsCollection) get_measurements_collection = nullptr;
  decltype(&::BrowseMonitorExBiggerDesc) browse = nullptr;
  decltype(&::DllRegisterServer) register_server = nullptr;
  decltype(&::DllUnregisterServer) unregister_server = nullptr;

 private:
  void* Resolve(const char* name) const;

  MonitorType type_;
  void* handle_ = nullptr;
};

// The started monitor: InitMonitor on construction (HostError with the plug-in's text when it
// fails), TerminateMonitor on destruction.
class Monitor {
 public:
  explicit Monitor(const Plugin& plugin);
  ~Monitor();
  Monitor(const Monitor&) = delete;
  Monitor& operator=(const Monitor&) = delete;

  const Plugin& plugin() const { return plugin_; }
  // The sampling rate in milliseconds; asking for a rate below the configured one keeps it.
  uint32_t SamplingRate() const;
  uint32_t RaiseSamplingRate(uint32_t rate) const;

 private:
  const Plugin& plugin_;
};

// A text the plug-in allocated for the host, released with FreeMonitorStringAllocation.
class PluginText {
 public:
  explicit PluginText(const Plugin& plugin) : plugin_(plugin) {}
  ~PluginText() { plugin_.free_string(&text_); }
  PluginText(const PluginText&) = delete;
  PluginText& operator=(const PluginText&) = delete;

  char** out() { return &text_; }
  std::string str() const { return text_ == nullptr ? std::string() : std::string(text_); }

 private:
  const Plugin& plugin_;
  char* text_ = nullptr;
};

// The failure text buffer handed to the plug-in's entry points.
struct FailureText {
  char text[4096] = {};
  int32_t capacity() const { return static_cast<int32_t>(sizeof(text)); }
  std::string str() const { return text; }
};

}  // namespace fphost
