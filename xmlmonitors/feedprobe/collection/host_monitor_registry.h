// The host monitors of this plug-in, by host name; it owns them.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "feedprobe/collection/host_monitor.h"

namespace feedprobe {

class HostMonitorRegistry {
 public:
  // Tears every host monitor down.
  void Clear() { monitors_.clear(); }
  bool Empty() const { return monitors_.empty(); }

 private:
  std::map<std::string, std::unique_ptr<HostMonitor>> monitors_;
};

}  // namespace feedprobe
