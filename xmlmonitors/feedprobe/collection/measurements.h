// The entry points of data collection: activating and deactivating a measurement, handing
// its newest value to the host, and testing whether a host can be reached.
#pragma once

#include <cstdint>

#include "feedprobe/feedprobe.h"

namespace feedprobe {

// 0 done; 6 no host monitor (the set-up failure text in the buffer).
int32_t ActivateMeasurement(const char* identifier, const char* host, const char* encoded_login,
                            char* text, int32_t capacity);
// 0 done; 2 host not registered.
int32_t DeActivateMeasurement(const char* identifier, const char* host, char* text,
                              int32_t capacity);
// 0 value delivered; 1 no new value; 2 host not registered or the last data pass failed;
// 6 activation request not sent; 8 value is not a number. A failure text reaches the host
// once per distinct failure.
int32_t GetNewData(const char* identifier, const char* host, SampleRecord* record, char* text,
                   int32_t capacity);
// 0 host reachable and its metric list loaded; 1 failure with its text.
int32_t TestMachine(const char* host, const char* encoded_login, char* text, int32_t capacity);

}  // namespace feedprobe
