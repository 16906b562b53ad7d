#include "feedprobe/plugin/plugin_state.h"

namespace feedprobe {

PluginState& State() {
  static PluginState state;
  return state;
}

std::string DialogTitle() {
  PluginState& state = State();
  std::lock_guard<std::mutex> lock(state.settings_mutex);
  return state.dialog_title;
}

std::string MonitorTypeString() {
  PluginState& state = State();
  std::lock_guard<std::mutex> lock(state.settings_mutex);
  return state.monitor_type_string;
}

}  // namespace feedprobe
