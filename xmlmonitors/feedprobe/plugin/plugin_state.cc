#include "feedprobe/plugin/plugin_state.h"

namespace feedprobe {

PluginState& State() {
  static PluginState state;
  return state;
}

}  // namespace feedprobe
