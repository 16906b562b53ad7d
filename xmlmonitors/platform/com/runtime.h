// The component runtime: apartments (per-thread bookkeeping; nothing needs initialising on
// this platform) and creation of objects by class identifier.
#pragma once

#include <cstdint>

#include "platform/com/guid.h"
#include "platform/com/interfaces.h"

namespace platform {

constexpr uint32_t CLSCTX_INPROC_SERVER = 0x1;
constexpr uint32_t CLSCTX_INPROC_HANDLER = 0x2;
constexpr uint32_t CLSCTX_LOCAL_SERVER = 0x4;
constexpr uint32_t CLSCTX_REMOTE_SERVER = 0x10;
constexpr uint32_t CLSCTX_ALL =
    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
constexpr uint32_t COINIT_APARTMENTTHREADED = 0x2;
constexpr uint32_t COINIT_MULTITHREADED = 0x0;

// S_OK the first time on a thread, S_FALSE when the thread is already initialised.
HRESULT CoInitializeEx(void* reserved, uint32_t flags);
void CoUninitialize();

// The entry of a component library: DllGetClassObject.
using GetClassObjectFunction = HRESULT (*)(const CLSID* clsid, const IID* iid, void** object);

// Makes a class of this module creatable by identifier, before any registration.
void RegisterOwnClass(const CLSID& clsid, GetClassObjectFunction get_class_object);

// The class factory of a class: this module's own classes first, then the InprocServer32
// library of the class registry (a bare file name is looked up in the host's program
// folder first). REGDB_E_CLASSNOTREG when neither knows the class.
HRESULT CoGetClassObject(const CLSID& clsid, uint32_t context, const IID& iid, void** object);
HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, uint32_t context, const IID& iid,
                         void** object);

// CLSIDFromString: registry format only.
HRESULT CLSIDFromString(const OLECHAR* text, CLSID* clsid);

}  // namespace platform
