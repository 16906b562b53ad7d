// Everything the plug-in keeps between calls of the host. One instance per loaded copy.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "feedprobe/collection/host_monitor_registry.h"

namespace feedprobe {

// Longest monitor type the plug-in accepts (the file name without its extension).
constexpr size_t kMaxMonitorTypeLength = 63;

struct PluginState {
  // From the plug-in's own file name; see GetMonitorType.
  std::string monitor_type;
  std::unique_ptr<HostMonitorRegistry> registry;
  // Numeric locale name at the end of start-up (kept for hosts that inspect it; the plug-in
  // itself never switches the process-wide locale).
  std::optional<std::string> saved_numeric_locale;

  bool debug_mode = false;
  std::string debug_list_url;
  std::string debug_data_url;
  bool show_name_when_no_description = false;
  bool query_login_info = false;
  bool refresh_metric_list = false;
  // Read by the sampling threads at every wake-up.
  std::atomic<uint32_t> sampling_rate{3000};
  std::atomic<int32_t> measure_current_value{0};
  std::string dialog_title = "Generic Monitor";
  std::string monitor_type_string;
};

PluginState& State();

}  // namespace feedprobe
