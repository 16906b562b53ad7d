// The HTTP side of serve: answers GET /metrics with the latest exposition text. The text is
// published by the polling thread; the server's threads only read it, under a lock.
#pragma once

#include <httplib.h>

#include <mutex>
#include <string>
#include <thread>

namespace fphost {

class MetricsServer {
 public:
  // Binds ADDRESS:PORT (port 0: any free port); HostError when it cannot.
  explicit MetricsServer(const std::string& listen);
  ~MetricsServer();  // stops listening and joins the server thread
  MetricsServer(const MetricsServer&) = delete;
  MetricsServer& operator=(const MetricsServer&) = delete;

  std::string url() const;
  void Publish(std::string exposition);

 private:
  httplib::Server server_;
  std::string address_;
  int port_ = 0;
  mutable std::mutex mutex_;
  std::string exposition_;
  std::thread thread_;
};

}  // namespace fphost
