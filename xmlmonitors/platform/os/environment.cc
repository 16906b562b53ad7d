#include "platform/os/environment.h"

#include <unistd.h>

#include <cstdlib>

namespace platform {

std::optional<std::string> EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

std::string ComputerName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  std::string text(name);
  return text.substr(0, 15);
}

uint32_t CurrentProcessId() { return static_cast<uint32_t>(getpid()); }

}  // namespace platform
