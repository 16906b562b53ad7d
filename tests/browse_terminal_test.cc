// A person browsing in a terminal: a child process whose controlling terminal is a
// pseudo-terminal opens the browse dialog of a staged copy; the test types the keys.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "support/monitor_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kList = R"(<PerformanceMonitor>
  <object class="Pool" name="B"><counter name="x"/><counter name="w"/></object>
  <object class="Pool" name="A"><counter name="y"/></object>
</PerformanceMonitor>)";

// The chosen counters' display paths, one per line.
std::string BrowseInChild(testing_support::MonitorFixture& fixture) {
  BrowsedMeasurement* measurements = nullptr;
  int32_t count = 0;
  char text[512] = {};
  int32_t result = fixture.plugin().Get<decltype(::BrowseMonitorExBiggerDesc)>(
      "BrowseMonitorExBiggerDesc")(nullptr, fixture.host().c_str(), &measurements, &count, text,
                                   sizeof text);
  std::string report = "result=" + std::to_string(result) + "\n";
  for (int32_t i = 0; i < count; ++i) report += std::string(measurements[i].display_path) + "\n";
  std::free(measurements);
  return report;
}

std::string ReadAll(int fd) {
  std::string out;
  char buffer[1024];
  for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) out.append(buffer, got);
  return out;
}

TEST(BrowseInATerminal, MoveToAComponentTickTwoCountersAndPressEnter) {
  testing_support::MonitorFixture fixture;
  fixture.ServeSample(kList);
  ASSERT_EQ(fixture.Start(), 0);
  int report_pipe[2];
  ASSERT_EQ(pipe(report_pipe), 0);
  int master = -1;
  winsize size{24, 80, 0, 0};
  pid_t child = forkpty(&master, nullptr, nullptr, &size);
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(report_pipe[0]);
    setenv("TERM", "xterm", 1);
    setenv("FEEDPROBE_UI", "terminal", 1);
    std::string report = BrowseInChild(fixture);
    if (write(report_pipe[1], report.data(), report.size()) < 0) _exit(2);
    _exit(0);
  }
  close(report_pipe[1]);

  std::string screen;
  auto read_until = [&](const std::string& text, int limit_ms) {
    auto deadline = Clock::now() + std::chrono::milliseconds(limit_ms);
    while (Clock::now() < deadline) {
      if (!text.empty() && screen.find(text) != std::string::npos) return true;
      pollfd poll_fd{master, POLLIN, 0};
      if (poll(&poll_fd, 1, 100) <= 0) {
        if (text.empty()) return true;
        continue;
      }
      char buffer[4096];
      ssize_t got = read(master, buffer, sizeof buffer);
      if (got <= 0) break;
      screen.append(buffer, static_cast<size_t>(got));
    }
    return text.empty();
  };
  auto type = [&](const std::string& keys) {
    ASSERT_EQ(write(master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    read_until("", 300);
  };

  EXPECT_TRUE(read_until("Performance Data Root", 15000)) << screen;
  const std::string down = "\033OB";
  // Tree: the root, then Pool "B"; its counters w and x appear in the list, both ticked.
  for (const std::string& keys : {down, down, std::string("\t"), down, std::string(" "), down,
                                  std::string(" "), std::string("\r")})
    type(keys);

  int status = 0;
  pid_t ended = 0;
  auto deadline = Clock::now() + std::chrono::seconds(20);
  while ((ended = waitpid(child, &status, WNOHANG)) == 0 && Clock::now() < deadline)
    read_until("", 100);
  if (ended == 0) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    ADD_FAILURE() << "the dialog did not end; screen:\n" << screen;
  }
  std::string report = ReadAll(report_pipe[0]);
  close(report_pipe[0]);
  close(master);
  EXPECT_EQ(report, "result=0\n/B/w\n/B/x\n");
}

}  // namespace
