#include "platform/inet/http_client.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <exception>
#include <optional>
#include <utility>

#include "platform/inet/transfer_cancellation.h"

namespace platform::inet {
namespace {

// Balances the library's process-wide set-up and clean-up over all clients.
class LibraryUse {
 public:
  LibraryUse() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (users_++ == 0) ok_ = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  }
  ~LibraryUse() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (--users_ == 0 && ok_) curl_global_cleanup();
  }
  LibraryUse(const LibraryUse&) = delete;
  LibraryUse& operator=(const LibraryUse&) = delete;

 private:
  static inline std::mutex mutex_;
  static inline int users_ = 0;
  static inline bool ok_ = false;
};

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct UrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct HeaderListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// Index of the slot in the library's TLS context that points at the running transfer.
int TlsContextSlot() {
  static const int slot = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return slot;
}

bool IsIpAddress(const std::string& host) {
  unsigned char address[16];
  return inet_pton(AF_INET, host.c_str(), address) == 1 ||
         inet_pton(AF_INET6, host.c_str(), address) == 1;
}

// The host a transfer is connecting to now: a followed redirect may lead to another one.
std::string HostOfTransfer(CURL* easy, const std::string& fallback) {
  char* url = nullptr;
  if (curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &url) != CURLE_OK || url == nullptr) {
    return fallback;
  }
  std::unique_ptr<CURLU, UrlDeleter> parsed(curl_url());
  char* part = nullptr;
  if (parsed == nullptr || curl_url_set(parsed.get(), CURLUPART_URL, url, 0) != CURLUE_OK ||
      curl_url_get(parsed.get(), CURLUPART_HOST, &part, 0) != CURLUE_OK) {
    return fallback;
  }
  std::string host = part;
  curl_free(part);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  }
  return host;
}

// Percent-encodes the bytes that cannot stand in a request target as they are.
std::string EscapeTarget(const std::string& target) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  if (target.empty() || (target[0] != '/' && target[0] != '?')) escaped = "/";
  for (unsigned char c : target) {
    if (c <= 0x20 || c >= 0x7F) {
      escaped += '%';
      escaped += kHex[c >> 4];
      escaped += kHex[c & 0xF];
    } else {
      escaped += static_cast<char>(c);
    }
  }
  return escaped;
}

FailureKind CertificateFailureKind(int verify_error) {
  switch (verify_error) {
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_CERT_UNTRUSTED:
      return FailureKind::kUnknownAuthority;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return FailureKind::kCertificateName;
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return FailureKind::kCertificateDate;
    default:
      return FailureKind::kCertificateOther;
  }
}

}  // namespace

std::string ErrorText(int code) { return curl_easy_strerror(static_cast<CURLcode>(code)); }

struct Client::Shared {
  explicit Shared(std::string agent) : user_agent(std::move(agent)) {}
  LibraryUse library;
  std::string user_agent;
};

// What the certificate check of one transfer may accept and what it found.
struct TlsCheck {
  std::string host;
  bool accept_unknown_authority = false;
  bool ignore_invalid_certificate = false;
  FailureKind refusal = FailureKind::kNone;
  std::string refusal_detail;
  bool client_certificate_requested = false;
};

struct Connection::Impl final : TransferCancellationToken::Waker {
  std::shared_ptr<const Client::Shared> client;
  std::unique_ptr<CURLM, MultiDeleter> multi;
  std::unique_ptr<CURL, EasyDeleter> easy;
  std::string origin;  // "https://host:port"
  bool https = false;
  char error_buffer[CURL_ERROR_SIZE] = {};

  // State of the running transfer.
  TlsCheck tls;
  ResponseStatus status;
  BodySink* sink = nullptr;
  bool body_started = false;
  bool body_accepted = false;
  std::exception_ptr sink_exception;
  // Certificate policy the kept connection was verified under; none when there may be no
  // kept connection.
  std::optional<std::pair<bool, bool>> kept_policy;

  void Wake() override { curl_multi_wakeup(multi.get()); }

  static size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* self = static_cast<Impl*>(user);
    std::string_view line(data, size * count);
    if (line.substr(0, 5) == "HTTP/") {
      // A new response begins (interim, authentication, redirect or final).
      size_t code_start = line.find(' ');
      self->status = {};
      self->body_started = false;
      if (code_start != std::string_view::npos) {
        std::string_view rest = line.substr(code_start + 1);
        int code = 0;
        size_t i = 0;
        while (i < rest.size() && rest[i] >= '0' && rest[i] <= '9') {
          code = code * 10 + (rest[i] - '0');
          ++i;
        }
        self->status.code = code;
        if (i < rest.size() && rest[i] == ' ') {
          std::string_view text = rest.substr(i + 1);
          while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) {
            text.remove_suffix(1);
          }
          self->status.text = std::string(text);
        }
      }
    }
    return size * count;
  }

  static size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* self = static_cast<Impl*>(user);
    try {
      if (!self->body_started) {
        self->body_started = true;
        self->body_accepted = self->sink != nullptr && self->sink->Accept(self->status.code);
      }
      if (self->body_accepted) self->sink->Write(std::string_view(data, size * count));
    } catch (...) {
      self->sink_exception = std::current_exception();
      return 0;  // ends the transfer
    }
    return size * count;
  }

  static int OnVerify(int preverified, X509_STORE_CTX* store) {
    if (preverified == 1) return 1;
    auto* ssl =
        static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* self =
        ssl == nullptr
            ? nullptr
            : static_cast<Impl*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), TlsContextSlot()));
    if (self == nullptr) return 0;
    int error = X509_STORE_CTX_get_error(store);
    FailureKind kind = CertificateFailureKind(error);
    bool accepted =
        (kind == FailureKind::kUnknownAuthority && self->tls.accept_unknown_authority) ||
        ((kind == FailureKind::kCertificateName || kind == FailureKind::kCertificateDate) &&
         self->tls.ignore_invalid_certificate);
    if (accepted) {
      X509_STORE_CTX_set_error(store, X509_V_OK);
      return 1;
    }
    if (self->tls.refusal == FailureKind::kNone) {
      self->tls.refusal = kind;
      self->tls.refusal_detail =
          std::string("server certificate refused: ") + X509_verify_cert_error_string(error);
    }
    return 0;
  }

  static int OnClientCertificateRequest(SSL* ssl, X509**, EVP_PKEY**) {
    auto* self = static_cast<Impl*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), TlsContextSlot()));
    if (self != nullptr) self->tls.client_certificate_requested = true;
    return 0;  // no certificate offered
  }

  static CURLcode OnTlsContext(CURL* easy, void* context, void* user) {
    auto* self = static_cast<Impl*>(user);
    auto* ctx = static_cast<SSL_CTX*>(context);
    SSL_CTX_set_ex_data(ctx, TlsContextSlot(), self);
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, &Impl::OnVerify);
    // The name check runs in the chain verification, so that it reaches OnVerify.
    std::string host = HostOfTransfer(easy, self->tls.host);
    X509_VERIFY_PARAM* param = SSL_CTX_get0_param(ctx);
    if (IsIpAddress(host)) {
      X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str());
    } else {
      X509_VERIFY_PARAM_set1_host(param, host.c_str(), 0);
    }
    SSL_CTX_set_client_cert_cb(ctx, &Impl::OnClientCertificateRequest);
    return CURLE_OK;
  }

  // Runs the prepared transfer on the multi handle, so that a cancellation can wake it.
  CURLcode Run(bool* aborted) {
    std::shared_ptr<TransferCancellationToken> token = CurrentTransferCancellation();
    *aborted = false;
    if (token != nullptr && token->cancelled()) {
      *aborted = true;
      return CURLE_ABORTED_BY_CALLBACK;
    }
    if (token != nullptr) token->Register(this);
    CURLcode result = CURLE_OK;
    if (curl_multi_add_handle(multi.get(), easy.get()) != CURLM_OK) {
      result = CURLE_FAILED_INIT;
    } else {
      for (;;) {
        int running = 0;
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
          result = CURLE_FAILED_INIT;
          break;
        }
        if (running == 0) {
          int left = 0;
          while (CURLMsg* message = curl_multi_info_read(multi.get(), &left)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == easy.get()) {
              result = message->data.result;
            }
          }
          break;
        }
        if (token != nullptr && token->cancelled()) {
          *aborted = true;
          result = CURLE_ABORTED_BY_CALLBACK;
          break;
        }
        if (curl_multi_poll(multi.get(), nullptr, 0, 1000, nullptr) != CURLM_OK) {
          result = CURLE_FAILED_INIT;
          break;
        }
      }
      // Removing an unfinished transfer aborts it and closes its TCP connection.
      curl_multi_remove_handle(multi.get(), easy.get());
    }
    if (token != nullptr) token->Unregister(this);
    return result;
  }
};

Client::Client(std::string user_agent)
    : shared_(std::make_shared<const Shared>(std::move(user_agent))) {}

Client::~Client() = default;

std::unique_ptr<Connection> Client::Connect(const ConnectionSettings& settings) const {
  auto impl = std::make_unique<Connection::Impl>();
  impl->client = shared_;
  impl->multi.reset(curl_multi_init());
  impl->easy.reset(curl_easy_init());
  if (impl->multi == nullptr || impl->easy == nullptr) return nullptr;
  impl->https = settings.https;
  std::string host =
      settings.host.find(':') != std::string::npos ? "[" + settings.host + "]" : settings.host;
  impl->origin = std::string(settings.https ? "https://" : "http://") + host + ":" +
                 std::to_string(settings.port);
  impl->tls.host = settings.host;

  // One kept-alive TCP connection per connection object.
  curl_multi_setopt(impl->multi.get(), CURLMOPT_MAXCONNECTS, 1L);

  CURL* easy = impl->easy.get();
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, impl->error_buffer);
  curl_easy_setopt(easy, CURLOPT_USERAGENT, shared_->user_agent.c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_PROXY, "");  // direct: the environment's proxies are ignored
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, settings.max_redirects);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                   static_cast<long>(settings.connect_timeout.count()));
  long inactivity_seconds = static_cast<long>((settings.inactivity_timeout.count() + 999) / 1000);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, inactivity_seconds < 1 ? 1L : inactivity_seconds);
  if (!settings.user_name.empty()) {
    curl_easy_setopt(easy, CURLOPT_HTTPAUTH, CURLAUTH_BASIC | CURLAUTH_DIGEST | CURLAUTH_NTLM);
    curl_easy_setopt(easy, CURLOPT_USERNAME, settings.user_name.c_str());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, settings.password.c_str());
  }
  // A resumed TLS session would skip the certificate check of a later request.
  curl_easy_setopt(easy, CURLOPT_SSL_SESSIONID_CACHE, 0L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  if (!settings.trusted_authorities_file.empty()) {
    curl_easy_setopt(easy, CURLOPT_CAINFO, settings.trusted_authorities_file.c_str());
  }
  // Certificates are classified in the TLS library's verification; without that hook an HTTPS
  // connection could not honour its options.
  if (curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &Connection::Impl::OnTlsContext) !=
          CURLE_OK &&
      settings.https) {
    return nullptr;
  }
  curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, impl.get());
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Connection::Impl::OnHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, impl.get());
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Connection::Impl::OnBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, impl.get());
  return std::unique_ptr<Connection>(new Connection(std::move(impl), settings));
}

Connection::Connection(std::unique_ptr<Impl> impl, const ConnectionSettings& settings)
    : impl_(std::move(impl)),
      host_(settings.host),
      port_(settings.port),
      https_(settings.https),
      user_name_(settings.user_name) {}

// The easy handle goes before the multi handle that holds its TCP connection (member order).
Connection::~Connection() = default;

bool Connection::Send(const Request& request, BodySink* sink, ResponseStatus* status) {
  std::lock_guard<std::mutex> lock(mutex_);
  Impl& impl = *impl_;
  CURL* easy = impl.easy.get();
  last_failure_ = {};

  std::string url = impl.origin + EscapeTarget(request.target);
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());

  curl_easy_setopt(easy, CURLOPT_NOBODY, request.method == "HEAD" ? 1L : 0L);
  if (request.has_body) {
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(request.body.size()));
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.body.data());
  } else if (request.method != "HEAD") {
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  }
  bool standard_method =
      request.method == (request.has_body ? "POST" : "GET") || request.method == "HEAD";
  curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, standard_method ? nullptr : request.method.c_str());

  std::unique_ptr<curl_slist, HeaderListDeleter> headers;
  bool headers_ok = true;
  auto add_header = [&](const char* line) {
    curl_slist* grown = curl_slist_append(headers.get(), line);
    if (grown == nullptr) {
      headers_ok = false;
      return;
    }
    (void)headers.release();  // grown is the same list, or its first node
    headers.reset(grown);
  };
  for (const std::string& header : request.headers) add_header(header.c_str());
  // No "Expect: 100-continue" round trip; never an answer from a cache on the way.
  for (const char* header : {"Expect:", "Cache-Control: no-cache", "Pragma: no-cache"}) {
    add_header(header);
  }
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.get());

  const RequestOptions& options = request.options;
  const ClientCertificate& certificate = options.client_certificate;
  bool offers_certificate = !certificate.certificate_file.empty();
  curl_easy_setopt(easy, CURLOPT_SSLCERT,
                   offers_certificate ? certificate.certificate_file.c_str() : nullptr);
  curl_easy_setopt(
      easy, CURLOPT_SSLKEY,
      offers_certificate && !certificate.key_file.empty() ? certificate.key_file.c_str() : nullptr);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, options.ignore_invalid_certificate ? 0L : 2L);
  std::pair<bool, bool> policy{options.accept_unknown_authority,
                               options.ignore_invalid_certificate};
  // A kept connection verified under another policy is not reused.
  curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, impl.https && impl.kept_policy != policy ? 1L : 0L);

  impl.tls.accept_unknown_authority = options.accept_unknown_authority;
  impl.tls.ignore_invalid_certificate = options.ignore_invalid_certificate;
  impl.tls.refusal = FailureKind::kNone;
  impl.tls.refusal_detail.clear();
  impl.tls.client_certificate_requested = false;
  impl.status = {};
  impl.sink = sink;
  impl.body_started = false;
  impl.body_accepted = false;
  impl.sink_exception = nullptr;
  impl.error_buffer[0] = '\0';

  bool aborted = false;
  CURLcode result = headers_ok ? impl.Run(&aborted) : CURLE_OUT_OF_MEMORY;

  impl.sink = nullptr;
  curl_easy_setopt(easy, CURLOPT_POSTFIELDS, nullptr);
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
  if (status != nullptr) *status = impl.status;
  if (impl.sink_exception) {
    impl.kept_policy.reset();
    std::rethrow_exception(std::exchange(impl.sink_exception, nullptr));
  }
  if (result == CURLE_OK) {
    impl.kept_policy = policy;
    return true;
  }
  impl.kept_policy.reset();

  last_failure_.code = result;
  last_failure_.text = ErrorText(result);
  last_failure_.detail = impl.error_buffer;
  if (aborted) {
    last_failure_.kind = FailureKind::kAborted;
    last_failure_.detail = "the transfer was cancelled";
  } else if (impl.tls.refusal != FailureKind::kNone) {
    last_failure_.kind = impl.tls.refusal;
    last_failure_.detail = impl.tls.refusal_detail;
  } else {
    switch (result) {
      case CURLE_COULDNT_RESOLVE_HOST:
      case CURLE_COULDNT_CONNECT:
        last_failure_.kind = FailureKind::kConnect;
        break;
      case CURLE_OPERATION_TIMEDOUT:
        last_failure_.kind = FailureKind::kTimeout;
        break;
      case CURLE_TOO_MANY_REDIRECTS:
        last_failure_.kind = FailureKind::kTooManyRedirects;
        break;
      case CURLE_SSL_CERTPROBLEM:
        last_failure_.kind = FailureKind::kClientCertificateUnusable;
        break;
      case CURLE_PEER_FAILED_VERIFICATION:
        last_failure_.kind = FailureKind::kCertificateOther;
        break;
      default:
        last_failure_.kind = impl.tls.client_certificate_requested && !offers_certificate
                                 ? FailureKind::kClientCertificateNeeded
                                 : FailureKind::kTransfer;
        break;
    }
  }
  return false;
}

bool Connection::Get(const std::string& target, BodySink& sink, ResponseStatus* status,
                     const RequestOptions& options) {
  Request request;
  request.target = target;
  request.options = options;
  return Send(request, &sink, status);
}

bool Connection::Post(const std::string& target, std::string_view body,
                      const std::vector<std::string>& headers, ResponseStatus* status,
                      std::string* response_text, size_t response_limit,
                      const RequestOptions& options) {
  // Collects the final response's text, up to the limit.
  class TextSink final : public BodySink {
   public:
    TextSink(std::string* text, size_t limit) : text_(text), limit_(limit) {}
    bool Accept(int) override {
      text_->clear();
      return true;
    }
    void Write(std::string_view chunk) override {
      if (limit_ != 0) chunk = chunk.substr(0, limit_ - std::min(limit_, text_->size()));
      text_->append(chunk);
    }

   private:
    std::string* text_;
    size_t limit_;
  };
  std::string ignored;
  TextSink sink(response_text != nullptr ? response_text : &ignored, response_limit);
  Request request;
  request.method = "POST";
  request.target = target;
  request.headers = headers;
  request.body = body;
  request.has_body = true;
  request.options = options;
  return Send(request, &sink, status);
}

}  // namespace platform::inet
