#include "feedprobe/selection/browse.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "feedprobe/collection/host_monitor_registry.h"
#include "feedprobe/plugin/error_reporting.h"
#include "feedprobe/plugin/login_string.h"
#include "feedprobe/plugin/configuration.h"
#include "feedprobe/plugin/plugin_state.h"
#include "feedprobe/selection/browse_dialog.h"
#include "feedprobe/selection/login_dialog.h"
#include "feedprobe/xml/performance_monitor.h"
#include "platform/support/host_services.h"
#include "xmlmonitorshared/cstring.h"
#include "xmlmonitorshared/replace_all.h"

namespace feedprobe {
namespace {

using platform::xml::XmlNode;

// Copies a text into a record field, cut to the field's limit and terminated.
template <size_t N>
void CopyField(char (&field)[N], const std::string& text, size_t limit = N - 1) {
  size_t length = std::min(text.size(), limit);
  std::memcpy(field, text.data(), length);
  field[length] = '\0';
}

void FillRecord(BrowsedMeasurement& record, const std::string& identifier, const XmlNode& root,
                const std::string& login_string) {
  PluginState& state = State();
  XmlNode element = SelectNodeByPath(identifier, root);
  record.zero = 0;
  std::string display = element ? BuildNodePath(element, kDisplayPath) : "";
  display = display.empty() ? identifier : display.substr(std::min<size_t>(display.size(), 19));
  std::string description =
      element ? GetDescription(element, state.description.root_node(),
                               state.show_name_when_no_description, element.Name())
              : "";
  if (description.empty()) description = identifier;
  char* encoded = EncodeLoginString(login_string.c_str(), -1);
  std::string login = encoded ? encoded : "";
  platform::SharedFree(encoded);
  display = ReplacedCopy(display.c_str(), "$quot;", "\"");
  CopyField(record.identifier, identifier, 4095);
  CopyField(record.display_path, display, 4095);
  CopyField(record.description, description, 1023);
  CopyField(record.encoded_login, login);
}

int32_t Browse(FeedprobeHostWindow* parent, const char* host_text,
               BrowsedMeasurement** measurements, int32_t* count, char* text, int32_t capacity) {
  PluginState& state = State();
  std::string host = host_text ? host_text : "";
  HostMonitorRegistry* registry = state.registry.get();
  if (registry == nullptr) return 6;
  std::shared_ptr<HostMonitor> monitor = registry->Find(host);
  bool created = false;
  if (!monitor) {
    created = true;
    char login[kLoginBufferSize] = {};
    if (state.query_login_info && !ShowLoginDialog(parent, login)) {
      if (count) *count = 0;
      if (measurements) *measurements = nullptr;
      return 0;
    }
    monitor = registry->GetOrCreate(host, false, login, text, capacity);
    if (!monitor) return 6;
  }
  {
    std::lock_guard<std::recursive_mutex> lock(monitor->document_mutex());
    monitor->browse_selection().clear();
  }
  BrowseParameter parameter{false, monitor.get()};
  RunBrowseDialog(parent, parameter);

  int32_t written = 0;
  BrowsedMeasurement* array = nullptr;
  {
    std::lock_guard<std::recursive_mutex> lock(monitor->document_mutex());
    const auto& selection = monitor->browse_selection();
    if (parameter.result && !selection.empty()) {
      array = static_cast<BrowsedMeasurement*>(std::calloc(selection.size(), sizeof *array));
      if (array == nullptr) return 6;
      for (const auto& [identifier, ticked] : selection) {
        if (!ticked) continue;
        FillRecord(array[written++], identifier, monitor->list_loader().root_node(),
                   monitor->login_string());
      }
      if (written == 0) {
        std::free(array);
        array = nullptr;
      }
    }
  }
  if (measurements) *measurements = array;
  else std::free(array);
  if (count) *count = written;
  if (written == 0 && created && !EqualsIgnoringCase(MonitorType(), "tern_suite"))
    registry->Release(host);
  return 0;
}

}  // namespace

int32_t BrowseMonitorExBiggerDesc(FeedprobeHostWindow* parent, const char* host,
                                  BrowsedMeasurement** measurements, int32_t* count, char* text,
                                  int32_t capacity) {
  return GuardEntryPoint(text, capacity, "(entry point BrowseMonitor)", 6, [&] {
    return Browse(parent, host, measurements, count, text, capacity);
  });
}

}  // namespace feedprobe
