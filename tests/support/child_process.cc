#include "support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace testing_support {
namespace {

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

int ExitCode(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::map<std::string, std::string>& environment) {
  std::string pattern = (std::filesystem::temp_directory_path() / "feedprobe-child-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  folder_ = pattern;

  std::map<std::string, std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string text = *entry;
    size_t equals = text.find('=');
    if (equals != std::string::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
  }
  for (const auto& [name, value] : environment) {
    if (value.empty()) variables.erase(name);
    else variables[name] = value;
  }
  std::vector<std::string> env_texts;
  for (const auto& [name, value] : variables) env_texts.push_back(name + "=" + value);
  std::vector<char*> env_pointers;
  for (std::string& text : env_texts) env_pointers.push_back(text.data());
  env_pointers.push_back(nullptr);
  std::vector<std::string> args = argv;
  std::vector<char*> arg_pointers;
  for (std::string& arg : args) arg_pointers.push_back(arg.data());
  arg_pointers.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, (folder_ + "/out").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, (folder_ + "/err").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  int failed = posix_spawn(&pid_, args[0].c_str(), &actions, nullptr, arg_pointers.data(),
                           env_pointers.data());
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) {
    std::filesystem::remove_all(folder_);
    throw std::runtime_error("cannot start " + args[0]);
  }
}

ChildProcess::~ChildProcess() {
  if (!exit_code_) Stop(SIGTERM);
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds limit) {
  auto until = std::chrono::steady_clock::now() + limit;
  while (!exit_code_) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      exit_code_ = ExitCode(status);
      break;
    }
    if (std::chrono::steady_clock::now() >= until) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return exit_code_;
}

int ChildProcess::Stop(int signal_number, std::chrono::milliseconds limit) {
  if (exit_code_) return *exit_code_;
  kill(pid_, signal_number);
  if (Wait(limit)) return *exit_code_;
  kill(pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
  exit_code_ = ExitCode(status);
  return *exit_code_;
}

std::string ChildProcess::out() const { return Contents(folder_ + "/out"); }
std::string ChildProcess::err() const { return Contents(folder_ + "/err"); }

std::optional<std::string> ChildProcess::WaitForLine(const std::string& prefix,
                                                     std::chrono::milliseconds limit) {
  auto until = std::chrono::steady_clock::now() + limit;
  for (;;) {
    std::istringstream lines(out());
    std::string line;
    // Only whole lines count: the child may be writing the last one.
    while (std::getline(lines, line) && !lines.eof()) {
      if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
    }
    if (Wait(std::chrono::milliseconds(0)) || std::chrono::steady_clock::now() >= until) {
      return std::nullopt;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

ProgramResult RunProgram(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& environment,
                         std::chrono::milliseconds limit) {
  ChildProcess child(argv, environment);
  ProgramResult result;
  std::optional<int> code = child.Wait(limit);
  if (!code) child.Stop(SIGKILL);
  result.exit_code = code.value_or(-1);
  result.out = child.out();
  result.err = child.err();
  return result;
}

}  // namespace testing_support
