// Debugger output: off by default; FEEDPROBE_DEBUG_OUTPUT names a file to append to, or "-"
// for standard error.
#pragma once

#include <string>

namespace platform {

void DebugOutput(const std::string& text);

}  // namespace platform
