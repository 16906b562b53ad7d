// Running the staged feedprobe-host and the demo server as child processes.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"

namespace testing_support {

// build/stage/bin/feedprobe-host
std::string HostToolPath();

// The environment of a host tool run: its own program folder (no FEEDPROBE_PROGRAM_DIR) and
// no password from the test's environment; `extra` adds to it.
std::map<std::string, std::string> HostToolEnvironment(
    const std::map<std::string, std::string>& extra = {});

// feedprobe-host with these arguments, run to its end.
ProgramResult RunHostTool(const std::vector<std::string>& args,
                          const std::map<std::string, std::string>& extra_environment = {});

// The demo server on a free port of 127.0.0.1, user "demo" with password "demo".
class DemoServer {
 public:
  DemoServer();
  const std::string& address() const { return address_; }  // "127.0.0.1:<port>"
  void Stop() { process_.reset(); }

 private:
  std::unique_ptr<ChildProcess> process_;
  std::string address_;
};

}  // namespace testing_support
