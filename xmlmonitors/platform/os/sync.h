// Synchronisation: auto-reset events with a wait on several events, critical sections and
// interlocked values.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <vector>

namespace platform {

// A recursive lock, as a Windows critical section.
using CriticalSection = std::recursive_mutex;
using CriticalSectionLock = std::lock_guard<std::recursive_mutex>;

// A value read and written with interlocked operations.
template <typename T>
using Interlocked = std::atomic<T>;

class AutoResetEvent;

// Result of WaitForEvents when no event was signalled in time.
constexpr int kWaitTimeout = -1;
// Timeout of WaitForEvents that never ends.
constexpr uint32_t kWaitForever = 0xFFFFFFFFu;

// Waits until one of the events is signalled and returns its index; when several are,
// the first in order wins and only that one is reset. kWaitTimeout after timeout_ms.
int WaitForEvents(std::initializer_list<AutoResetEvent*> events, uint32_t timeout_ms);

// An event that releases one waiter and resets itself.
class AutoResetEvent {
 public:
  AutoResetEvent() = default;
  AutoResetEvent(const AutoResetEvent&) = delete;
  AutoResetEvent& operator=(const AutoResetEvent&) = delete;

  void Set();
  void Reset();
  // True when signalled within the time (and the signal is consumed).
  bool Wait(uint32_t timeout_ms);

 private:
  friend int WaitForEvents(std::initializer_list<AutoResetEvent*>, uint32_t);
  struct Waiter;

  bool TryConsume();
  void AddWaiter(Waiter* waiter);
  void RemoveWaiter(Waiter* waiter);

  std::mutex mutex_;
  bool signalled_ = false;
  std::vector<Waiter*> waiters_;
};

}  // namespace platform
