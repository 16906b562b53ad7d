#include "feedprobe/collection/host_monitor_registry.h"

#include <vector>

#include "feedprobe/plugin/error_reporting.h"
#include "feedprobe/plugin/plugin_state.h"
#include "platform/os/tick.h"

namespace feedprobe {
namespace {
constexpr uint32_t kRetryWindowMs = 3000;
}

std::shared_ptr<HostMonitor> HostMonitorRegistry::Find(const std::string& host) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = monitors_.find(host);
  return found == monitors_.end() ? nullptr : found->second;
}

std::shared_ptr<HostMonitor> HostMonitorRegistry::GetOrCreate(const std::string& host,
                                                              bool activation, const char* login,
                                                              char* text, int32_t capacity) {
  // Set-up talks to the server: the registry is not locked meanwhile.
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = monitors_.find(host);
    if (found != monitors_.end()) return found->second;
    uint32_t now = platform::TickCount();
    bool refused = activation && host == last_attempt_host_ && now - last_attempt_tick_ <= kRetryWindowMs;
    last_attempt_tick_ = now;
    if (refused) return nullptr;
  }
  auto monitor = std::make_shared<HostMonitor>();
  bool ok = monitor->SetUp(host, login);
  if (ok) {
    PluginState& state = State();
    monitor->set_debug(state.debug_mode, state.debug_list_url, state.debug_data_url);
  } else {
    std::string failure;
    monitor->TakeLastError(failure, true);
    if (text != nullptr) CopyToFailureBuffer(text, capacity, failure);
    monitor->Teardown();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  // Only a failed set-up holds back the next activation for the host.
  if (!ok) {
    last_attempt_host_ = host;
    last_attempt_tick_ = platform::TickCount();
    return nullptr;
  }
  if (last_attempt_host_ == host) last_attempt_host_.clear();
  // Another thread may have registered the host meanwhile; the first one stays.
  auto [entry, inserted] = monitors_.emplace(host, monitor);
  if (!inserted) monitor->Teardown();
  return entry->second;
}

bool HostMonitorRegistry::Release(const std::string& host) {
  std::shared_ptr<HostMonitor> monitor;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = monitors_.find(host);
    if (found == monitors_.end()) return false;
    monitor = std::move(found->second);
    monitors_.erase(found);
  }
  monitor->ShutdownStep();
  monitor->Teardown();
  return true;
}

void HostMonitorRegistry::Clear() {
  std::map<std::string, std::shared_ptr<HostMonitor>> monitors;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    monitors.swap(monitors_);
  }
  // Stop every thread first, then wait for them together.
  for (auto& [host, monitor] : monitors) monitor->RequestStop();
  for (auto& [host, monitor] : monitors) monitor->Teardown();
}

bool HostMonitorRegistry::Empty() {
  std::lock_guard<std::mutex> lock(mutex_);
  return monitors_.empty();
}

}  // namespace feedprobe
