#include "metrics_server.h"

#include <cstdlib>

#include "errors.h"

namespace fphost {

MetricsServer::MetricsServer(const std::string& listen) {
  size_t colon = listen.rfind(':');
  if (colon == std::string::npos || colon == 0) {
    throw UsageError("--listen needs ADDRESS:PORT, such as 127.0.0.1:9464");
  }
  address_ = listen.substr(0, colon);
  if (address_.size() > 2 && address_.front() == '[' && address_.back() == ']') {
    address_ = address_.substr(1, address_.size() - 2);
  }
  std::string port_text = listen.substr(colon + 1);
  char* end = nullptr;
  long port = std::strtol(port_text.c_str(), &end, 10);
  if (port_text.empty() || *end != '\0' || port < 0 || port > 65535) {
    throw UsageError("--listen has no valid port: " + listen);
  }
  server_.Get("/metrics", [this](const httplib::Request&, httplib::Response& response) {
    std::lock_guard<std::mutex> lock(mutex_);
    response.set_content(exposition_, "text/plain; version=0.0.4; charset=utf-8");
  });
  server_.Get("/", [](const httplib::Request&, httplib::Response& response) {
    response.set_content("feedprobe-host: the metrics are on /metrics\n", "text/plain");
  });
  port_ = port == 0 ? server_.bind_to_any_port(address_) : static_cast<int>(port);
  bool bound = port == 0 ? port_ > 0 : server_.bind_to_port(address_, port_);
  if (!bound) throw HostError("cannot listen on " + listen);
  thread_ = std::thread([this] { server_.listen_after_bind(); });
}

MetricsServer::~MetricsServer() {
  server_.stop();
  if (thread_.joinable()) thread_.join();
}

std::string MetricsServer::url() const {
  std::string host = address_.find(':') != std::string::npos ? "[" + address_ + "]" : address_;
  return "http://" + host + ":" + std::to_string(port_) + "/metrics";
}

void MetricsServer::Publish(std::string exposition) {
  std::lock_guard<std::mutex> lock(mutex_);
  exposition_ = std::move(exposition);
}

}  // namespace fphost
