// The host monitors of this plug-in by host name (byte-wise, as the host passes it). The
// registry owns them; a sampling thread that outlives its teardown shares ownership.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "feedprobe/collection/host_monitor.h"

namespace feedprobe {

class HostMonitorRegistry {
 public:
  ~HostMonitorRegistry() { Clear(); }

  std::shared_ptr<HostMonitor> Find(const std::string& host);
  // The registered host monitor, or a new one after a successful set-up. A failed set-up
  // puts its last error into the text buffer (when given). With the activation flag, a host
  // whose creation failed less than 3000 ms before is not tried again.
  std::shared_ptr<HostMonitor> GetOrCreate(const std::string& host, bool activation,
                                           const char* login, char* text, int32_t capacity);
  // Runs the shutdown step and tears the host monitor down; false when none is registered.
  bool Release(const std::string& host);
  // Tears every host monitor down (without its shutdown step).
  void Clear();
  bool Empty();

 private:
  std::mutex mutex_;
  std::map<std::string, std::shared_ptr<HostMonitor>> monitors_;
  // The last creation attempt: host and tick.
  std::string last_attempt_host_;
  uint32_t last_attempt_tick_ = 0;
};

}  // namespace feedprobe
