// The plug-in as an in-process component server: the class object of HTTPTransport, the
// unload test and reference-counted registration (one count per registered plug-in copy).
#pragma once

#include "platform/com/guid.h"
#include "platform/com/hresult.h"
#include "platform/com/type_library.h"

namespace feedprobe {

// Makes the plug-in's own classes creatable by identifier, before any registration.
void RegisterOwnClasses();

platform::HRESULT GetClassObject(const platform::CLSID* clsid, const platform::IID* iid,
                                 void** object);
platform::HRESULT CanUnloadNow();
platform::HRESULT RegisterServer();
platform::HRESULT UnregisterServer();

// The plug-in's type library: IMonitorTransport, MonitorTransportFlags, HTTPTransport.
const platform::TypeLibraryInfo& TransportTypeLibrary();

}  // namespace feedprobe
