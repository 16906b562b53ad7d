#include "feedprobe/plugin/lifecycle.h"

#include <clocale>
#include <string>

#include "feedprobe/plugin/configuration.h"
#include "feedprobe/plugin/error_reporting.h"
#include "feedprobe/plugin/plugin_state.h"
#include "feedprobe/plugin/small_entry_points.h"
#include "feedprobe/plugin/startup.h"
#include "platform/os/debug_output.h"
#include "platform/os/paths.h"
#include "platform/support/message_catalogue.h"
#include "xmlmonitorshared/format_string.h"

namespace feedprobe {
namespace {

// Steps after the configuration check: what start-up reads into the plug-in state.
void ReadProcessSettings(const std::string& config) {
  PluginState& state = State();
  state.debug_mode = ConfigInt(config, "DebugMode", 0) != 0;
  if (state.debug_mode) {
    std::string list = ConfigString(config, "DebugListFile", "", kPathReadSize);
    if (!list.empty()) state.debug_list_url = StringPrintf("file://%s", list.c_str());
    std::string data = ConfigString(config, "DebugDataFile", "", kPathReadSize);
    if (!data.empty()) state.debug_data_url = StringPrintf("file://%s", data.c_str());
  }
  state.sampling_rate = static_cast<uint32_t>(
      ConfigInt(config, "SamplingRate", static_cast<int32_t>(state.sampling_rate.load())));
  state.refresh_metric_list = ConfigInt(config, "RefreshMetricList", 0) != 0;
  state.query_login_info = ConfigInt(config, "QueryLoginInfo", 0) != 0;
  state.show_name_when_no_description = ConfigInt(config, "ShowNameWhenNoDescription", 0) != 0;
}

}  // namespace

int32_t InitMonitor(int32_t* documents_loaded, char* text, int32_t capacity) {
  PluginState& state = State();
  std::string step;
  try {
    if (!state.registry) state.registry = std::make_unique<HostMonitorRegistry>();

    GetMonitorType();
    std::string config = GetConfigFilePath();
    std::string message_file = GetMessageFilePath();

    platform::MessageCatalogue& catalogue = platform::ProcessCatalogue();
    catalogue.Init();
    if (catalogue.AddFile(message_file) != 0) {
      CopyToFailureBuffer(text, capacity, StringPrintf("Error can not open resource file %s.e2.",
                                                       message_file.c_str()));
      return 2;
    }
    // The type names the configuration section and must fit the hosts' 63-character field.
    if (MonitorType().size() > kMaxMonitorTypeLength) {
      ReportError(text, capacity, kMsgMonitorTypeTooLong, {MonitorType(), "InitMonitor"});
      return 2;
    }
    if (!platform::FileExists(config)) {
      ReportError(text, capacity, kMsgNoConfiguration, {"InitMonitor"});
      return 2;
    }

    if (!LoadTransportAndDocuments(config, step, text, capacity)) return 2;

    if (documents_loaded != nullptr) *documents_loaded = 0;
    ReadProcessSettings(config);

    LoadExtension(config);

    const char* locale = std::setlocale(LC_NUMERIC, nullptr);
    state.saved_numeric_locale = std::string(locale ? locale : "C");
    return 0;
  } catch (...) {
    platform::DebugOutput("InitMonitor: " + CurrentExceptionText() + "\n");
    ReportError(text, capacity, kMsgStartupFailed,
                {"(entry point InitMonitor); state=" + step, "InitMonitor"});
    return 2;
  }
}

void TerminateMonitor() {
  PluginState& state = State();
  try {
    platform::MessageCatalogue& catalogue = platform::ProcessCatalogue();
    catalogue.RemoveFile(GetMessageFilePath());
    catalogue.Destroy();

    CancelAdd();

    if (state.registry) state.registry->Clear();

    ReleaseTransport();

    state.registry.reset();
    state.saved_numeric_locale.reset();
  } catch (...) {
    platform::DebugOutput("TerminateMonitor: " + CurrentExceptionText() + "\n");
  }
}

}  // namespace feedprobe
