// Reference counting for the plug-in's component objects, and the module lock count that
// tells whether the library may be unloaded.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/com/interfaces.h"

namespace platform {

// Living objects and server locks of this module.
void ModuleLock();
void ModuleUnlock();
int32_t ModuleLockCount();

// Counts references of an object whose interfaces all derive from IUnknown; deletes it at 0.
// Holds the module lock while it lives.
class RefCount {
 public:
  RefCount() { ModuleLock(); }
  virtual ~RefCount() { ModuleUnlock(); }
  RefCount(const RefCount&) = delete;
  RefCount& operator=(const RefCount&) = delete;

  ULONG AddRefImpl() { return ++count_; }
  ULONG ReleaseImpl() {
    ULONG left = --count_;
    if (left == 0) delete this;
    return left;
  }

 private:
  std::atomic<ULONG> count_{1};
};

}  // namespace platform
