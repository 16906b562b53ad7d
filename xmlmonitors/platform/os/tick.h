// A 32-bit millisecond tick that wraps like the Windows one; compare ticks by unsigned
// difference.
#pragma once

#include <cstdint>

namespace platform {

uint32_t TickCount();

}  // namespace platform
