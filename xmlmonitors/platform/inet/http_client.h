// HTTP/1.1 and HTTPS client: a root object and connections to one host each. Every request
// goes straight to the server (no proxy, no cache), follows a bounded number of redirects,
// authenticates with the connection's user name and password by whichever of Basic, Digest and
// NTLM the server asks for, and verifies the server's certificate fully unless the request's
// options relax it. Failures carry a classification that lets a caller retry a refused
// certificate the way it chooses.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace platform::inet {

// What kind of failure ended a request.
enum class FailureKind {
  kNone,
  kConnect,                    // the host could not be resolved or reached
  kTimeout,                    // connect time-out or send/receive inactivity
  kUnknownAuthority,           // server certificate self-signed or from an unknown authority
  kCertificateName,            // server certificate issued for another name
  kCertificateDate,            // server certificate expired or not yet valid
  kCertificateOther,           // any other refusal of the server certificate
  kClientCertificateNeeded,    // the server asked for a client certificate and got none
  kClientCertificateUnusable,  // the client certificate or key file could not be used
  kTooManyRedirects,
  kAborted,   // cancelled through the thread's transfer cancellation token
  kTransfer,  // any other failure while sending or receiving
};

struct Failure {
  FailureKind kind = FailureKind::kNone;
  int code = 0;        // the client library's error number; 0 when there is no failure
  std::string text;    // a text a person understands, from the table of the library's failures
  std::string detail;  // what the library or the certificate check said, may be empty
};

// The library's text for one of its error numbers ("Couldn't connect to server", ...).
std::string ErrorText(int code);

// Receives a response body in chunks as it arrives.
class BodySink {
 public:
  // Called before the first chunk of the final response with its status code; false drops
  // that body (the request still completes and succeeds).
  virtual bool Accept(int status_code) {
    (void)status_code;
    return true;
  }
  virtual void Write(std::string_view chunk) = 0;

 protected:
  ~BodySink() = default;
};

struct ClientCertificate {
  std::string certificate_file;  // PEM
  std::string key_file;          // PEM, not encrypted
};

// Options of one request.
struct RequestOptions {
  // Accept a server certificate whose authority is not trusted (self-signed or unknown CA).
  bool accept_unknown_authority = false;
  // Accept a server certificate issued for another name or outside its dates.
  bool ignore_invalid_certificate = false;
  // Offered when the server asks for one; empty files offer none.
  ClientCertificate client_certificate;
};

struct Request {
  std::string method = "GET";
  std::string target = "/";          // path and query on the connection's host
  std::vector<std::string> headers;  // "Name: value" lines
  std::string_view body;             // sent when has_body
  bool has_body = false;
  RequestOptions options;
};

// Status line of the final response.
struct ResponseStatus {
  int code = 0;
  std::string text;  // the reason phrase, e.g. "Not Found"
};

struct ConnectionSettings {
  std::string host;
  uint16_t port = 80;
  bool https = false;
  std::string user_name;  // empty: no server authentication
  std::string password;   // handed to the library once; the connection keeps no copy
  std::chrono::milliseconds connect_timeout{60000};
  // A transfer fails when no byte moves in either direction for this long (whole seconds).
  std::chrono::milliseconds inactivity_timeout{30000};
  long max_redirects = 10;
  // PEM file of the authorities to trust instead of the system's; empty for the system's.
  std::string trusted_authorities_file;
};

class Client;

// One host, port and set of credentials, with one kept-alive TCP connection reused by all its
// requests. Requests on one connection run one at a time.
class Connection {
 public:
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Sends the request; the final response's body goes to the sink (none: dropped). True when a
  // response came, whatever its status; status receives its status line (may be null).
  // False with the failure in last_failure() otherwise.
  bool Send(const Request& request, BodySink* sink, ResponseStatus* status);
  // A GET of the target into the sink.
  bool Get(const std::string& target, BodySink& sink, ResponseStatus* status,
           const RequestOptions& options = {});
  // A POST of the body; the response text goes to response_text, at most response_limit bytes
  // of it (0 for all).
  bool Post(const std::string& target, std::string_view body,
            const std::vector<std::string>& headers, ResponseStatus* status,
            std::string* response_text, size_t response_limit = 0,
            const RequestOptions& options = {});

  const Failure& last_failure() const { return last_failure_; }
  const std::string& host() const { return host_; }
  uint16_t port() const { return port_; }
  bool https() const { return https_; }
  const std::string& user_name() const { return user_name_; }

  struct Impl;

 private:
  friend class Client;
  Connection(std::unique_ptr<Impl> impl, const ConnectionSettings& settings);

  std::mutex mutex_;
  std::unique_ptr<Impl> impl_;
  std::string host_;
  uint16_t port_;
  bool https_;
  std::string user_name_;
  Failure last_failure_;
};

// The root object: the library's process-wide set-up and what all connections share.
class Client {
 public:
  explicit Client(std::string user_agent);
  ~Client();
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  // A connection; no network traffic happens before its first request. None when the library
  // cannot make one, or for HTTPS when it cannot hand over certificate checking. Connections
  // may outlive the client.
  std::unique_ptr<Connection> Connect(const ConnectionSettings& settings) const;

  struct Shared;

 private:
  std::shared_ptr<const Shared> shared_;
};

}  // namespace platform::inet
