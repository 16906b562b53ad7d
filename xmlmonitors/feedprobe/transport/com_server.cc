#include "feedprobe/transport/com_server.h"

#include <new>

#include "feedprobe/resources/registry_script.h"
#include "feedprobe/transport/http_transport.h"
#include "feedprobe/transport/monitor_transport.h"
#include "platform/com/object.h"
#include "platform/com/registry_script.h"
#include "platform/com/registry_store.h"
#include "platform/com/runtime.h"
#include "platform/os/paths.h"

namespace feedprobe {
namespace {

using platform::HRESULT;
using platform::IID;
using platform::RegistryData;

const std::string kInprocServerKey =
    "CLSID\\" + platform::GuidToString(CLSID_HTTPTransport) + "\\InprocServer32";

// The class factory of HTTPTransport; a static object that holds no module lock itself.
class TransportClassFactory final : public platform::IClassFactory {
 public:
  HRESULT QueryInterface(const IID& iid, void** object) override {
    if (object == nullptr) return platform::E_POINTER;
    if (iid == platform::IID_IUnknown || iid == platform::IID_IClassFactory) {
      *object = static_cast<platform::IClassFactory*>(this);
      AddRef();
      return platform::S_OK;
    }
    *object = nullptr;
    return platform::E_NOINTERFACE;
  }
  platform::ULONG AddRef() override {
    platform::ModuleLock();
    return 2;
  }
  platform::ULONG Release() override {
    platform::ModuleUnlock();
    return 1;
  }
  HRESULT CreateInstance(platform::IUnknown* outer, const IID& iid, void** object) override {
    return CreateHttpTransport(outer, iid, object);
  }
  HRESULT LockServer(int32_t lock) override {
    if (lock) platform::ModuleLock();
    else platform::ModuleUnlock();
    return platform::S_OK;
  }
};

TransportClassFactory& Factory() {
  static TransportClassFactory factory;
  return factory;
}


// Counts one registration up or down in the key's RefCount value; the new count.
uint32_t CountRegistration(RegistryData& data, const std::string& key, bool register_copy) {
  auto value = data.GetValue(key, "RefCount");
  uint32_t count =
      value && value->type == platform::RegistryValue::Type::kDword ? value->number : 0;
  if (register_copy) {
    data.SetDword(key, "RefCount", ++count);
  } else if (count >= 2) {
    data.SetDword(key, "RefCount", --count);
  } else if (count == 1) {
    count = 0;
    data.DeleteValue(key, "RefCount");
  }
  return count;
}

HRESULT RegisterClassEntries(RegistryData& data, const std::string& file, bool register_copy) {
  std::map<std::string, std::string> replacements{{"RELATIVE_PATH", file}};
  if (register_copy) {
    HRESULT hr =
        platform::ApplyRegistryScript(data, kTransportRegistryScript, replacements, true);
    if (platform::FAILED(hr)) return hr;
  }
  if (!data.KeyExists(kInprocServerKey)) return platform::E_FAIL;
  uint32_t count = CountRegistration(data, kInprocServerKey, register_copy);
  if (!register_copy && count == 0)
    return platform::ApplyRegistryScript(data, kTransportRegistryScript, replacements, false);
  return platform::S_OK;
}

// The registered server path is the file name alone: hosts find it in their program folder.
std::string OwnFileName() { return platform::FileNameOf(platform::ModulePath()); }

}  // namespace

const platform::TypeLibraryInfo& TransportTypeLibrary() {
  static const platform::TypeLibraryInfo library{LIBID_VOVUROVOZOZURELib, 1, 0, 0,
                                                 "VovurovOzozure 1.0 Type Library",
                                                 {{IID_IMonitorTransport, "IMonitorTransport"}}};
  return library;
}

void RegisterOwnClasses() { platform::RegisterOwnClass(CLSID_HTTPTransport, &GetClassObject); }

HRESULT GetClassObject(const platform::CLSID* clsid, const IID* iid, void** object) {
  if (object == nullptr) return platform::E_POINTER;
  *object = nullptr;
  if (clsid == nullptr || iid == nullptr) return platform::E_INVALIDARG;
  if (!(*clsid == CLSID_HTTPTransport)) return platform::CLASS_E_CLASSNOTAVAILABLE;
  return Factory().QueryInterface(*iid, object);
}

HRESULT CanUnloadNow() {
  return platform::ModuleLockCount() == 0 ? platform::S_OK : platform::S_FALSE;
}

HRESULT RegisterServer() {
  std::string file = OwnFileName();
  const platform::TypeLibraryInfo& library = TransportTypeLibrary();
  return platform::RegistryStore().Update([&](RegistryData& data) -> HRESULT {
    HRESULT hr = RegisterClassEntries(data, file, true);
    if (platform::FAILED(hr)) return hr;
    platform::RegisterTypeLib(data, library, file, "");
    CountRegistration(data, platform::TypeLibraryPathKey(library), true);
    return platform::S_OK;
  });
}

HRESULT UnregisterServer() {
  std::string file = OwnFileName();
  const platform::TypeLibraryInfo& library = TransportTypeLibrary();
  return platform::RegistryStore().Update([&](RegistryData& data) -> HRESULT {
    std::string library_key = platform::TypeLibraryPathKey(library);
    if (!data.KeyExists(library_key)) return platform::E_FAIL;
    uint32_t count = CountRegistration(data, library_key, false);
    HRESULT hr = RegisterClassEntries(data, file, false);
    if (count > 0) platform::RegisterTypeLib(data, library, file, "");
    else platform::UnRegisterTypeLib(data, library);
    if (platform::FAILED(hr)) return hr;
    return count > 0 ? platform::S_FALSE : platform::S_OK;
  });
}

}  // namespace feedprobe
