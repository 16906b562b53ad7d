// Monitored servers for the many-hosts benchmark, in a process of their own so that their
// work is not counted as the plug-in's: bench_servers COUNT VALUES PORT_FILE STOP_FILE starts
// COUNT servers on 127.0.0.1 serving a status document of VALUES values at /status, writes
// their ports to PORT_FILE (one a line) and ends, stopping them, once STOP_FILE exists.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench_server.h"
#include "documents.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: bench_servers COUNT VALUES PORT_FILE STOP_FILE\n");
    return 2;
  }
  int count = std::stoi(argv[1]);
  int values = std::stoi(argv[2]);
  std::string port_file = argv[3];
  std::string stop_file = argv[4];
  std::vector<std::unique_ptr<feedprobe_bench::BenchServer>> servers;
  std::string ports;
  for (int i = 0; i < count; ++i) {
    auto server = std::make_unique<feedprobe_bench::BenchServer>(
        feedprobe_bench::StatusDocument(values, i + 1));
    ports += std::to_string(server->port()) + "\n";
    servers.push_back(std::move(server));
  }
  {
    std::ofstream(port_file + ".part") << ports;
  }
  std::filesystem::rename(port_file + ".part", port_file);
  // Bounded, so that a benchmark that died cannot leave the servers running.
  for (int waited = 0; !std::filesystem::exists(stop_file) && waited < 3600 * 10; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  servers.clear();
  return 0;
}
