#include "stop_signals.h"

#include <thread>

namespace fphost {
namespace {

volatile sig_atomic_t stop_requested = 0;

void OnStopSignal(int) { stop_requested = 1; }

}  // namespace

StopSignals::StopSignals() {
  stop_requested = 0;
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

bool StopSignals::requested() const { return stop_requested != 0; }

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
