// Registry script 203: the class registry entries of the HTTP transport. %RELATIVE_PATH% is
// the plug-in's own file name.
#pragma once

namespace feedprobe {

extern const char kTransportRegistryScript[];

}  // namespace feedprobe
