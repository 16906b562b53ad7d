// Start-up and shut-down of the plug-in.
#pragma once

#include <cstdint>

namespace feedprobe {

// 0 on success, 2 on failure with the failure text in the buffer.
int32_t InitMonitor(int32_t* documents_loaded, char* text, int32_t capacity);
void TerminateMonitor();

}  // namespace feedprobe
