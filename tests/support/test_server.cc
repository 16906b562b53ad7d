#include "support/test_server.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <map>
#include <stdexcept>
#include <utility>

namespace testing_support {
namespace {

std::string Hex(const unsigned char* data, size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < size; ++i) {
    text += kDigits[data[i] >> 4];
    text += kDigits[data[i] & 0xF];
  }
  return text;
}

std::string Md5Hex(const std::string& text) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_Digest(text.data(), text.size(), digest, &size, EVP_md5(), nullptr);
  return Hex(digest, size);
}

std::string Base64(const std::string& text) {
  std::string encoded(4 * ((text.size() + 2) / 3) + 1, '\0');
  int size = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()),
                             reinterpret_cast<const unsigned char*>(text.data()),
                             static_cast<int>(text.size()));
  encoded.resize(static_cast<size_t>(size));
  return encoded;
}

// The name="value" and name=value pairs of a Digest authorization header.
std::map<std::string, std::string> DigestFields(const std::string& header) {
  std::map<std::string, std::string> fields;
  size_t i = header.find(' ');
  while (i != std::string::npos && i < header.size()) {
    while (i < header.size() && (header[i] == ' ' || header[i] == ',')) ++i;
    size_t equals = header.find('=', i);
    if (equals == std::string::npos) break;
    std::string name = header.substr(i, equals - i);
    std::string value;
    i = equals + 1;
    if (i < header.size() && header[i] == '"') {
      size_t close = header.find('"', i + 1);
      if (close == std::string::npos) break;
      value = header.substr(i + 1, close - i - 1);
      i = close + 1;
    } else {
      size_t end = header.find(',', i);
      value = header.substr(i, end == std::string::npos ? std::string::npos : end - i);
      i = end;
    }
    fields[name] = value;
  }
  return fields;
}

}  // namespace

// The server's worker pool, counting the TCP connections it is handed.
class TestServer::CountingQueue final : public httplib::TaskQueue {
 public:
  explicit CountingQueue(std::atomic<int>* connections) : connections_(connections), pool_(8) {}
  void enqueue(std::function<void()> task) override {
    ++*connections_;
    pool_.enqueue(std::move(task));
  }
  void shutdown() override { pool_.shutdown(); }

 private:
  std::atomic<int>* connections_;
  httplib::ThreadPool pool_;
};

TestServer::TestServer() : server_(std::make_unique<httplib::Server>()) { Configure(); }

TestServer::TestServer(const TlsServerSetup& tls)
    : server_(std::make_unique<httplib::SSLServer>(
          tls.certificate.c_str(), tls.key.c_str(),
          tls.client_authority.empty() ? nullptr : tls.client_authority.c_str())),
      https_(true) {
  if (!server_->is_valid()) throw std::runtime_error("test server: unusable certificate files");
  Configure();
}

void TestServer::Configure() {
  server_->new_task_queue = [this] { return new CountingQueue(&connections_); };
  // Requests are recorded before they are answered (so a client never sees an answer before
  // its request counts) and get their body once the server has read it.
  server_->set_logger([this](const httplib::Request& request, const httplib::Response&) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto pending = pending_bodies_.find(&request);
    if (pending == pending_bodies_.end()) return;
    received_[pending->second].body = request.body;
    pending_bodies_.erase(pending);
  });
  server_->set_pre_routing_handler(
      [this](const httplib::Request& request, httplib::Response& response) {
        return BeforeRouting(request, response);
      });
  server_->set_keep_alive_max_count(1000);
}

TestServer::~TestServer() { Stop(); }

TestServer& TestServer::Get(const std::string& pattern, Handler handler) {
  server_->Get(pattern, std::move(handler));
  return *this;
}

TestServer& TestServer::Post(const std::string& pattern, Handler handler) {
  // The body is recorded before the answer goes out, so a client that has its answer finds it.
  server_->Post(pattern, [this, handler = std::move(handler)](const httplib::Request& request,
                                                              httplib::Response& response) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto pending = pending_bodies_.find(&request);
      if (pending != pending_bodies_.end()) received_[pending->second].body = request.body;
    }
    handler(request, response);
  });
  return *this;
}

TestServer& TestServer::Reply(const std::string& pattern, int status, std::string body,
                              std::string content_type) {
  return Get(pattern, [status, body = std::move(body), content_type = std::move(content_type)](
                          const httplib::Request&, httplib::Response& response) {
    response.status = status;
    response.set_content(body, content_type.c_str());
  });
}

TestServer& TestServer::Redirect(const std::string& pattern, std::string location, int status) {
  Handler handler = [location = std::move(location), status](const httplib::Request&,
                                                             httplib::Response& response) {
    response.status = status;
    response.set_header("Location", location);
  };
  Get(pattern, handler);
  return Post(pattern, handler);
}

TestServer& TestServer::Stall(const std::string& pattern) {
  Handler handler = [this](const httplib::Request&, httplib::Response&) { StallUntilStopped(); };
  Get(pattern, handler);
  return Post(pattern, handler);
}

TestServer& TestServer::CloseMidBody(const std::string& pattern, std::string sent_part,
                                     size_t declared_length) {
  return Get(pattern, [sent_part = std::move(sent_part), declared_length](
                          const httplib::Request&, httplib::Response& response) {
    response.set_content_provider(declared_length, "text/plain",
                                  [sent_part](size_t offset, size_t, httplib::DataSink& sink) {
                                    if (offset != 0) return false;  // closes the connection
                                    sink.write(sent_part.data(), sent_part.size());
                                    return true;
                                  });
  });
}

TestServer& TestServer::RequireBasic(std::string user, std::string password) {
  authentication_ = Authentication::kBasic;
  user_ = std::move(user);
  password_ = std::move(password);
  realm_ = "feedprobe tests";
  return *this;
}

TestServer& TestServer::RequireDigest(std::string user, std::string password, std::string realm) {
  authentication_ = Authentication::kDigest;
  user_ = std::move(user);
  password_ = std::move(password);
  realm_ = std::move(realm);
  unsigned char random[16];
  if (RAND_bytes(random, sizeof random) != 1) throw std::runtime_error("test server: no nonce");
  nonce_ = Hex(random, sizeof random);
  return *this;
}

void TestServer::Start() {
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ < 0) throw std::runtime_error("test server: cannot listen on 127.0.0.1");
  listener_ = std::thread([this] {
    server_->listen_after_bind();
    listener_ended_ = true;
  });
  // stop() only takes effect once the server runs.
  while (!server_->is_running() && !listener_ended_) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

TestServer& TestServer::KeepAliveTimeout(std::chrono::seconds timeout) {
  server_->set_keep_alive_timeout(static_cast<time_t>(timeout.count()));
  return *this;
}

void TestServer::Release() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
  }
  changed_.notify_all();
}

void TestServer::Stop() {
  Release();
  if (listener_.joinable()) {
    server_->stop();
    listener_.join();
  }
}

std::string TestServer::origin() const {
  return std::string(https_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

int TestServer::stalled() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stalled_;
}

bool TestServer::WaitForStalled(int count, std::chrono::milliseconds limit) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, limit, [&] { return stalled_ >= count; });
}

std::vector<ReceivedRequest> TestServer::received() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

httplib::Server::HandlerResponse TestServer::BeforeRouting(const httplib::Request& request,
                                                           httplib::Response& response) {
  ++requests_;
  if (keep_requests_) {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_bodies_[&request] = received_.size();
    received_.push_back({request.method, request.path, request.body,
                         request.get_header_value("Content-Type"),
                         request.get_header_value("Authorization"), request.remote_port,
                         request.target});
  }
  if (Authenticated(request)) return httplib::Server::HandlerResponse::Unhandled;
  response.status = 401;
  if (authentication_ == Authentication::kBasic) {
    response.set_header("WWW-Authenticate", "Basic realm=\"" + realm_ + "\"");
  } else {
    response.set_header(
        "WWW-Authenticate",
        "Digest realm=\"" + realm_ + "\", qop=\"auth\", nonce=\"" + nonce_ + "\", algorithm=MD5");
  }
  response.set_content("authentication required", "text/plain");
  return httplib::Server::HandlerResponse::Handled;
}

bool TestServer::Authenticated(const httplib::Request& request) const {
  const std::string header = request.get_header_value("Authorization");
  switch (authentication_) {
    case Authentication::kNone:
      return true;
    case Authentication::kBasic:
      return header == "Basic " + Base64(user_ + ":" + password_);
    case Authentication::kDigest: {
      if (header.rfind("Digest ", 0) != 0) return false;
      std::map<std::string, std::string> fields = DigestFields(header);
      if (fields["username"] != user_ || fields["realm"] != realm_ || fields["nonce"] != nonce_) {
        return false;
      }
      std::string ha1 = Md5Hex(user_ + ":" + realm_ + ":" + password_);
      std::string ha2 = Md5Hex(request.method + ":" + fields["uri"]);
      std::string expected = fields["qop"].empty()
                                 ? Md5Hex(ha1 + ":" + nonce_ + ":" + ha2)
                                 : Md5Hex(ha1 + ":" + nonce_ + ":" + fields["nc"] + ":" +
                                          fields["cnonce"] + ":" + fields["qop"] + ":" + ha2);
      return fields["response"] == expected;
    }
  }
  return false;
}

void TestServer::StallUntilStopped() {
  std::unique_lock<std::mutex> lock(mutex_);
  ++stalled_;
  changed_.notify_all();
  changed_.wait(lock, [this] { return released_; });
  --stalled_;
}

}  // namespace testing_support
