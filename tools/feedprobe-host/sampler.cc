#include "sampler.h"

#include "errors.h"

namespace fphost {

const char* StateName(CounterState state) {
  switch (state) {
    case CounterState::kWaiting: return "waiting";
    case CounterState::kValue: return "value";
    case CounterState::kNoNewValue: return "no new value";
    case CounterState::kNotANumber: return "not a number";
    case CounterState::kHostFailure: return "host failure";
  }
  return "";
}

Sampler::~Sampler() {
  // The last deactivation of a host releases its host monitor in the plug-in.
  for (const Watched& watched : watched_) {
    FailureText failure;
    plugin_.deactivate(watched.counter.id.c_str(), watched.host.c_str(), failure.text,
                       failure.capacity());
  }
}

void Sampler::Activate(const std::string& host, const std::vector<Counter>& counters,
                       const std::string& encoded_login, const StopSignals& stop) {
  bool waited = false;
  for (const Counter& counter : counters) {
    FailureText failure;
    auto activate = [&] {
      return plugin_.activate(counter.id.c_str(), host.c_str(),
                              encoded_login.empty() ? nullptr : encoded_login.c_str(),
                              failure.text, failure.capacity());
    };
    int32_t result = activate();
    if (result == 6 && failure.text[0] == '\0' && !waited) {
      waited = true;
      if (!stop.Sleep(std::chrono::milliseconds(kRetryWindowMs + 100))) return;
      result = activate();
    }
    if (result != 0) {
      std::string text = failure.str();
      throw HostError(host + ": the counter " + Shown(counter.path) + " cannot be activated" +
                      (text.empty() ? std::string(".") : ": " + text));
    }
    Watched watched;
    watched.host = host;
    watched.counter = counter;
    watched_.push_back(std::move(watched));
  }
  host_failed_[host] = false;
}


void Sampler::Poll() {
  for (Watched& watched : watched_) {
    SampleRecord record{};
    FailureText failure;
    int32_t result = plugin_.get_new_data(watched.counter.id.c_str(), watched.host.c_str(),
                                          &record, failure.text, failure.capacity());
    std::string text = failure.str();
    watched.fresh = false;
    switch (result) {
      case 0:
        watched.state = CounterState::kValue;
        watched.fresh = true;
        watched.has_value = true;
        watched.value = record.value;
        watched.seconds = record.seconds;
        watched.microseconds = record.microseconds;
        watched.history.push_back(record.value);
        if (watched.history.size() > kHistory) watched.history.pop_front();
        watched.text.clear();
        host_failures_.erase(watched.host);
        host_failed_[watched.host] = false;
        break;
      case 1:
        watched.state = watched.has_value ? CounterState::kNoNewValue : CounterState::kWaiting;
        watched.text.clear();
        host_failed_[watched.host] = false;
        break;
      case 8:
        watched.state = CounterState::kNotANumber;
        if (!text.empty()) watched.text = text;
        break;
      default:
        // 2: the host is gone or its last data pass failed; 6: an activation request failed.
        watched.state = CounterState::kHostFailure;
        if (!text.empty()) host_failures_[watched.host] = text;
        watched.text = host_failures_[watched.host];
        host_failed_[watched.host] = true;
        break;
    }
  }
}

std::string Sampler::HostFailure(const std::string& host) const {
  auto found = host_failures_.find(host);
  return found == host_failures_.end() ? "" : found->second;
}

bool Sampler::HostFailed(const std::string& host) const {
  auto found = host_failed_.find(host);
  return found != host_failed_.end() && found->second;
}

}  // namespace fphost
