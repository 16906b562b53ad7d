// A real HTTP or HTTPS server on 127.0.0.1 with an ephemeral port, for tests. Routes and
// behaviours are set up first, then Start() listens; Stop() (or the destructor) releases
// stalled requests, stops listening and joins every thread of the server. A kept-alive
// connection that its client leaves open holds Stop up for at most the keep-alive time-out
// (5 s unless set), so close the clients first.
//
// It counts requests and accepted TCP connections, can demand Basic or Digest authentication
// of every request, and offers the misbehaviours of broken servers: a request that stalls
// without an answer, a body cut off by closing the connection, redirects.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

// Certificate and key of an HTTPS server; a non-empty client_authority (a PEM file) makes the
// server demand a client certificate signed by it.
struct TlsServerSetup {
  std::string certificate;
  std::string key;
  std::string client_authority;
};

// What the server received, for assertions.
struct ReceivedRequest {
  std::string method;
  std::string path;  // without the query
  std::string body;
  std::string content_type;
  std::string authorization;
  int remote_port = 0;
  std::string target;  // path with the query, as sent
};

class TestServer {
 public:
  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

  TestServer();                                    // HTTP
  explicit TestServer(const TlsServerSetup& tls);  // HTTPS; throws when the files are unusable
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  // Routes (before Start). A pattern is a regular expression over the path.
  TestServer& Get(const std::string& pattern, Handler handler);
  TestServer& Post(const std::string& pattern, Handler handler);
  // Answers GET with this status and body.
  TestServer& Reply(const std::string& pattern, int status, std::string body,
                    std::string content_type = "text/plain");
  // GET and POST get a redirect to location.
  TestServer& Redirect(const std::string& pattern, std::string location, int status = 302);
  // GET and POST are accepted and not answered (an empty 200 page) until Release or Stop.
  TestServer& Stall(const std::string& pattern);
  // GET announces declared_length bytes, sends sent_part, then closes the connection.
  TestServer& CloseMidBody(const std::string& pattern, std::string sent_part,
                           size_t declared_length);

  // Every request must authenticate with these credentials (before Start).
  TestServer& RequireBasic(std::string user, std::string password);
  TestServer& RequireDigest(std::string user, std::string password,
                            std::string realm = "feedprobe tests");

  // How long an idle kept-alive connection stays open (before Start).
  TestServer& KeepAliveTimeout(std::chrono::seconds timeout);

  // Whether received() keeps every request (before Start); a long run turns it off so that
  // its memory stays flat. The counts go on.
  TestServer& KeepRequests(bool keep) {
    keep_requests_ = keep;
    return *this;
  }

  // Listens on 127.0.0.1 at a free port; throws when it cannot.
  void Start();
  // Lets stalled requests, present and future, be answered.
  void Release();
  void Stop();

  int port() const { return port_; }
  // "http://127.0.0.1:<port>" or "https://..."
  std::string origin() const;

  int requests() const { return requests_.load(); }
  int connections() const { return connections_.load(); }
  int stalled() const;
  // Waits until at least count requests are stalled; false after the time limit.
  bool WaitForStalled(int count, std::chrono::milliseconds limit) const;
  std::vector<ReceivedRequest> received() const;

 private:
  class CountingQueue;
  enum class Authentication { kNone, kBasic, kDigest };

  void Configure();
  httplib::Server::HandlerResponse BeforeRouting(const httplib::Request& request,
                                                 httplib::Response& response);
  bool Authenticated(const httplib::Request& request) const;
  void StallUntilStopped();

  std::unique_ptr<httplib::Server> server_;
  bool https_ = false;
  std::thread listener_;
  std::atomic<bool> listener_ended_{false};
  int port_ = -1;

  Authentication authentication_ = Authentication::kNone;
  std::string user_, password_, realm_, nonce_;

  bool keep_requests_ = true;
  std::atomic<int> requests_{0};
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool released_ = false;
  int stalled_ = 0;
  std::vector<ReceivedRequest> received_;
  std::map<const httplib::Request*, size_t> pending_bodies_;
};

}  // namespace testing_support
