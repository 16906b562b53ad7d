#include "feedprobe/collection/measurements.h"

#include <mutex>
#include <string>

#include "feedprobe/collection/host_monitor_registry.h"
#include "feedprobe/plugin/error_reporting.h"
#include "feedprobe/plugin/host_failure.h"
#include "feedprobe/plugin/login_string.h"
#include "feedprobe/plugin/plugin_state.h"
#include "feedprobe/xml/performance_monitor.h"
#include "platform/os/number.h"
#include "platform/os/tick.h"
#include "platform/support/host_services.h"

namespace feedprobe {
namespace {

constexpr uint32_t kListRetryMs = 3000;

// Passes GetNewData's failure texts to the host once per distinct failure.
struct HandOff {
  std::mutex mutex;
  LastErrorRecord record;
};

HandOff& HandOffRecord() {
  static HandOff hand_off;
  return hand_off;
}

// The decoded login string of an entry point's argument, released with the object.
class DecodedLogin {
 public:
  explicit DecodedLogin(const char* encoded)
      : text_(encoded ? DecodeLoginString(encoded, nullptr) : nullptr) {}
  ~DecodedLogin() { platform::SharedFree(text_); }
  DecodedLogin(const DecodedLogin&) = delete;
  DecodedLogin& operator=(const DecodedLogin&) = delete;
  const char* get() const { return text_; }

 private:
  char* text_;
};

bool StartsWithLetter(const std::string& text) {
  char c = text.empty() ? '\0' : text[0];
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string Text(const char* text) { return text ? text : ""; }

}  // namespace

int32_t ActivateMeasurement(const char* identifier, const char* host, const char* encoded_login,
                            char* text, int32_t capacity) {
  return GuardEntryPoint(text, capacity, "(entry point ActivateMeasurement)", 6, [&]() -> int32_t {
    HostMonitorRegistry* registry = State().registry.get();
    if (registry == nullptr) return 6;
    std::shared_ptr<HostMonitor> monitor;
    {
      DecodedLogin login(encoded_login);
      monitor = registry->GetOrCreate(Text(host), true, login.get(), text, capacity);
    }
    if (!monitor) return 6;
    std::string id = Text(identifier);
    {
      std::lock_guard<std::recursive_mutex> lock(monitor->document_mutex());
      if (!monitor->list_loaded()) {
        uint32_t now = platform::TickCount();
        bool due = now - monitor->last_list_check_tick() > kListRetryMs;
        monitor->last_list_check_tick() = now;
        if (monitor->list_loader().error_kind() == kLoaderNoError || due) monitor->ListPass();
      }
      monitor->SetActive(id, true);
      monitor->MarkActivation({id}, true, false);
    }
    if (!monitor->counter_activation_mode()) monitor->Signal();
    std::lock_guard<std::recursive_mutex> lock(monitor->document_mutex());
    monitor->last_list_check_tick() = platform::TickCount();
    return 0;
  });
}

int32_t DeActivateMeasurement(const char* identifier, const char* host, char* text,
                              int32_t capacity) {
  return GuardEntryPoint(text, capacity, "(entry point DeactivateMeasurement)", 2, [&]() -> int32_t {
    HostMonitorRegistry* registry = State().registry.get();
    std::shared_ptr<HostMonitor> monitor = registry ? registry->Find(Text(host)) : nullptr;
    if (!monitor) {
      ReportError(text, capacity, kMsgHostNotRegistered,
                  {Text(host), "(entry point DeactivateMeasurement)"});
      return 2;
    }
    bool last;
    {
      std::lock_guard<std::recursive_mutex> lock(monitor->document_mutex());
      std::string id = Text(identifier);
      monitor->SetActive(id, false);
      monitor->MarkActivation({id}, false, false);
      last = monitor->active_count() == 0;
    }
    if (last) registry->Release(Text(host));
    return 0;
  });
}

int32_t GetNewData(const char* identifier, const char* host, SampleRecord* record, char* text,
                   int32_t capacity) {
  return GuardEntryPoint(text, capacity, "Retrieving data (entry point : GetNewData)", 2, [&]() -> int32_t {
    HandOff& hand_off = HandOffRecord();
    std::lock_guard<std::mutex> hand_off_lock(hand_off.mutex);
    int32_t result = 2;
    std::string working;
    HostMonitorRegistry* registry = State().registry.get();
    std::shared_ptr<HostMonitor> monitor = registry ? registry->Find(Text(host)) : nullptr;
    if (!monitor) {
      ReportToRecord(hand_off.record, 4, kMsgHostNotRegistered, {Text(host), "GetNewData"});
      hand_off.record.Take(working, true);
    } else {
      bool pending;
      {
        std::lock_guard<std::recursive_mutex> lock(monitor->document_mutex());
        pending = monitor->request_pending();
      }
      if (pending) {
        result = 1;
        if (!monitor->MarkActivation({}, true, true)) {
          result = 6;
          std::lock_guard<std::recursive_mutex> lock(monitor->document_mutex());
          hand_off.record.Set(4, monitor->list_loader().error_text().c_str());
          hand_off.record.Take(working, true);
        }
      } else if (bool failed = [&] {
                   std::lock_guard<std::mutex> lock(monitor->values_mutex());
                   return monitor->data_pass_failed();
                 }()) {
        (void)failed;
        monitor->TakeLastError(working, true);
        if (!working.empty()) {
          hand_off.record.Set(4, working.c_str());
          hand_off.record.Take(working, true);
        }
      } else {
        result = 1;
        std::string id = Text(identifier);
        bool known = monitor->ListSelects(id);
        if (known && record != nullptr) {
          std::lock_guard<std::mutex> lock(monitor->values_mutex());
          auto entry = monitor->value_table().find(id);
          if (entry != monitor->value_table().end() && entry->second.time.seconds != 0) {
            ValueRecord& value = entry->second;
            record->status = 0;
            record->seconds = value.time.seconds;
            record->microseconds = value.time.microseconds;
            if (StartsWithLetter(value.text)) {
              result = 8;
              ReportToRecord(hand_off.record, 8, kMsgEntryPointFailed, {value.text});
              hand_off.record.Take(working, true);
            } else {
              // The C locale's conversion, without touching the process-wide locale.
              record->value = platform::ParseDoubleC(value.text.c_str());
              value.time = {};
              result = 0;
              hand_off.record.Set(0, nullptr);
            }
          }
        }
      }
      monitor->SignalIfDue();
    }
    if (result != 0) CopyToFailureBuffer(text, capacity, working);
    return result;
  });
}

int32_t TestMachine(const char* host, const char* encoded_login, char* text, int32_t capacity) {
  return GuardEntryPoint(text, capacity, "(entry point TestMachine)", 1, [&]() -> int32_t {
    CopyToFailureBuffer(text, capacity, "");
    auto monitor = std::make_shared<HostMonitor>();
    bool ok;
    {
      DecodedLogin login(encoded_login);
      ok = monitor->SetUp(Text(host), login.get());
    }
    if (!ok) {
      std::string failure;
      monitor->TakeLastError(failure, true);
      CopyToFailureBuffer(text, capacity, failure);
    } else {
      try {
        ok = monitor->ListPass();
      } catch (...) {
        ReportError(text, capacity, kMsgEntryPointFailed, {"(entry point TestMachine)"});
      }
    }
    if (!ok && capacity > 0 && text != nullptr && text[0] == '\0') {
      std::lock_guard<std::recursive_mutex> lock(monitor->document_mutex());
      CopyToFailureBuffer(text, capacity, FormatHostFailure(monitor->list_loader()));
    }
    monitor->Teardown();
    return ok ? 0 : 1;
  });
}

}  // namespace feedprobe
