#include "platform/os/thread.h"

#include <chrono>

namespace platform {

Thread::~Thread() {
  if (thread_.joinable()) thread_.join();
}

bool Thread::Start(std::function<void()> body) {
  if (thread_.joinable()) return false;
  completion_ = std::make_shared<Completion>();
  thread_ = std::thread([completion = completion_, body = std::move(body)] {
    body();
    std::lock_guard<std::mutex> lock(completion->mutex);
    completion->done = true;
    completion->done_signal.notify_all();
  });
  return true;
}

bool Thread::Join(uint32_t timeout_ms) {
  if (!thread_.joinable()) return true;
  {
    std::unique_lock<std::mutex> lock(completion_->mutex);
    if (!completion_->done_signal.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                           [&] { return completion_->done; }))
      return false;
  }
  thread_.join();
  return true;
}

void Thread::Abandon() {
  if (thread_.joinable()) thread_.detach();
}

}  // namespace platform
