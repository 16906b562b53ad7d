// The sampling thread of a host monitor and the value extraction of its data pass.
#include "feedprobe/collection/host_monitor.h"
#include "feedprobe/plugin/configuration.h"
#include "feedprobe/plugin/plugin_state.h"
#include "feedprobe/xml/performance_monitor.h"
#include "platform/com/runtime.h"
#include "platform/os/debug_output.h"
#include "platform/os/tick.h"
#include "xmlmonitorshared/cstring.h"
#include "xmlmonitorshared/format_string.h"

namespace feedprobe {

using platform::xml::XmlNode;

void HostMonitor::SamplingThread() {
  platform::CoInitializeEx(nullptr, platform::COINIT_APARTMENTTHREADED);
  // Teardown aborts a transfer of this thread through the token.
  platform::inet::TransferCancellationScope scope(cancellation_);
  for (;;) {
    int woken = platform::WaitForEvents({&sample_event_, &stop_event_}, platform::kWaitForever);
    if (woken == 1) break;
    if (woken == 0) SampleIfDue();
  }
  platform::CoUninitialize();
}

namespace {

// At most one pass per 0.3 x the sampling rate, read anew at every wake-up.
bool PassDue(uint32_t last_load_tick) {
  uint32_t elapsed = platform::TickCount() - last_load_tick;
  return elapsed >= static_cast<uint64_t>(State().sampling_rate.load()) * 3 / 10;
}

}  // namespace

void HostMonitor::SignalIfDue() {
  if (PassDue(last_load_tick_.load())) sample_event_.Set();
}

void HostMonitor::SampleIfDue() {
  if (!PassDue(last_load_tick_.load())) return;
  {
    std::lock_guard<std::mutex> lock(values_mutex_);
    last_error_.Set(2, nullptr);
    data_pass_failed_ = false;
  }
  if (!DataPass()) {
    std::lock_guard<std::mutex> lock(values_mutex_);
    last_error_.Set(2, data_loader_.error_text().c_str());
    data_pass_failed_ = true;
  }
}

void HostMonitor::ExtractValues(const platform::TimeOfDayValue& time) {
  PluginState& state = State();
  {
    // The copy of the active identifiers is renewed only when the active set changed.
    std::lock_guard<std::recursive_mutex> lock(document_mutex_);
    if (extraction_version_ != active_version_) {
      extraction_ids_.clear();
      for (const auto& [identifier, on] : active_set_)
        if (on) extraction_ids_.push_back(identifier);
      extraction_version_ = active_version_;
    }
  }
  bool childless_counts = !EqualsIgnoringCase(MonitorType(), "Harrierprobe");
  bool current_value = state.measure_current_value.load() != 0;
  bool debug = platform::DebugOutputEnabled();
  const XmlNode& root = data_loader_.root_node();
  // Identifiers come in ascending order, so each one is found or inserted next to the last.
  auto hint = value_table_.end();
  bool hint_set = false;
  for (const std::string& identifier : extraction_ids_) {
    XmlNode node = SelectNodeByPath(identifier, root);
    if (!node) continue;
    XmlNode child = node.FirstChild();
    std::optional<std::string> value;
    if (!child) {
      if (childless_counts) value = GetAttributeValue(node, "val");
    } else {
      value = GetAttributeValue(child, "val");
      if (!value) {
        const char* fallback =
            current_value && child.Name() == "PerfLoadInfo" ? "currentValue" : "mean";
        value = GetAttributeValue(child, fallback);
      }
    }
    if (value && !value->empty()) {
      if (debug) {
        platform::DebugOutput(StringPrintf("%s: registerMeasurement id=%s value=%s time=%ld\r\n",
                                           MonitorType().c_str(), identifier.c_str(),
                                           value->c_str(), static_cast<long>(time.seconds)));
      }
      std::lock_guard<std::mutex> lock(values_mutex_);
      // Entries are never erased, so the hint stays valid between passes of the lock.
      if (!hint_set) hint = value_table_.lower_bound(identifier);
      hint = value_table_.try_emplace(hint, identifier);
      hint->second.text.assign(*value);
      hint->second.time = time;
      ++hint;
      hint_set = true;
    } else if (debug) {
      platform::DebugOutput(StringPrintf("%s: registerMeasurement id=%s value=<empty> time=%ld\r\n",
                                         MonitorType().c_str(), identifier.c_str(),
                                         static_cast<long>(time.seconds)));
    }
  }
}

}  // namespace feedprobe
