// A program run by a test as a child process: its standard output and error go to files of
// its own (so a chatty child never blocks on a full pipe), it can be waited for with a limit,
// and the destructor ends it (SIGTERM, then SIGKILL after a grace period) and reaps it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

class ChildProcess {
 public:
  // Starts argv[0] (a path) with the test's environment changed by `environment` (an empty
  // value removes the variable). Throws when it cannot be started.
  explicit ChildProcess(const std::vector<std::string>& argv,
                        const std::map<std::string, std::string>& environment = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The exit code once the child ended by itself within the limit (128 + signal number when a
  // signal ended it); nothing when it still runs.
  std::optional<int> Wait(std::chrono::milliseconds limit);
  // Sends the signal and waits up to the limit; SIGKILL after that.
  int Stop(int signal_number, std::chrono::milliseconds limit = std::chrono::seconds(20));

  std::string out() const;
  std::string err() const;
  // Waits until standard output holds a line starting with the prefix; the rest of that line,
  // or nothing when the limit passes or the child ends first.
  std::optional<std::string> WaitForLine(const std::string& prefix, std::chrono::milliseconds limit);

 private:
  std::string folder_;
  pid_t pid_ = -1;
  std::optional<int> exit_code_;
};

struct ProgramResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};

// Runs a program to its end; a program still running after the limit is killed and the test
// gets exit code -1.
ProgramResult RunProgram(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& environment = {},
                         std::chrono::milliseconds limit = std::chrono::seconds(90));

}  // namespace testing_support
