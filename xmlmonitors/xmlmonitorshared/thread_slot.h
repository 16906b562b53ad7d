// Holder of one thread-local slot: each thread sees only the pointer it stored, and the
// clean-up routine releases it when that thread ends.
#pragma once

#include <cstdint>

#include "platform/support/thread_local_slots.h"

class ThreadSlot {
 public:
  // Throws CMtlsException when no slot is left.
  explicit ThreadSlot(platform::SlotCleanup cleanup = nullptr);
  ~ThreadSlot() { Release(); }
  ThreadSlot(const ThreadSlot&) = delete;
  ThreadSlot& operator=(const ThreadSlot&) = delete;

  // Frees the slot, releasing the calling thread's value with the clean-up routine.
  void Release();
  // -1 without a slot, else the result of storing the pointer for the calling thread.
  int32_t Set(void* value);
  // The calling thread's pointer; null without a slot or when this thread stored none.
  void* Get() const;

 private:
  int32_t index_ = -1;
  platform::SlotCleanup cleanup_ = nullptr;
};
