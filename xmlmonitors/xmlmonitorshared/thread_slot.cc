#include "xmlmonitorshared/thread_slot.h"

#include "xmlmonitorshared/exceptions.h"

ThreadSlot::ThreadSlot(platform::SlotCleanup cleanup)
    : index_(platform::SlotAlloc(cleanup)), cleanup_(cleanup) {
  if (index_ == -1) throw CMtlsException();
}

void ThreadSlot::Release() {
  if (index_ < 0) return;
  // The releasing thread's value goes now; threads that ended released theirs already.
  void* own = platform::SlotGet(index_);
  if (own != nullptr && cleanup_ != nullptr) {
    platform::SlotSet(index_, nullptr);
    cleanup_(own);
  }
  platform::SlotFree(index_);
  index_ = -1;
}

int32_t ThreadSlot::Set(void* value) { return index_ < 0 ? -1 : platform::SlotSet(index_, value); }

void* ThreadSlot::Get() const { return index_ < 0 ? nullptr : platform::SlotGet(index_); }
