#include "platform/os/debug_output.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace platform {

bool DebugOutputEnabled() {
  const char* target = std::getenv("FEEDPROBE_DEBUG_OUTPUT");
  return target != nullptr && target[0] != '\0';
}

void DebugOutput(const std::string& text) {
  const char* target = std::getenv("FEEDPROBE_DEBUG_OUTPUT");
  if (target == nullptr || target[0] == '\0') return;
  static std::mutex mutex;
  std::lock_guard<std::mutex> lock(mutex);
  if (target[0] == '-' && target[1] == '\0') {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
    return;
  }
  if (std::FILE* file = std::fopen(target, "ab")) {
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
  }
}

}  // namespace platform
