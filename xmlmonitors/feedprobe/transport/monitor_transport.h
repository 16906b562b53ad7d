// IMonitorTransport: the contract between the plug-in and the component that carries its
// traffic to monitored servers. A dual interface; the plug-in calls it through its virtual
// table, scripts through IDispatch with the DISPIDs below.
#pragma once

#include <cstdint>

#include "platform/com/interfaces.h"
#include "platform/com/variant.h"

namespace feedprobe {

using platform::BSTR;
using platform::HRESULT;
using platform::VARIANT;

// A 32-bit opaque connection handle; 0 is no connection.
using OLE_HANDLE = uint32_t;

constexpr platform::IID IID_IMonitorTransport{
    0xB2A92570, 0x8EFB, 0x11D4, {0x9E, 0x8D, 0x00, 0x60, 0x08, 0xCB, 0x51, 0x84}};
constexpr platform::CLSID CLSID_HTTPTransport{
    0xCCC1D3D4, 0x8E57, 0x11D4, {0x9E, 0x8D, 0x00, 0x60, 0x08, 0xCB, 0x51, 0x84}};
constexpr platform::GUID LIBID_VOVUROVOZOZURELib{
    0x776D33B3, 0x888B, 0x11D4, {0x9E, 0x8B, 0x00, 0x60, 0x08, 0xCB, 0x51, 0x84}};

enum MonitorTransportFlags : int32_t {
  mtf_default = 0,
  mtf_unix_host = 1,
  mtf_https_scheme = 2,
};

enum MonitorTransportDispid : platform::DISPID {
  kDispidInitialize = 1,
  kDispidShutdown = 2,
  kDispidConnect = 3,
  kDispidDisconnect = 4,
  kDispidRead = 5,
  kDispidWrite = 6,
  kDispidGetLastError = 7,
};

class IMonitorTransport : public platform::IDispatch {
 public:
  virtual HRESULT initialize(uint32_t reserved) = 0;
  virtual HRESULT shutdown(uint32_t reserved) = 0;
  virtual HRESULT connect(BSTR hostname, int32_t port, BSTR username, BSTR password,
                          int32_t flags, OLE_HANDLE* connection) = 0;
  virtual HRESULT disconnect(OLE_HANDLE connection) = 0;
  // Streams the body of GET url into the IStream held by destination (VT_UNKNOWN).
  virtual HRESULT read(OLE_HANDLE connection, BSTR url, VARIANT* destination,
                       int32_t* bytes_read) = 0;
  // Posts the text in source (VT_BSTR) to url; response receives the answer (VT_BSTR).
  virtual HRESULT write(OLE_HANDLE connection, BSTR url, VARIANT* source, VARIANT* response,
                        int32_t* bytes_written) = 0;
  // The calling thread's latest failure.
  virtual HRESULT getLastError(OLE_HANDLE connection, int32_t* error_code, BSTR* message) = 0;

 protected:
  ~IMonitorTransport() = default;
};

}  // namespace feedprobe
