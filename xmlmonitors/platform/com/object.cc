#include "platform/com/object.h"

namespace platform {
namespace {
std::atomic<int32_t> module_locks{0};
}

void ModuleLock() { ++module_locks; }
void ModuleUnlock() { --module_locks; }
int32_t ModuleLockCount() { return module_locks.load(); }

}  // namespace platform
