// Everything the plug-in keeps between calls of the host. One instance per loaded copy.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <memory>
#include <optional>
#include <string>

#include "feedprobe/collection/host_monitor_registry.h"
#include "feedprobe/transport/monitor_transport.h"
#include "feedprobe/xml/xml_doc_loader.h"
#include "platform/com/interfaces.h"
#include "platform/os/dynamic_library.h"
#include "platform/ui/dialog.h"

namespace feedprobe {

// The start entry of the extension library: host name, the host monitor's port (which it may
// change), a 2000-byte text buffer for its failure text; non-zero when a source answers.
using StartPullhubFunction = int32_t (*)(const char* host, int32_t* port, char* text);

// Longest monitor type the plug-in accepts (the file name without its extension).
constexpr size_t kMaxMonitorTypeLength = 63;

struct PluginState {
  // The extension stays loaded: unloading it from the plug-in's own teardown can let the
  // dynamic loader unmap the plug-in while that teardown still runs (at process exit, after
  // the host has closed the plug-in).
  ~PluginState() { extension.KeepLoaded(); }

  std::unique_ptr<HostMonitorRegistry> registry;
  // Shared by every loader; created at start-up, shut down at shut-down.
  platform::ComPtr<IMonitorTransport> transport;
  // The configured documents; they live as long as the loaded module.
  CXmlDocLoader description;
  CXmlDocLoader metric_list_xsl;
  CXmlDocLoader metric_data_xsl;
  CXmlDocLoader metric_request_xsl;
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
  // Written by every host set-up, read by login documents on sampling threads: under the mutex.
  std::mutex settings_mutex;
  std::string dialog_title = "Generic Monitor";
  std::string monitor_type_string;
  platform::DynamicLibrary extension;
  StartPullhubFunction start_pullhub = nullptr;
  // The open browse dialog, which CancelAdd closes; guarded by the mutex.
  std::mutex selection_window_mutex;
  platform::ui::Dialog* selection_window = nullptr;
};

PluginState& State();
// Copies of the settings that host set-up writes.
std::string DialogTitle();
std::string MonitorTypeString();

}  // namespace feedprobe
