// A thread that can be waited for with a time limit. A thread that does not end in time is
// never killed: the owner leaves it to finish on its own (Abandon), keeping alive whatever
// it touches.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {

class Thread {
 public:
  Thread() = default;
  ~Thread();  // joins a thread that has ended or is still running; see Abandon
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Starts the body on a new thread; false when a thread is already running.
  bool Start(std::function<void()> body);
  // Waits up to timeout_ms for the thread to end; true when it has ended (and is joined).
  bool Join(uint32_t timeout_ms);
  // Lets a thread that did not end run on detached.
  void Abandon();
  bool Running() const { return thread_.joinable(); }

 private:
  struct Completion {
    std::mutex mutex;
    std::condition_variable done_signal;
    bool done = false;
  };
  std::shared_ptr<Completion> completion_;
  std::thread thread_;
};

}  // namespace platform
