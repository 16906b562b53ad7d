// Failures that end a subcommand: the text goes to standard error, the code is the exit code.
#pragma once

#include <stdexcept>
#include <string>

namespace fphost {

// A failure of the plug-in or of the environment (exit code 1 unless given).
class HostError : public std::runtime_error {
 public:
  explicit HostError(const std::string& text, int exit_code = 1)
      : std::runtime_error(text), exit_code_(exit_code) {}
  int exit_code() const { return exit_code_; }

 private:
  int exit_code_;
};

// A command line that cannot be understood (exit code 2).
class UsageError : public HostError {
 public:
  explicit UsageError(const std::string& text) : HostError(text, 2) {}
};

}  // namespace fphost
