// Entry points that need no host monitor.
#pragma once

#include <cstdint>

namespace feedprobe {

// Takes a rate at least as large as the current one (-1); otherwise writes the current
// rate back and returns 0. The sampling rate can only grow during a run.
int32_t SetMonitorRate(uint32_t* rate);

}  // namespace feedprobe
