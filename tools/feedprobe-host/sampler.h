// Activated measurements of one or more hosts and their newest values: ActivateMeasurement for
// each, one GetNewData per measurement and round, DeActivateMeasurement for each on destruction.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "catalogue.h"
#include "plugin.h"
#include "stop_signals.h"

namespace fphost {

enum class CounterState { kWaiting, kValue, kNoNewValue, kNotANumber, kHostFailure };
const char* StateName(CounterState state);

struct Watched {
  std::string host;
  Counter counter;
  CounterState state = CounterState::kWaiting;
  bool fresh = false;  // the last round delivered a value
  bool has_value = false;
  double value = 0;
  int32_t seconds = 0;
  int32_t microseconds = 0;
  std::deque<double> history;  // the last values, oldest first
  std::string text;            // the plug-in's text for the state, when it gave one
};

class Sampler {
 public:
  static constexpr size_t kHistory = 24;
  static constexpr int kRetryWindowMs = 3000;

  explicit Sampler(const Monitor& monitor) : plugin_(monitor.plugin()) {}
  ~Sampler();
  Sampler(const Sampler&) = delete;
  Sampler& operator=(const Sampler&) = delete;

  // Activates the counters of a host. HostError with the plug-in's text when the host cannot be
  // set up; the counters activated before stay active until destruction. The plug-in refuses to
  // set up a host again within 3000 ms of the last attempt (reading its list counts): such a
  // refusal is waited out once, unless a stop is requested meanwhile.
  void Activate(const std::string& host, const std::vector<Counter>& counters,
                const std::string& encoded_login, const StopSignals& stop);
  // One GetNewData per activated counter.
  void Poll();

  const std::vector<Watched>& watched() const { return watched_; }
  // The host's failure text of the last round; empty when its last round delivered.
  std::string HostFailure(const std::string& host) const;
  bool HostFailed(const std::string& host) const;

 private:
  const Plugin& plugin_;
  std::vector<Watched> watched_;
  // The plug-in gives a host's failure text once; it is kept here for every counter of the host.
  std::map<std::string, std::string> host_failures_;
  std::map<std::string, bool> host_failed_;
};

}  // namespace fphost
