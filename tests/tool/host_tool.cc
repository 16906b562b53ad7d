#include "tool/host_tool.h"

#include <stdexcept>

namespace testing_support {

std::string HostToolPath() { return std::string(FEEDPROBE_STAGE_DIR) + "/bin/feedprobe-host"; }

std::map<std::string, std::string> HostToolEnvironment(
    const std::map<std::string, std::string>& extra) {
  std::map<std::string, std::string> environment = {{"FEEDPROBE_PROGRAM_DIR", ""},
                                                     {"FEEDPROBE_PASSWORD", ""}};
  for (const auto& [name, value] : extra) environment[name] = value;
  return environment;
}

ProgramResult RunHostTool(const std::vector<std::string>& args,
                          const std::map<std::string, std::string>& extra_environment) {
  std::vector<std::string> argv = {HostToolPath()};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProgram(argv, HostToolEnvironment(extra_environment));
}

DemoServer::DemoServer()
    : process_(std::make_unique<ChildProcess>(std::vector<std::string>{
          FEEDPROBE_DEMO_SERVER, "--listen", "127.0.0.1:0", "--user", "demo", "--password",
          "demo"})) {
  std::optional<std::string> address =
      process_->WaitForLine("listening on ", std::chrono::seconds(20));
  if (!address) throw std::runtime_error("the demo server did not start: " + process_->err());
  address_ = *address;
}

}  // namespace testing_support
