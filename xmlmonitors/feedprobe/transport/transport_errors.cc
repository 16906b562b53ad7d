#include "feedprobe/transport/transport_errors.h"

#include "feedprobe/plugin/error_reporting.h"
#include "xmlmonitorshared/thread_slot.h"

namespace feedprobe {
namespace {

void DeleteRecord(void* record) { delete static_cast<LastErrorRecord*>(record); }

// Released when the module is unloaded; a thread's record goes when the thread ends.
ThreadSlot& Slot() {
  static ThreadSlot slot(&DeleteRecord);
  return slot;
}

LastErrorRecord& OwnRecord() {
  auto* record = static_cast<LastErrorRecord*>(Slot().Get());
  if (record == nullptr) {
    record = new LastErrorRecord();
    Slot().Set(record);
  }
  return *record;
}

}  // namespace

LastErrorRecord* ThreadTransportRecord() { return static_cast<LastErrorRecord*>(Slot().Get()); }

void RecordTransportFailure(int32_t status, int32_t number,
                            std::initializer_list<platform::MessageArg> args) {
  ReportToRecord(OwnRecord(), status, number, args);
}

void ClearTransportFailure() { OwnRecord().Set(0, ""); }

}  // namespace feedprobe
