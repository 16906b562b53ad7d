// The HTTP transport component (class HTTPTransport, IHTTPTransportImpl): HTTP and HTTPS
// requests over one kept-alive connection per connect, failures recorded per thread.
#pragma once

#include "platform/com/interfaces.h"

namespace feedprobe {

// Creates the component; an outer object may aggregate it (then iid must be IUnknown).
platform::HRESULT CreateHttpTransport(platform::IUnknown* outer, const platform::IID& iid,
                                      void** object);

}  // namespace feedprobe
