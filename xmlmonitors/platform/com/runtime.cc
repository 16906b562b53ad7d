#include "platform/com/runtime.h"

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/com/registry_store.h"
#include "platform/os/dynamic_library.h"

namespace platform {
namespace {

thread_local int apartment_depth = 0;

struct GuidLess {
  bool operator()(const GUID& a, const GUID& b) const {
    return GuidToString(a) < GuidToString(b);
  }
};

struct ClassTables {
  std::mutex mutex;
  std::map<CLSID, GetClassObjectFunction, GuidLess> own_classes;
  // Component libraries stay loaded until the process ends: their objects may outlive any
  // bookkeeping here.
  std::vector<std::unique_ptr<DynamicLibrary>> libraries;
};

ClassTables& Tables() {
  static ClassTables tables;
  return tables;
}

HRESULT FromRegisteredLibrary(const CLSID& clsid, const IID& iid, void** object) {
  RegistryData registry = RegistryStore().Read();
  auto server = registry.GetValue("CLSID\\" + GuidToString(clsid) + "\\InprocServer32", "");
  if (!server || server->type != RegistryValue::Type::kString || server->text.empty())
    return REGDB_E_CLASSNOTREG;
  auto library = std::make_unique<DynamicLibrary>();
  if (!library->Open(server->text)) return CO_E_DLLNOTFOUND;
  auto entry = reinterpret_cast<GetClassObjectFunction>(library->Symbol("DllGetClassObject"));
  if (entry == nullptr) return CO_E_ERRORINDLL;
  HRESULT hr = entry(&clsid, &iid, object);
  ClassTables& tables = Tables();
  std::lock_guard<std::mutex> lock(tables.mutex);
  tables.libraries.push_back(std::move(library));
  return hr;
}

}  // namespace

HRESULT CoInitializeEx(void*, uint32_t) { return apartment_depth++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  if (apartment_depth > 0) --apartment_depth;
}

void RegisterOwnClass(const CLSID& clsid, GetClassObjectFunction get_class_object) {
  ClassTables& tables = Tables();
  std::lock_guard<std::mutex> lock(tables.mutex);
  tables.own_classes[clsid] = get_class_object;
}

HRESULT CoGetClassObject(const CLSID& clsid, uint32_t context, const IID& iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if ((context & (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)) == 0) return REGDB_E_CLASSNOTREG;
  GetClassObjectFunction own = nullptr;
  {
    ClassTables& tables = Tables();
    std::lock_guard<std::mutex> lock(tables.mutex);
    auto found = tables.own_classes.find(clsid);
    if (found != tables.own_classes.end()) own = found->second;
  }
  if (own != nullptr) return own(&clsid, &iid, object);
  return FromRegisteredLibrary(clsid, iid, object);
}

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, uint32_t context, const IID& iid,
                         void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  ComPtr<IClassFactory> factory;
  HRESULT hr = CoGetClassObject(clsid, context, IID_IClassFactory, factory.out_void());
  if (FAILED(hr)) return hr;
  return factory->CreateInstance(outer, iid, object);
}

HRESULT CLSIDFromString(const OLECHAR* text, CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  std::u16string wide = text ? std::u16string(text) : std::u16string();
  return ParseGuid(Utf16ToUtf8(wide.data(), wide.size()), clsid);
}

}  // namespace platform
