// Starting programs. A command line is split into arguments by the Windows quoting rules
// and handed to the program directly, never to a shell.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Splits a command line: blanks separate arguments; "..." quotes; 2n backslashes before a
// quotation mark give n backslashes and the mark quotes, 2n+1 give n backslashes and a literal
// mark; "" inside quotes is a literal mark; other backslashes are literal.
std::vector<std::string> SplitCommandLine(const std::string& command_line);

class Process {
 public:
  // Starts the command line's program (looked up on PATH when it has no "/") in the folder;
  // none with the reason in error when it cannot be started.
  static std::unique_ptr<Process> Start(const std::string& command_line,
                                        const std::string& working_folder, std::string* error);
  // A process that was not waited for is reaped in the background when it ends.
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // True when the process ended within the time; exit_code receives its code (128 + signal
  // number for a process ended by a signal).
  bool Wait(uint32_t timeout_ms, int* exit_code);
  // Ends the process (SIGKILL) and reaps it.
  void Kill();
  pid_t pid() const { return pid_; }

 private:
  explicit Process(pid_t pid) : pid_(pid) {}
  pid_t pid_;
  bool reaped_ = false;
};

}  // namespace platform
