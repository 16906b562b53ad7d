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

void HostMonitor::SampleIfDue() {
  // At most one pass per 0.3 x the sampling rate, read anew at every wake-up.
  uint32_t elapsed = platform::TickCount() - last_load_tick_.load();
  if (elapsed < static_cast<uint64_t>(State().sampling_rate.load()) * 3 / 10) return;
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

void HostMonitor::StoreValue(const std::string& identifier, const std::string& text,
                             const platform::TimeOfDayValue& time) {
  std::lock_guard<std::mutex> lock(values_mutex_);
  ValueRecord& record = value_table_[identifier];
  record.text = text;
  record.time = time;
}

void HostMonitor::ExtractValues(const platform::TimeOfDayValue& time) {
  PluginState& state = State();
  std::vector<std::string> active;
  {
    std::lock_guard<std::recursive_mutex> lock(document_mutex_);
    for (const auto& [identifier, on] : active_set_)
      if (on) active.push_back(identifier);
  }
  bool childless_counts = !EqualsIgnoringCase(MonitorType(), "Harrierprobe");
  bool current_value = state.measure_current_value.load() != 0;
  const XmlNode& root = data_loader_.root_node();
  for (const std::string& identifier : active) {
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
      platform::DebugOutput(StringPrintf("%s: registerMeasurement id=%s value=%s time=%ld\r\n",
                                         MonitorType().c_str(), identifier.c_str(),
                                         value->c_str(), static_cast<long>(time.seconds)));
      StoreValue(identifier, *value, time);
    } else {
      platform::DebugOutput(StringPrintf("%s: registerMeasurement id=%s value=<empty> time=%ld\r\n",
                                         MonitorType().c_str(), identifier.c_str(),
                                         static_cast<long>(time.seconds)));
    }
  }
}

}  // namespace feedprobe
