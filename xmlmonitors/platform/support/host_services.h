// Small services of the support libraries: the shared heap, the portable string, the time
// of day and a bounded copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Blocks handed between parts of the plug-in (never to the host).
void* SharedAlloc(size_t size);
void SharedFree(void* block);

// The counted byte string of the support library.
using PortableString = std::string;

// Wall-clock time as seconds and microseconds since 1970.
struct TimeOfDayValue {
  int32_t seconds = 0;
  int32_t microseconds = 0;
};
TimeOfDayValue TimeOfDay();

// Copies at most size - 1 bytes of the source and always terminates (size 0 writes nothing).
void CopyBounded(char* target, const char* source, size_t size);

}  // namespace platform
