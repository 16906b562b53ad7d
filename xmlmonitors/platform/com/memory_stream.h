// A growable stream in memory (write, seek, read, size).
#pragma once

#include <string>

#include "platform/com/interfaces.h"

namespace platform {

// A new stream with one reference.
IStream* CreateMemoryStream();

// The whole content of a stream made by CreateMemoryStream (no copy); null for other streams.
const std::string* MemoryStreamContent(IStream* stream);

// Moves the content of a stream made by CreateMemoryStream into *content, leaving the stream
// empty; false for other streams.
bool TakeMemoryStreamContent(IStream* stream, std::string* content);

}  // namespace platform
