// Ctrl-C and SIGTERM as a request to stop: while a StopSignals lives, the signals set a flag
// instead of ending the process, so that measurements are deactivated on the way out.
#pragma once

#include <signal.h>

#include <chrono>

namespace fphost {

class StopSignals {
 public:
  StopSignals();
  ~StopSignals();  // restores the previous handlers
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  bool requested() const;
  // Sleeps for the duration unless a stop is requested; false when it was.
  bool Sleep(std::chrono::milliseconds duration) const;

 private:
  struct sigaction previous_int_ {};
  struct sigaction previous_term_ {};
};

}  // namespace fphost
