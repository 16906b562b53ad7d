// The demo server: a stand-in for Apache Tomcat's manager status page. It serves
// /manager/status?XML=true in Tomcat's format, behind Basic authentication, with memory, pool,
// thread and request figures that move over time, so that feedprobe's tomcat monitor type can
// be tried without a Tomcat installation.
//
//   feedprobe-demo-server [--listen 127.0.0.1:PORT] [--user NAME] [--password TEXT]
//
// Port 0 (the default) takes a free port; the first line on standard output says which.
// SIGINT or SIGTERM stops the server.
#include <httplib.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

namespace {

std::string Base64(const std::string& text) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < text.size(); i += 3) {
    unsigned n = (static_cast<unsigned char>(text[i]) << 16) |
                 (static_cast<unsigned char>(text[i + 1]) << 8) |
                 static_cast<unsigned char>(text[i + 2]);
    for (int shift = 18; shift >= 0; shift -= 6) out += kAlphabet[(n >> shift) & 63];
  }
  if (i < text.size()) {
    unsigned n = static_cast<unsigned char>(text[i]) << 16;
    if (i + 1 < text.size()) n |= static_cast<unsigned char>(text[i + 1]) << 8;
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += i + 1 < text.size() ? kAlphabet[(n >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

constexpr double kMiB = 1024.0 * 1024.0;

// Figures at t seconds after the start; every status request counts as a served request.
std::string StatusDocument(double t, long requests) {
  auto wave = [t](double period, double phase = 0) {
    return 0.5 + 0.5 * std::sin(2 * M_PI * t / period + phase);
  };
  auto bytes = [](double value) { return std::to_string(static_cast<long long>(value)); };
  double max = 512 * kMiB;
  double total = 256 * kMiB + 64 * kMiB * wave(60);
  double used = 64 * kMiB + 96 * kMiB * wave(17);
  std::ostringstream out;
  out << "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
         "<?xml-stylesheet type=\"text/xsl\" href=\"/manager/xform.xsl\" ?>\n"
      << "<status><jvm><memory free='" << bytes(total - used) << "' total='" << bytes(total)
      << "' max='" << bytes(max) << "'/>";
  struct Pool {
    const char* name;
    const char* type;
    double size;
    double period;
  };
  // Tomcat writes apostrophes in pool names as &apos; inside apostrophe-quoted attributes.
  const Pool pools[] = {{"G1 Eden Space", "Heap memory", 48 * kMiB, 9},
                        {"G1 Old Gen", "Heap memory", 160 * kMiB, 45},
                        {"G1 Survivor Space", "Heap memory", 8 * kMiB, 13},
                        {"CodeHeap &apos;non-nmethods&apos;", "Non-heap memory", 2.4 * kMiB, 120},
                        {"Metaspace", "Non-heap memory", 24 * kMiB, 240}};
  for (const Pool& pool : pools) {
    out << "<memorypool name='" << pool.name << "' type='" << pool.type << "' usageInit='"
        << bytes(pool.size / 4) << "' usageCommitted='" << bytes(pool.size) << "' usageMax='"
        << (std::string(pool.type) == "Heap memory" ? bytes(max) : "-1") << "' usageUsed='"
        << bytes(pool.size * (0.2 + 0.7 * wave(pool.period))) << "'/>";
  }
  out << "</jvm>";
  // Connector names carry quotation marks inside the attribute, as Tomcat's do.
  struct Connector {
    const char* name;
    double load;
  };
  const Connector connectors[] = {{"&quot;http-nio-8080&quot;", 1.0},
                                  {"&quot;ajp-nio-127.0.0.1-8009&quot;", 0.25}};
  for (const Connector& connector : connectors) {
    double served = connector.load * (40 * t + 10 * std::sin(t / 5)) + requests;
    out << "<connector name='" << connector.name << "'><threadInfo  maxThreads=\"200\" "
        << "currentThreadCount=\"" << 10 + static_cast<int>(15 * connector.load * wave(30))
        << "\" currentThreadsBusy=\"" << static_cast<int>(12 * connector.load * wave(7, 1))
        << "\" /><requestInfo  maxTime=\"" << 250 + static_cast<int>(t) % 500
        << "\" processingTime=\"" << bytes(served * 12.5) << "\" requestCount=\""
        << bytes(served) << "\" errorCount=\"" << bytes(served / 97) << "\" bytesReceived=\""
        << bytes(served * 310) << "\" bytesSent=\"" << bytes(served * 5120)
        << "\" /><workers></workers></connector>";
  }
  out << "</status>\n";
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  std::string listen = "127.0.0.1:0", user = "demo", password = "demo";
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if ((arg == "--listen" || arg == "--user" || arg == "--password") && i + 1 < argc) {
      (arg == "--listen" ? listen : arg == "--user" ? user : password) = argv[++i];
    } else {
      std::cerr << "usage: feedprobe-demo-server [--listen 127.0.0.1:PORT] [--user NAME] "
                   "[--password TEXT]\n";
      return 2;
    }
  }
  size_t colon = listen.rfind(':');
  if (colon == std::string::npos) {
    std::cerr << "feedprobe-demo-server: --listen needs ADDRESS:PORT\n";
    return 2;
  }
  std::string address = listen.substr(0, colon);
  int port = std::atoi(listen.c_str() + colon + 1);

  // The signals are taken by sigwait below, never by a handler in another thread.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  const auto start = std::chrono::steady_clock::now();
  std::atomic<long> requests{0};
  const std::string expected = "Basic " + Base64(user + ":" + password);
  httplib::Server server;
  server.Get("/manager/status", [&](const httplib::Request& request, httplib::Response& response) {
    if (request.get_header_value("Authorization") != expected) {
      response.status = 401;
      response.set_header("WWW-Authenticate", "Basic realm=\"Tomcat Manager Application\"");
      response.set_content("401 Unauthorized\n", "text/plain");
      return;
    }
    if (request.get_param_value("XML") != "true") {
      response.set_content("This demo serves the XML status page only: /manager/status?XML=true\n",
                           "text/plain");
      return;
    }
    double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    response.set_content(StatusDocument(t, ++requests), "text/xml;charset=utf-8");
  });

  int bound = port == 0 ? server.bind_to_any_port(address) : (server.bind_to_port(address, port) ? port : -1);
  if (bound <= 0) {
    std::cerr << "feedprobe-demo-server: cannot listen on " << listen << '\n';
    return 1;
  }
  std::cout << "listening on " << address << ":" << bound << std::endl;
  std::thread listener([&server] { server.listen_after_bind(); });
  int signal_number = 0;
  sigwait(&stop_signals, &signal_number);
  server.stop();
  listener.join();
  return 0;
}
