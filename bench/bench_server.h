// A monitored server for the benchmarks: answers GET /status with a fixed document on
// 127.0.0.1 at a free port, from its own threads, until it is destroyed. Segments go out at
// once (no Nagle delay waiting for the client's delayed acknowledgement of the headers), as
// production web servers send them.
#pragma once

#include <httplib.h>

#include <memory>
#include <string>
#include <thread>

namespace feedprobe_bench {

class BenchServer {
 public:
  explicit BenchServer(std::string body);
  ~BenchServer();
  BenchServer(const BenchServer&) = delete;
  BenchServer& operator=(const BenchServer&) = delete;

  int port() const { return port_; }

 private:
  std::shared_ptr<const std::string> body_;
  httplib::Server server_;
  std::thread listener_;
  int port_ = -1;
};

}  // namespace feedprobe_bench
