#include "bench_server.h"

#include <chrono>
#include <stdexcept>

namespace feedprobe_bench {

BenchServer::BenchServer(std::string body)
    : body_(std::make_shared<const std::string>(std::move(body))) {
  server_.set_tcp_nodelay(true);
  server_.new_task_queue = [] { return new httplib::ThreadPool(2); };
  std::shared_ptr<const std::string> content = body_;
  server_.Get("/status", [content](const httplib::Request&, httplib::Response& response) {
    response.set_content(*content, "text/xml");
  });
  port_ = server_.bind_to_any_port("127.0.0.1");
  if (port_ < 0) throw std::runtime_error("bench server: cannot listen on 127.0.0.1");
  listener_ = std::thread([this] { server_.listen_after_bind(); });
  while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

BenchServer::~BenchServer() {
  server_.stop();
  listener_.join();
}

}  // namespace feedprobe_bench
