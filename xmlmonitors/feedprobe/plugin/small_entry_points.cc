#include "feedprobe/plugin/small_entry_points.h"

#include "feedprobe/plugin/plugin_state.h"

#include <algorithm>
#include <cstring>

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

void CancelAdd() {
  PluginState& state = State();
  std::lock_guard<std::mutex> lock(state.selection_window_mutex);
  if (state.selection_window != nullptr) state.selection_window->RequestClose();
}

void FreeMonitorStringAllocation(char** text) {
  if (text == nullptr) return;
  delete[] *text;
  *text = nullptr;
}

char* AllocateHostText(const std::string& text, size_t size) {
  char* out = new char[size];
  size_t length = std::min(text.size(), size - 1);
  std::memcpy(out, text.data(), length);
  std::memset(out + length, 0, size - length);
  return out;
}

}  // namespace feedprobe
