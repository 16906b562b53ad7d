// The text shown when a host cannot be reached, made from a document loader's failure.
#pragma once

#include <string>

namespace feedprobe {

class CXmlDocLoader;

// By the loader's error kind: "Unspecified error", the bad host name text, the catalogue's
// unreachable-host message, the parser text, or the loader's own error text. At most 2047
// characters.
std::string FormatHostFailure(const CXmlDocLoader& loader);

}  // namespace feedprobe
