// The terminal front-end as a person uses it: a child process whose controlling terminal is a
// pseudo-terminal runs the dialog; the test types into the master side and reads the screen.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "platform/ui/dialog.h"
#include "platform/ui/test_dialog.h"

namespace platform::ui {
namespace {

using Clock = std::chrono::steady_clock;

// What the child reports through a pipe when its dialog has ended.
std::string RunDialogInChild() {
  int help_calls = 0;
  FeedprobeHostWindow host{FEEDPROBE_HOST_WINDOW_MARKER, &help_calls,
                           [](void* context, uint32_t message, uintptr_t, intptr_t) {
                             if (message == FEEDPROBE_HELP_MESSAGE) ++*static_cast<int*>(context);
                             return intptr_t{0};
                           }};
  ui_testing::TestDialog dialog;
  // Twice the size of an 80 × 24 terminal: shown scaled down until the terminal grows.
  const int code = RunDialog(ui_testing::TestTemplate(300, true, 2), &host, dialog.Procedure(), 0);
  std::string report = "end=" + std::to_string(code) + " ticks=";
  for (const std::string& label : dialog.labels_at_ok) report += label + ",";
  report += " sizing=";
  for (const std::string& line : dialog.log) {
    if (line.rfind("sizing ", 0) == 0) report += line.substr(7) + ";";
    if (line.rfind("help ", 0) == 0) report += " help=" + line.substr(5) + " ";
  }
  report += "calls=" + std::to_string(help_calls) +
            " width=" + std::to_string(dialog.window_at_end.width()) +
            " live=" + std::to_string(dialog.live_data);
  return report;
}

// Kills and reaps the child if the test leaves before it has ended.
class ChildGuard {
 public:
  explicit ChildGuard(pid_t pid) : pid_(pid) {}
  ~ChildGuard() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  void Reaped() { pid_ = -1; }

 private:
  pid_t pid_;
};

class PseudoTerminal {
 public:
  ~PseudoTerminal() {
    if (master >= 0) close(master);
  }
  // Reads what the child draws until the text appears, the output has been quiet for
  // quiet_ms, or the time is up. True when the text (if any) was seen.
  bool Read(const std::string& text, int quiet_ms, int limit_ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(limit_ms);
    while (Clock::now() < deadline) {
      if (!text.empty() && screen.find(text) != std::string::npos) return true;
      pollfd poll_fd{master, POLLIN, 0};
      if (poll(&poll_fd, 1, quiet_ms) <= 0) {
        if (text.empty()) return true;
        continue;
      }
      char buffer[4096];
      const ssize_t got = read(master, buffer, sizeof buffer);
      if (got <= 0) return text.empty();
      screen.append(buffer, static_cast<std::size_t>(got));
    }
    return text.empty();
  }
  void Type(const std::string& keys) {
    ASSERT_EQ(write(master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    Read("", 150, 3000);
  }

  int master = -1;
  std::string screen;
};

TEST(TerminalFrontEnd, APersonTicksTwoCountersResizesAndPressesEnter) {
  int report_pipe[2];
  ASSERT_EQ(pipe(report_pipe), 0);
  PseudoTerminal terminal;
  winsize size{24, 80, 0, 0};
  const pid_t child = forkpty(&terminal.master, nullptr, nullptr, &size);
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The pseudo-terminal is this process's controlling terminal, so /dev/tty is its slave.
    close(report_pipe[0]);
    setenv("TERM", "xterm", 1);
    setenv("FEEDPROBE_UI", "terminal", 1);
    std::string report;
    try {
      report = RunDialogInChild();
    } catch (...) {
      report = "exception";
    }
    if (write(report_pipe[1], report.data(), report.size()) < 0) _exit(2);
    _exit(0);
  }
  close(report_pipe[1]);
  ChildGuard guard(child);

  EXPECT_TRUE(terminal.Read("Terminal Test", 0, 10000)) << terminal.screen;
  EXPECT_TRUE(terminal.Read("Root", 0, 10000)) << terminal.screen;
  const std::string down = "\033OB", tab = "\t";
  // Tree: Root, A, B (the list fills with B's counters); list: alpha ticked, zeta ticked.
  for (const std::string& keys :
       {down, down, down, tab, down, std::string(" "), down, down, std::string(" ")}) {
    terminal.Type(keys);
  }
  winsize larger{50, 160, 0, 0};
  ASSERT_EQ(ioctl(terminal.master, TIOCSWINSZ, &larger), 0);
  terminal.Read("", 300, 3000);
  terminal.Type("\033OP");  // F1 with the focus on the list
  terminal.Type("\r");

  // The child ends; it is killed if it does not within the time.
  int status = 0;
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  pid_t ended = 0;
  while ((ended = waitpid(child, &status, WNOHANG)) == 0 && Clock::now() < deadline) {
    terminal.Read("", 50, 100);
  }
  if (ended == 0) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    ADD_FAILURE() << "the dialog did not end; screen:\n" << terminal.screen;
  }
  guard.Reaped();
  std::string report;
  char buffer[1024];
  for (ssize_t got; (got = read(report_pipe[0], buffer, sizeof buffer)) > 0;) {
    report.append(buffer, static_cast<std::size_t>(got));
  }
  close(report_pipe[0]);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  // 80 × 24 cells offer 480 × 312 pixels (snapped back to the created size), 160 × 50 offer
  // 960 × 650, which the dialog takes.
  EXPECT_EQ(report,
            "end=1 ticks=alpha 2000,Mid 1000,zeta 2000, sizing=0,0,480,312;0,0,960,650; help=11 "
            "calls=1 width=960 live=0");
}

}  // namespace
}  // namespace platform::ui
