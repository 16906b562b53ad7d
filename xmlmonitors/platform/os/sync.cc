#include "platform/os/sync.h"

#include <algorithm>
#include <chrono>

namespace platform {

// One waiting thread; an event wakes it by marking it pending.
struct AutoResetEvent::Waiter {
  std::mutex mutex;
  std::condition_variable wake;
  bool pending = false;
};

void AutoResetEvent::Set() {
  std::lock_guard<std::mutex> lock(mutex_);
  signalled_ = true;
  for (Waiter* waiter : waiters_) {
    std::lock_guard<std::mutex> waiter_lock(waiter->mutex);
    waiter->pending = true;
    waiter->wake.notify_one();
  }
}

void AutoResetEvent::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  signalled_ = false;
}

bool AutoResetEvent::Wait(uint32_t timeout_ms) { return WaitForEvents({this}, timeout_ms) == 0; }

bool AutoResetEvent::TryConsume() {
  std::lock_guard<std::mutex> lock(mutex_);
  bool was = signalled_;
  signalled_ = false;
  return was;
}

void AutoResetEvent::AddWaiter(Waiter* waiter) {
  std::lock_guard<std::mutex> lock(mutex_);
  waiters_.push_back(waiter);
}

void AutoResetEvent::RemoveWaiter(Waiter* waiter) {
  std::lock_guard<std::mutex> lock(mutex_);
  waiters_.erase(std::remove(waiters_.begin(), waiters_.end(), waiter), waiters_.end());
}

int WaitForEvents(std::initializer_list<AutoResetEvent*> events, uint32_t timeout_ms) {
  AutoResetEvent::Waiter waiter;
  for (AutoResetEvent* event : events) event->AddWaiter(&waiter);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  int result = kWaitTimeout;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(waiter.mutex);
      waiter.pending = false;
    }
    int index = 0;
    for (AutoResetEvent* event : events) {
      if (event->TryConsume()) {
        result = index;
        break;
      }
      ++index;
    }
    if (result != kWaitTimeout) break;
    std::unique_lock<std::mutex> lock(waiter.mutex);
    if (timeout_ms == kWaitForever) {
      waiter.wake.wait(lock, [&] { return waiter.pending; });
    } else if (!waiter.wake.wait_until(lock, deadline, [&] { return waiter.pending; })) {
      break;
    }
  }
  for (AutoResetEvent* event : events) event->RemoveWaiter(&waiter);
  return result;
}

}  // namespace platform
