#include "feedprobe/transport/http_transport.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "feedprobe/plugin/configuration.h"
#include "feedprobe/plugin/error_reporting.h"
#include "feedprobe/transport/monitor_transport.h"
#include "feedprobe/transport/transport_errors.h"
#include "platform/com/object.h"
#include "platform/inet/http_client.h"
#include "platform/os/paths.h"

namespace feedprobe {
namespace {

// A request target as a message may show it: the value of every query parameter whose name
// speaks of a password (the account mode's "_password", "pwd", ...) becomes "<password>".
std::string TargetForMessage(const std::string& target) {
  size_t query = target.find_first_of("?&");
  if (query == std::string::npos) return target;
  std::string shown = target.substr(0, query);
  size_t at = query;
  while (at < target.size()) {
    size_t end = target.find('&', at + 1);
    if (end == std::string::npos) end = target.size();
    std::string parameter = target.substr(at, end - at);  // with its leading '?' or '&'
    size_t equals = parameter.find('=');
    std::string name = parameter.substr(1, equals == std::string::npos ? std::string::npos
                                                                      : equals - 1);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    bool secret = name.find("password") != std::string::npos ||
                  name.find("passwd") != std::string::npos || name.find("pwd") != std::string::npos;
    if (secret && equals != std::string::npos)
      parameter = parameter.substr(0, equals + 1) + "<password>";
    shown += parameter;
    at = end;
  }
  return shown;
}

using platform::HRESULT;
using platform::IID;
using platform::ULONG;
namespace inet = platform::inet;

constexpr const char* kUserAgent = "Mozilla/4.5 [en] (WinNT; I)";
constexpr int kMaxSends = 10;
constexpr size_t kWriteResponseLimit = 4095;
constexpr const char* kXmlContentType = "Content-Type: application/xml";
constexpr const char* kSendLocation = "IHTTPTransportImpl::__doHttpRequest->HttpSendRequest";
constexpr const char* kStatusLocation = "IHTTPTransportImpl::__doHttpRequest->HttpQueryInfo";
constexpr const char* kConnectLocation = "IHTTPTransportImpl::connect";

// IgnoreInvalidCertificate, read at the first request of the process.
bool IgnoreInvalidCertificate() {
  static std::once_flag once;
  static bool ignore = false;
  std::call_once(once, [] { ignore = ConfigInt("IgnoreInvalidCertificate", 0) != 0; });
  return ignore;
}

// Client certificates offered one after the other when a server asks for one: the numbered
// keys ClientCertificate1/ClientCertificateKey1, 2, ... of the monitor's section.
inet::ClientCertificate ClientCertificateAt(int index) {
  std::string number = std::to_string(index + 1);
  std::string path = GetConfigFilePath();
  inet::ClientCertificate certificate;
  certificate.certificate_file = platform::NativePath(
      ConfigString(path, ("ClientCertificate" + number).c_str(), "", kPathReadSize));
  certificate.key_file = platform::NativePath(
      ConfigString(path, ("ClientCertificateKey" + number).c_str(), "", kPathReadSize));
  if (certificate.key_file.empty()) certificate.key_file = certificate.certificate_file;
  return certificate;
}

std::string FailureText(const inet::Failure& failure) {
  if (failure.detail.empty() || failure.detail == failure.text) return failure.text;
  return failure.text + ": " + failure.detail;
}

// One open connection: a host, port and user with its kept-alive client connection.
struct HTTPConnection {
  std::string host;
  std::string user;
  int32_t port = 0;
  int32_t flags = 0;
  std::unique_ptr<inet::Connection> connection;
  bool https() const { return (flags & mtf_https_scheme) != 0; }
};

// Writes a 200 answer's body into the caller's stream; other answers' bodies are dropped.
class StreamSink final : public inet::BodySink {
 public:
  explicit StreamSink(platform::IStream* stream) : stream_(stream) {}
  bool Accept(int status_code) override { return status_code == 200; }
  void Write(std::string_view chunk) override {
    while (!chunk.empty()) {
      size_t piece = std::min<size_t>(chunk.size(), 4095);
      stream_->Write(chunk.data(), static_cast<ULONG>(piece), nullptr);
      total_ += piece;
      chunk.remove_prefix(piece);
    }
  }
  size_t total() const { return total_; }

 private:
  platform::IStream* stream_;
  size_t total_ = 0;
};

// Keeps the first bytes of a 200 answer.
class LimitedTextSink final : public inet::BodySink {
 public:
  explicit LimitedTextSink(size_t limit) : limit_(limit) {}
  bool Accept(int status_code) override { return status_code == 200; }
  void Write(std::string_view chunk) override {
    size_t room = limit_ - std::min(limit_, text_.size());
    text_.append(chunk.substr(0, room));
  }
  const std::string& text() const { return text_; }

 private:
  size_t limit_;
  std::string text_;
};

class IHTTPTransportImpl final : public IMonitorTransport {
 public:
  explicit IHTTPTransportImpl(platform::IUnknown* outer)
      : inner_(this), controlling_(outer ? outer : &inner_) {
    platform::ModuleLock();
  }
  ~IHTTPTransportImpl() { platform::ModuleUnlock(); }

  platform::IUnknown* inner() { return &inner_; }

  // IUnknown, delegating to the controlling object.
  HRESULT QueryInterface(const IID& iid, void** object) override {
    return controlling_->QueryInterface(iid, object);
  }
  ULONG AddRef() override { return controlling_->AddRef(); }
  ULONG Release() override { return controlling_->Release(); }

  // IDispatch.
  HRESULT GetTypeInfoCount(uint32_t* count) override {
    if (count == nullptr) return platform::E_POINTER;
    *count = 0;
    return platform::S_OK;
  }
  HRESULT GetTypeInfo(uint32_t, platform::LCID, void** type_info) override {
    if (type_info) *type_info = nullptr;
    return platform::E_NOTIMPL;
  }
  HRESULT GetIDsOfNames(const IID& iid, platform::OLECHAR** names, uint32_t count,
                        platform::LCID lcid, platform::DISPID* ids) override;
  HRESULT Invoke(platform::DISPID id, const IID& iid, platform::LCID lcid, uint16_t flags,
                 platform::DISPPARAMS* params, VARIANT* result, void* exception_info,
                 uint32_t* argument_error) override;

  // IMonitorTransport.
  HRESULT initialize(uint32_t reserved) override;
  HRESULT shutdown(uint32_t reserved) override;
  HRESULT connect(BSTR hostname, int32_t port, BSTR username, BSTR password, int32_t flags,
                  OLE_HANDLE* connection) override;
  HRESULT disconnect(OLE_HANDLE connection) override;
  HRESULT read(OLE_HANDLE connection, BSTR url, VARIANT* destination,
               int32_t* bytes_read) override;
  HRESULT write(OLE_HANDLE connection, BSTR url, VARIANT* source, VARIANT* response,
                int32_t* bytes_written) override;
  HRESULT getLastError(OLE_HANDLE connection, int32_t* error_code, BSTR* message) override;

 private:
  // The object's own IUnknown, which owns the reference count.
  class Inner final : public platform::IUnknown {
   public:
    explicit Inner(IHTTPTransportImpl* owner) : owner_(owner) {}
    HRESULT QueryInterface(const IID& iid, void** object) override {
      if (object == nullptr) return platform::E_POINTER;
      if (iid == platform::IID_IUnknown) {
        *object = static_cast<platform::IUnknown*>(this);
      } else if (iid == IID_IMonitorTransport || iid == platform::IID_IDispatch) {
        *object = static_cast<IMonitorTransport*>(owner_);
      } else {
        *object = nullptr;
        return platform::E_NOINTERFACE;
      }
      static_cast<platform::IUnknown*>(*object)->AddRef();
      return platform::S_OK;
    }
    ULONG AddRef() override { return ++count_; }
    ULONG Release() override {
      ULONG left = --count_;
      if (left == 0) delete owner_;
      return left;
    }

   private:
    IHTTPTransportImpl* owner_;
    std::atomic<ULONG> count_{1};
  };

  std::shared_ptr<HTTPConnection> Find(OLE_HANDLE handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = connections_.find(handle);
    return found == connections_.end() ? nullptr : found->second;
  }

  // Sends one request with the retries of HTTPS; true for a 200 answer. Every failure is
  // recorded for the calling thread.
  bool DoHttpRequest(HTTPConnection& connection, const char* verb, const std::string& target,
                     std::string_view body, bool has_body, inet::BodySink& sink);

  Inner inner_;
  platform::IUnknown* controlling_;
  std::mutex mutex_;
  std::unique_ptr<inet::Client> client_;
  std::map<OLE_HANDLE, std::shared_ptr<HTTPConnection>> connections_;
  OLE_HANDLE next_handle_ = 1;
};

HRESULT IHTTPTransportImpl::initialize(uint32_t) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!client_) client_ = std::make_unique<inet::Client>(kUserAgent);
  return platform::S_OK;
}

HRESULT IHTTPTransportImpl::shutdown(uint32_t) {
  std::lock_guard<std::mutex> lock(mutex_);
  client_.reset();  // open connections stay usable until they are disconnected
  return platform::S_OK;
}

HRESULT IHTTPTransportImpl::connect(BSTR hostname, int32_t port, BSTR username, BSTR password,
                                    int32_t flags, OLE_HANDLE* handle) {
  if (handle == nullptr) return platform::E_POINTER;
  *handle = 0;
  auto record = std::make_shared<HTTPConnection>();
  record->host = platform::BstrToUtf8(hostname);
  record->user = platform::BstrToUtf8(username);
  record->port = port;
  record->flags = flags;

  inet::ConnectionSettings settings;
  settings.host = record->host;
  settings.port = static_cast<uint16_t>(port);
  settings.https = record->https();
  settings.user_name = record->user;
  settings.password = platform::BstrToUtf8(password);
  settings.trusted_authorities_file =
      platform::NativePath(ConfigString("CertificateAuthorityFile", "", kPathReadSize));

  std::lock_guard<std::mutex> lock(mutex_);
  if (!client_ || record->host.empty()) {
    RecordTransportFailure(6, kMsgHostUnreachable,
                           {record->host, port,
                            client_ ? "Host name is empty" : "The transport is not initialised",
                            kConnectLocation});
    return platform::E_FAIL;
  }
  record->connection = client_->Connect(settings);
  if (!record->connection) {
    RecordTransportFailure(6, kMsgHostUnreachable,
                           {record->host, port, "The connection cannot be created",
                            kConnectLocation});
    return platform::E_FAIL;
  }
  OLE_HANDLE id = next_handle_++;
  if (next_handle_ == 0) next_handle_ = 1;
  connections_[id] = std::move(record);
  *handle = id;
  return platform::S_OK;
}

HRESULT IHTTPTransportImpl::disconnect(OLE_HANDLE handle) {
  std::shared_ptr<HTTPConnection> closing;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = connections_.find(handle);
    if (found == connections_.end()) return platform::S_OK;
    closing = std::move(found->second);
    connections_.erase(found);
  }
  return platform::S_OK;  // a request still running on another thread keeps it alive
}

bool IHTTPTransportImpl::DoHttpRequest(HTTPConnection& connection, const char* verb,
                                       const std::string& target, std::string_view body,
                                       bool has_body, inet::BodySink& sink) {
  inet::Request request;
  request.method = verb;
  request.target = target;
  request.headers = {kXmlContentType};
  if (!has_body) request.headers.clear();
  request.body = body;
  request.has_body = has_body;
  request.options.ignore_invalid_certificate = connection.https() && IgnoreInvalidCertificate();

  // The password never enters a message: the user part carries a placeholder, and so do
  // password parameters of the target's query.
  std::string user_part = connection.user.empty() ? "" : connection.user + ":<password>@";

  inet::ResponseStatus status;
  bool sent = false;
  int certificate_index = -1;
  for (int attempt = 1; attempt <= kMaxSends; ++attempt) {
    sent = connection.connection->Send(request, &sink, &status);
    if (sent || !connection.https() || attempt == kMaxSends) break;
    inet::FailureKind kind = connection.connection->last_failure().kind;
    if (kind == inet::FailureKind::kClientCertificateNeeded ||
        kind == inet::FailureKind::kClientCertificateUnusable) {
      request.options.client_certificate = ClientCertificateAt(++certificate_index);
    } else if (kind == inet::FailureKind::kUnknownAuthority &&
               !request.options.accept_unknown_authority) {
      request.options.accept_unknown_authority = true;
    } else {
      break;
    }
  }
  if (!sent) {
    const inet::Failure& failure = connection.connection->last_failure();
    RecordTransportFailure(6, kMsgHostUnreachable,
                           {connection.host, connection.port, FailureText(failure), kSendLocation});
    return false;
  }
  if (status.code == 200) {
    ClearTransportFailure();
    return true;
  }
  if (!status.text.empty()) {
    RecordTransportFailure(6, kMsgHttpStatus,
                           {status.code, status.text, user_part, connection.host,
                            connection.port, TargetForMessage(target), kStatusLocation});
  }
  return false;
}

HRESULT IHTTPTransportImpl::read(OLE_HANDLE handle, BSTR url, VARIANT* destination,
                                 int32_t* bytes_read) {
  if (destination == nullptr || handle == 0) return platform::E_POINTER;
  if (destination->vt != platform::VT_UNKNOWN || destination->punkVal == nullptr)
    return platform::E_INVALIDARG;
  platform::ComPtr<platform::IStream> stream;
  if (platform::FAILED(
          destination->punkVal->QueryInterface(platform::IID_IStream, stream.out_void())))
    return platform::E_INVALIDARG;
  std::shared_ptr<HTTPConnection> connection = Find(handle);
  if (!connection) return platform::E_INVALIDARG;

  StreamSink sink(stream.get());
  if (!DoHttpRequest(*connection, "GET", platform::BstrToUtf8(url), {}, false, sink))
    return platform::E_FAIL;
  if (bytes_read != nullptr)
    *bytes_read = static_cast<int32_t>(std::min<size_t>(sink.total(), INT32_MAX));
  return platform::S_OK;
}

HRESULT IHTTPTransportImpl::write(OLE_HANDLE handle, BSTR url, VARIANT* source,
                                  VARIANT* response, int32_t* bytes_written) {
  if (source == nullptr || handle == 0) return platform::E_POINTER;
  if (source->vt != platform::VT_BSTR) return platform::E_INVALIDARG;
  std::shared_ptr<HTTPConnection> connection = Find(handle);
  if (!connection) return platform::E_INVALIDARG;

  std::string body = platform::BstrToUtf8(source->bstrVal);
  body.resize(std::strlen(body.c_str()));  // the body ends at its first NUL
  std::string target = platform::BstrToUtf8(url);

  LimitedTextSink sink(kWriteResponseLimit);
  bool ok = DoHttpRequest(*connection, "POST", target, body, true, sink);
  if (!ok) {
    LimitedTextSink retry_sink(kWriteResponseLimit);
    ok = DoHttpRequest(*connection, "GET", target, body, true, retry_sink);
    if (ok) sink = std::move(retry_sink);
  }
  if (!ok) return platform::E_FAIL;
  if (bytes_written != nullptr) *bytes_written = static_cast<int32_t>(body.size());
  if (response != nullptr) {
    platform::VariantClear(response);
    response->vt = platform::VT_BSTR;
    response->bstrVal = platform::BstrFromUtf8(sink.text());
  }
  return platform::S_OK;
}

HRESULT IHTTPTransportImpl::getLastError(OLE_HANDLE, int32_t* error_code, BSTR* message) {
  if (message == nullptr) return platform::S_OK;
  std::string text = "No registered errors";
  int32_t status = 0;
  if (LastErrorRecord* record = ThreadTransportRecord()) {
    status = record->Take(text, false);
  }
  *message = platform::BstrFromUtf8(text);
  if (error_code != nullptr) *error_code = status;
  return platform::S_OK;
}

// --- IDispatch: calls by DISPID, arguments in reverse order as automation passes them. ---

constexpr struct {
  const char* name;
  platform::DISPID id;
} kMethods[] = {{"initialize", kDispidInitialize}, {"shutdown", kDispidShutdown},
                {"connect", kDispidConnect},       {"disconnect", kDispidDisconnect},
                {"read", kDispidRead},             {"write", kDispidWrite},
                {"getLastError", kDispidGetLastError}};

bool EqualsIgnoringCase(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

HRESULT IHTTPTransportImpl::GetIDsOfNames(const IID&, platform::OLECHAR** names, uint32_t count,
                                          platform::LCID, platform::DISPID* ids) {
  if (names == nullptr || ids == nullptr) return platform::E_POINTER;
  if (count == 0) return platform::S_OK;
  HRESULT hr = platform::S_OK;
  ids[0] = -1;
  std::u16string wide = names[0] ? std::u16string(names[0]) : std::u16string();
  std::string name = platform::Utf16ToUtf8(wide.data(), wide.size());
  for (const auto& method : kMethods)
    if (EqualsIgnoringCase(name, method.name)) ids[0] = method.id;
  if (ids[0] == -1) hr = platform::DISP_E_UNKNOWNNAME;
  for (uint32_t i = 1; i < count; ++i) {
    ids[i] = -1;  // parameters have no names to look up
    hr = platform::DISP_E_UNKNOWNNAME;
  }
  return hr;
}

// The argument at position index (0 = first) of an automation call.
VARIANT* Argument(platform::DISPPARAMS* params, uint32_t index) {
  return &params->rgvarg[params->cArgs - 1 - index];
}

// Follows a by-reference VARIANT to the one it names.
VARIANT* Dereference(VARIANT* v) {
  return v->vt == (platform::VT_BYREF | 12) && v->pvarVal ? v->pvarVal : v;
}

bool IntArgument(VARIANT* v, int32_t* out) {
  v = Dereference(v);
  if (v->vt == platform::VT_I4 || v->vt == platform::VT_UI4) *out = v->lVal;
  else if (v->vt == (platform::VT_BYREF | platform::VT_I4) && v->plVal) *out = *v->plVal;
  else return false;
  return true;
}

bool StringArgument(VARIANT* v, BSTR* out) {
  v = Dereference(v);
  if (v->vt == platform::VT_BSTR) *out = v->bstrVal;
  else if (v->vt == (platform::VT_BYREF | platform::VT_BSTR) && v->pbstrVal) *out = *v->pbstrVal;
  else if (v->vt == platform::VT_EMPTY) *out = nullptr;
  else return false;
  return true;
}

HRESULT IHTTPTransportImpl::Invoke(platform::DISPID id, const IID&, platform::LCID,
                                   uint16_t, platform::DISPPARAMS* params, VARIANT* result,
                                   void*, uint32_t* argument_error) {
  static const uint32_t kArgumentCounts[] = {0, 1, 1, 5, 1, 3, 4, 1};
  if (id < kDispidInitialize || id > kDispidGetLastError) return platform::DISP_E_MEMBERNOTFOUND;
  if (params == nullptr) return platform::E_POINTER;
  if (params->cArgs != kArgumentCounts[id] || (params->cArgs > 0 && params->rgvarg == nullptr))
    return platform::DISP_E_BADPARAMCOUNT;

  auto mismatch = [&](uint32_t index) {
    if (argument_error) *argument_error = params->cArgs - 1 - index;
    return platform::DISP_E_TYPEMISMATCH;
  };
  auto set_result_int = [&](int32_t value) {
    if (result == nullptr) return;
    platform::VariantClear(result);
    result->vt = platform::VT_I4;
    result->lVal = value;
  };

  int32_t handle = 0, number = 0, flags = 0, reserved = 0;
  BSTR first = nullptr, second = nullptr, third = nullptr;
  switch (id) {
    case kDispidInitialize:
    case kDispidShutdown:
      if (!IntArgument(Argument(params, 0), &reserved)) return mismatch(0);
      return id == kDispidInitialize ? initialize(static_cast<uint32_t>(reserved))
                                     : shutdown(static_cast<uint32_t>(reserved));
    case kDispidConnect: {
      if (!StringArgument(Argument(params, 0), &first)) return mismatch(0);
      if (!IntArgument(Argument(params, 1), &number)) return mismatch(1);
      if (!StringArgument(Argument(params, 2), &second)) return mismatch(2);
      if (!StringArgument(Argument(params, 3), &third)) return mismatch(3);
      if (!IntArgument(Argument(params, 4), &flags)) return mismatch(4);
      OLE_HANDLE connection = 0;
      HRESULT hr = connect(first, number, second, third, flags, &connection);
      set_result_int(static_cast<int32_t>(connection));
      return hr;
    }
    case kDispidDisconnect:
      if (!IntArgument(Argument(params, 0), &handle)) return mismatch(0);
      return disconnect(static_cast<OLE_HANDLE>(handle));
    case kDispidRead: {
      if (!IntArgument(Argument(params, 0), &handle)) return mismatch(0);
      if (!StringArgument(Argument(params, 1), &first)) return mismatch(1);
      int32_t count = 0;
      HRESULT hr = read(static_cast<OLE_HANDLE>(handle), first,
                        Dereference(Argument(params, 2)), &count);
      set_result_int(count);
      return hr;
    }
    case kDispidWrite: {
      if (!IntArgument(Argument(params, 0), &handle)) return mismatch(0);
      if (!StringArgument(Argument(params, 1), &first)) return mismatch(1);
      int32_t count = 0;
      HRESULT hr = write(static_cast<OLE_HANDLE>(handle), first,
                         Dereference(Argument(params, 2)), Dereference(Argument(params, 3)),
                         &count);
      set_result_int(count);
      return hr;
    }
    case kDispidGetLastError: {
      VARIANT* code = Argument(params, 0);
      int32_t status = 0;
      BSTR message = nullptr;
      HRESULT hr = getLastError(0, &status, &message);
      if (code->vt == (platform::VT_BYREF | platform::VT_I4) && code->plVal) *code->plVal = status;
      if (result != nullptr) {
        platform::VariantClear(result);
        result->vt = platform::VT_BSTR;
        result->bstrVal = message;
      } else {
        platform::SysFreeString(message);
      }
      return hr;
    }
  }
  return platform::DISP_E_MEMBERNOTFOUND;
}

}  // namespace

HRESULT CreateHttpTransport(platform::IUnknown* outer, const IID& iid, void** object) {
  if (object == nullptr) return platform::E_POINTER;
  *object = nullptr;
  if (outer != nullptr && !(iid == platform::IID_IUnknown)) return platform::CLASS_E_NOAGGREGATION;
  auto* transport = new (std::nothrow) IHTTPTransportImpl(outer);
  if (transport == nullptr) return platform::E_OUTOFMEMORY;
  platform::IUnknown* inner = transport->inner();
  HRESULT hr = inner->QueryInterface(iid, object);
  inner->Release();
  return hr;
}

}  // namespace feedprobe
