// GetMeasurementsCollection: a host's whole metric list as annotated XML, without a dialog.
#pragma once

#include <cstdint>

#include "feedprobe/feedprobe.h"

namespace feedprobe {

// 0 success; 1 the list could not be loaded or the output not completed; 3 no host monitor.
// *output receives the text (release with FreeMonitorStringAllocation).
int32_t GetMeasurementsCollection(const HostLoginRecord* login, const char* properties,
                                  char** output, char* text, int32_t capacity);

}  // namespace feedprobe
