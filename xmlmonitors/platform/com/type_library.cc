#include "platform/com/type_library.h"

namespace platform {
namespace {

// The proxy of dual interfaces, marshalled through their type library.
constexpr const char* kDualInterfaceProxy = "{00020424-0000-0000-C000-000000000046}";

std::string VersionKey(const TypeLibraryInfo& library) {
  return "TypeLib\\" + GuidToString(library.libid) + "\\" +
         std::to_string(library.major_version) + "." + std::to_string(library.minor_version);
}

}  // namespace

std::string TypeLibraryPathKey(const TypeLibraryInfo& library) {
  return VersionKey(library) + "\\" + std::to_string(library.lcid) + "\\Win32";
}

void RegisterTypeLib(RegistryData& data, const TypeLibraryInfo& library, const std::string& path,
                     const std::string& help_directory) {
  std::string version = VersionKey(library);
  data.SetString(version, "", library.help_string);
  data.SetString(TypeLibraryPathKey(library), "", path);
  data.SetString(version + "\\FLAGS", "", "0");
  data.SetString(version + "\\HELPDIR", "", help_directory);
  std::string version_text =
      std::to_string(library.major_version) + "." + std::to_string(library.minor_version);
  for (const auto& [iid, name] : library.interfaces) {
    std::string key = "Interface\\" + GuidToString(iid);
    data.SetString(key, "", name);
    data.SetString(key + "\\ProxyStubClsid32", "", kDualInterfaceProxy);
    data.SetString(key + "\\TypeLib", "", GuidToString(library.libid));
    data.SetString(key + "\\TypeLib", "Version", version_text);
  }
}

void UnRegisterTypeLib(RegistryData& data, const TypeLibraryInfo& library) {
  data.DeleteKeyTree(VersionKey(library));
  std::string library_key = "TypeLib\\" + GuidToString(library.libid);
  if (!data.HasSubkeys(library_key)) data.DeleteKeyTree(library_key);
  for (const auto& [iid, name] : library.interfaces)
    data.DeleteKeyTree("Interface\\" + GuidToString(iid));
}

}  // namespace platform
