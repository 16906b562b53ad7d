// GetUserDataStr: the scrambled login string of a host's login record and monitor properties.
#pragma once

#include <cstdint>
#include <string>

#include "feedprobe/feedprobe.h"

namespace feedprobe {

// Always 1; *output receives a 1024-byte text for FreeMonitorStringAllocation.
int32_t GetUserDataStr(const HostLoginRecord* login, const char* properties, char** output);

// A field of the host's login record; a field that fills its 129 bytes is cut there.
std::string LoginRecordField(const char (&field)[129]);

}  // namespace feedprobe
