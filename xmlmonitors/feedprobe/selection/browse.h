// BrowseMonitorExBiggerDesc: lets the user pick counters of a host and returns one record per
// chosen counter, ready for ActivateMeasurement.
#pragma once

#include <cstdint>

#include "feedprobe/feedprobe.h"

namespace feedprobe {

// 0 in every normal outcome (records delivered, nothing chosen, cancelled); 6 when no host
// monitor can be created. *measurements receives a malloc'ed array for the host to free.
int32_t BrowseMonitorExBiggerDesc(FeedprobeHostWindow* parent, const char* host,
                                  BrowsedMeasurement** measurements, int32_t* count, char* text,
                                  int32_t capacity);

}  // namespace feedprobe
