#include "platform/os/process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace platform {

std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> arguments;
  std::string current;
  bool in_argument = false, quoted = false;
  size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    if (!quoted && (c == ' ' || c == '\t')) {
      if (in_argument) arguments.push_back(current);
      current.clear();
      in_argument = false;
      ++i;
      continue;
    }
    in_argument = true;
    if (c == '\\') {
      size_t backslashes = 0;
      while (i < line.size() && line[i] == '\\') ++backslashes, ++i;
      if (i < line.size() && line[i] == '"') {
        current.append(backslashes / 2, '\\');
        if (backslashes % 2 == 1) {
          current += '"';
          ++i;
        }
      } else {
        current.append(backslashes, '\\');
      }
      continue;
    }
    if (c == '"') {
      if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
        current += '"';
        i += 2;
        continue;
      }
      quoted = !quoted;
      ++i;
      continue;
    }
    current += c;
    ++i;
  }
  if (in_argument) arguments.push_back(current);
  return arguments;
}

std::unique_ptr<Process> Process::Start(const std::string& command_line,
                                        const std::string& working_folder, std::string* error) {
  std::vector<std::string> arguments = SplitCommandLine(command_line);
  if (arguments.empty()) {
    if (error) *error = "empty command line";
    return nullptr;
  }
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!working_folder.empty())
    posix_spawn_file_actions_addchdir_np(&actions, working_folder.c_str());
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    if (error) *error = std::strerror(rc);
    return nullptr;
  }
  // A program that cannot be executed (or a folder that does not exist) ends at once with 127.
  return std::unique_ptr<Process>(new Process(pid));
}

Process::~Process() {
  if (reaped_) return;
  pid_t pid = pid_;
  int status = 0;
  if (waitpid(pid, &status, WNOHANG) == pid) return;
  std::thread([pid] {
    int ignored = 0;
    while (waitpid(pid, &ignored, 0) < 0 && errno == EINTR) {
    }
  }).detach();
}

bool Process::Wait(uint32_t timeout_ms, int* exit_code) {
  if (reaped_) return true;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    int status = 0;
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      reaped_ = true;
      if (exit_code)
        *exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return true;
    }
    if (done < 0 && errno != EINTR) return false;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void Process::Kill() {
  if (reaped_) return;
  kill(pid_, SIGKILL);
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  reaped_ = true;
}

}  // namespace platform
