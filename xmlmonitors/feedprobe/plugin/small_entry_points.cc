#include "feedprobe/plugin/small_entry_points.h"

#include "feedprobe/plugin/plugin_state.h"

namespace feedprobe {

int32_t SetMonitorRate(uint32_t* rate) {
  if (rate == nullptr) return 0;
  PluginState& state = State();
  uint32_t current = state.sampling_rate.load();
  if (*rate < current) {
    *rate = current;
    return 0;
  }
  state.sampling_rate = *rate;
  return -1;
}

}  // namespace feedprobe
