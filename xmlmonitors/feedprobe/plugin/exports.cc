// The plug-in's exported functions: thin shims over the core, with C linkage.
#include "feedprobe/feedprobe.h"
#include "feedprobe/plugin/lifecycle.h"
#include "feedprobe/plugin/small_entry_points.h"

#define FEEDPROBE_EXPORT __attribute__((visibility("default")))

extern "C" {

FEEDPROBE_EXPORT int32_t InitMonitor(int32_t, int32_t, int32_t, int32_t,
                                     int32_t* documents_loaded, char* text, int32_t capacity) {
  return feedprobe::InitMonitor(documents_loaded, text, capacity);
}

FEEDPROBE_EXPORT void TerminateMonitor(void) { feedprobe::TerminateMonitor(); }

FEEDPROBE_EXPORT int32_t SetMonitorRate(uint32_t* rate) { return feedprobe::SetMonitorRate(rate); }

}  // extern "C"
