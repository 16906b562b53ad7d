#include "platform/support/thread_local_slots.h"

#include <pthread.h>

namespace platform {

int32_t SlotAlloc(SlotCleanup cleanup) {
  pthread_key_t key;
  if (pthread_key_create(&key, cleanup) != 0) return -1;
  return static_cast<int32_t>(key);
}

void SlotFree(int32_t index) {
  if (index >= 0) pthread_key_delete(static_cast<pthread_key_t>(index));
}

int32_t SlotSet(int32_t index, void* value) {
  return pthread_setspecific(static_cast<pthread_key_t>(index), value);
}

void* SlotGet(int32_t index) { return pthread_getspecific(static_cast<pthread_key_t>(index)); }

}  // namespace platform
