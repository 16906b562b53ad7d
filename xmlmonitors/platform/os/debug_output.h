// Debugger output: off by default; FEEDPROBE_DEBUG_OUTPUT names a file to append to, or "-"
// for standard error.
#pragma once

#include <string>

namespace platform {

void DebugOutput(const std::string& text);

// Whether debugger output goes anywhere, so that callers can skip formatting lines for it.
bool DebugOutputEnabled();

}  // namespace platform
