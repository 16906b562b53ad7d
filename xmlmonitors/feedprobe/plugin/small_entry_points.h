// Entry points that need no host monitor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace feedprobe {

// Takes a rate at least as large as the current one (-1); otherwise writes the current
// rate back and returns 0. The sampling rate can only grow during a run.
int32_t SetMonitorRate(uint32_t* rate);

// Closes the open browse dialog as cancelled, when there is one.
void CancelAdd();

// Releases a text the plug-in allocated for the host and sets the pointer to null.
void FreeMonitorStringAllocation(char** text);

// A text for the host, allocated so that FreeMonitorStringAllocation releases it.
char* AllocateHostText(const std::string& text, size_t size);

}  // namespace feedprobe
