// Type libraries: what a component server declares about its interfaces, and their
// registration under TypeLib\{LIBID} and Interface\{IID}.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/com/guid.h"
#include "platform/com/interfaces.h"
#include "platform/com/registry_store.h"

namespace platform {

struct TypeLibraryInfo {
  GUID libid;
  uint16_t major_version;
  uint16_t minor_version;
  LCID lcid;
  std::string help_string;
  std::vector<std::pair<IID, std::string>> interfaces;  // dual interfaces and their names
};

// "TypeLib\{LIBID}\<major>.<minor>\<lcid>\Win32": the key that holds the library's path.
std::string TypeLibraryPathKey(const TypeLibraryInfo& library);

void RegisterTypeLib(RegistryData& data, const TypeLibraryInfo& library, const std::string& path,
                     const std::string& help_directory);
void UnRegisterTypeLib(RegistryData& data, const TypeLibraryInfo& library);

}  // namespace platform
