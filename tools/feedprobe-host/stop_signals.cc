#include "stop_signals.h"

#include <atomic>
#include <thread>

namespace fphost {
namespace {

// The signal may arrive on any thread (serve runs an HTTP server): a lock-free atomic is both
// safe in a handler and free of data races.
std::atomic<bool> stop_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void OnStopSignal(int) { stop_requested.store(true); }

}  // namespace

StopSignals::StopSignals() {
  stop_requested.store(false);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &previous_int_);
  sigaction(SIGTERM, &action, &previous_term_);
}

StopSignals::~StopSignals() {
  sigaction(SIGINT, &previous_int_, nullptr);
  sigaction(SIGTERM, &previous_term_, nullptr);
}

bool StopSignals::requested() const { return stop_requested.load(); }

bool StopSignals::Sleep(std::chrono::milliseconds duration) const {
  auto until = std::chrono::steady_clock::now() + duration;
  while (!requested()) {
    auto left = until - std::chrono::steady_clock::now();
    if (left <= std::chrono::milliseconds(0)) return true;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
        left, std::chrono::milliseconds(50)));
  }
  return false;
}

}  // namespace fphost
