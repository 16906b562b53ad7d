// Thread-local slots: a pointer per thread and slot, released by the slot's clean-up
// routine when its thread ends.
#pragma once

#include <cstdint>

namespace platform {

using SlotCleanup = void (*)(void*);

// A new slot index, or -1 when none is left.
int32_t SlotAlloc(SlotCleanup cleanup);
// Frees the slot; values still stored on running threads are not cleaned up.
void SlotFree(int32_t index);
// Stores the pointer for the calling thread; 0 on success.
int32_t SlotSet(int32_t index, void* value);
// The calling thread's pointer, or null.
void* SlotGet(int32_t index);

}  // namespace platform
