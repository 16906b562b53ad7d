#include "platform/support/host_services.h"

#include <sys/time.h>

#include <cstdlib>
#include <cstring>

namespace platform {

void* SharedAlloc(size_t size) { return std::malloc(size); }

void SharedFree(void* block) { std::free(block); }

TimeOfDayValue TimeOfDay() {
  timeval now{};
  gettimeofday(&now, nullptr);
  return {static_cast<int32_t>(now.tv_sec), static_cast<int32_t>(now.tv_usec)};
}

void CopyBounded(char* target, const char* source, size_t size) {
  if (size == 0) return;
  size_t length = source ? strnlen(source, size - 1) : 0;
  if (length > 0) std::memcpy(target, source, length);
  target[length] = '\0';
}

}  // namespace platform
