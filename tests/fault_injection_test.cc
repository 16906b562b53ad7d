// Servers on 127.0.0.1 that misbehave on purpose, through the exported functions of a staged
// copy. Each case ends with the host holding a catalogue text, the process going on, and no
// file descriptor left open once the copy is terminated.
#include <dirent.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/monitor_fixture.h"

using testing_support::FreePort;
using testing_support::kHeapId;
using testing_support::OpenDescriptors;
using testing_support::kSampleList;
using testing_support::MonitorFixture;
using testing_support::SampleData;
using testing_support::TestServer;

namespace {


// Polls GetNewData until the host gets a value (0) or a failure text (2); -1 after the limit.
int32_t WaitForOutcome(MonitorFixture& fixture, const std::string& id, const std::string& host,
                       std::string* text, int limit_ms = 20000) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
  while (std::chrono::steady_clock::now() < deadline) {
    SampleRecord record{};
    int32_t result = fixture.NewData(id, host, &record, text);
    if (result == 0 || (result == 2 && !text->empty())) return result;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  return -1;
}

bool WaitForFailureText(MonitorFixture& fixture, const std::string& id, const std::string& host,
                        std::string* text) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline)
    if (WaitForOutcome(fixture, id, host, text) == 2) return true;
  return false;
}

// Compares the open descriptors of the process before a case and after its copy of the
// plug-in and its servers are gone. One good round first opens what libraries keep open for
// the life of the process, so that it does not count against the case.
class FaultInjection : public testing::Test {
 protected:
  void SetUp() override {
    static bool warmed_up = [] {
      MonitorFixture fixture;
      fixture.ServeSample();
      SampleRecord record{};
      if (fixture.Start("SamplingRate=100\n") == 0 && fixture.Activate(kHeapId, fixture.host()) == 0)
        fixture.WaitForValue(kHeapId, fixture.host(), &record);
      return true;
    }();
    (void)warmed_up;
    descriptors_before_ = OpenDescriptors();
  }
  void TearDown() override { EXPECT_EQ(OpenDescriptors(), descriptors_before_); }

 private:
  int descriptors_before_ = 0;
};

// A sound metric data document of about this size: the sample's counters after many
// counters with long descriptions.
std::string LargeDocument(size_t bytes) {
  std::string document = "<PerformanceMonitor><object name=\"JVM\">";
  const std::string filler = "<counter name=\"Filler\" val=\"1\" desc=\"" +
                             std::string(1000, 'd') + "\"/>";
  while (document.size() < bytes) document += filler;
  return document + "<counter name=\"Heap\" class=\"Memory\" val=\"12.5\"/></object>"
                    "</PerformanceMonitor>";
}

struct BrokenData {
  const char* name;
  std::function<void(TestServer&)> serve;
  bool sound;  // a large but sound document: its value or a text
};

TEST_F(FaultInjection, BrokenDataAnswersReachTheHostAsTexts) {
  std::string sample = SampleData("12.5", "3");
  const BrokenData cases[] = {
      {"close mid-body",
       [&](TestServer& s) { s.CloseMidBody("/data", sample.substr(0, 40), sample.size() + 100); },
       false},
      {"status 500", [](TestServer& s) { s.Reply("/data", 500, "down", "text/plain"); }, false},
      {"HTML page",
       [](TestServer& s) {
         s.Reply("/data", 200, "<html><body><p>Maintenance<br></body></html>", "text/html");
       },
       false},
      {"truncated XML",
       [&](TestServer& s) { s.Reply("/data", 200, sample.substr(0, sample.size() / 2), "text/xml"); },
       false},
      {"invalid UTF-8",
       [](TestServer& s) {
         s.Reply("/data", 200, "<PerformanceMonitor name=\"\xff\xfe\xc3\"/>", "text/xml");
       },
       false},
      {"redirect loop", [](TestServer& s) { s.Redirect("/data", "/data"); }, false},
      {"50 MB document",
       [](TestServer& s) { s.Reply("/data", 200, LargeDocument(50u << 20), "text/xml"); }, true},
  };
  for (const BrokenData& c : cases) {
    SCOPED_TRACE(c.name);
    MonitorFixture fixture;
    fixture.server().Reply("/list", 200, kSampleList, "text/xml");
    c.serve(fixture.server());
    ASSERT_EQ(fixture.Start("SamplingRate=100\n"), 0);
    std::string text;
    ASSERT_EQ(fixture.Activate(kHeapId, fixture.host(), nullptr, &text), 0) << text;
    if (c.sound) {
      // The engine's safety limits (no XML_PARSE_HUGE) may refuse it; then with a text.
      int32_t outcome = WaitForOutcome(fixture, kHeapId, fixture.host(), &text, 30000);
      EXPECT_TRUE(outcome == 0 || outcome == 2) << outcome;
    } else {
      EXPECT_TRUE(WaitForFailureText(fixture, kHeapId, fixture.host(), &text));
    }
    EXPECT_EQ(fixture.Deactivate(kHeapId, fixture.host(), &text), 0) << text;
  }
}

// The data route fails for a while, as a restarting server does, then serves again.
TEST_F(FaultInjection, ValuesResumeAfterTheServerComesBack) {
  MonitorFixture fixture;
  auto down = std::make_shared<std::atomic<bool>>(false);
  fixture.server().Reply("/list", 200, kSampleList, "text/xml");
  fixture.server().Get("/data", [down](const httplib::Request&, httplib::Response& response) {
    if (*down) {
      response.status = 503;
      response.set_content("restarting", "text/plain");
    } else {
      response.set_content(SampleData("12.5", "3"), "text/xml");
    }
  });
  ASSERT_EQ(fixture.Start("SamplingRate=100\n"), 0);
  ASSERT_EQ(fixture.Activate(kHeapId, fixture.host()), 0);
  SampleRecord record{};
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    ASSERT_EQ(fixture.WaitForValue(kHeapId, fixture.host(), &record), 0);
    *down = true;
    std::string text;
    ASSERT_TRUE(WaitForFailureText(fixture, kHeapId, fixture.host(), &text));
    EXPECT_THAT(text, testing::HasSubstr("503"));
    *down = false;
  }
  EXPECT_EQ(fixture.WaitForValue(kHeapId, fixture.host(), &record), 0);
}

TEST_F(FaultInjection, ManyUnreachableHostsAtOnce) {
  MonitorFixture fixture;
  fixture.ServeSample();
  ASSERT_EQ(fixture.Start("SamplingRate=100\n"), 0);
  std::vector<std::string> hosts;
  for (int i = 0; i < 24; ++i) hosts.push_back("127.0.0.1:" + std::to_string(FreePort()));
  for (const std::string& host : hosts) {
    std::string text;
    EXPECT_EQ(fixture.Activate(kHeapId, host, nullptr, &text), 0) << text;
  }
  for (const std::string& host : hosts) {
    std::string text;
    EXPECT_TRUE(WaitForFailureText(fixture, kHeapId, host, &text)) << host;
    EXPECT_THAT(text, testing::HasSubstr("connect")) << host;
  }
  // The reachable host is served all along.
  ASSERT_EQ(fixture.Activate(kHeapId, fixture.host()), 0);
  SampleRecord record{};
  EXPECT_EQ(fixture.WaitForValue(kHeapId, fixture.host(), &record), 0);
  for (const std::string& host : hosts) EXPECT_EQ(fixture.Deactivate(kHeapId, host), 0);
}

// TerminateMonitor while measurements are active on several hosts, one of them in a stalled
// transfer; afterwards the copy starts again and collects.
TEST_F(FaultInjection, TerminateWithActiveMeasurementsAndOpenConnections) {
  MonitorFixture fixture;
  fixture.ServeSample();
  TestServer stalling;
  stalling.Reply("/list", 200, kSampleList, "text/xml");
  stalling.Stall("/data");
  stalling.Start();
  std::string stalled_host = "127.0.0.1:" + std::to_string(stalling.port());
  ASSERT_EQ(fixture.Start("SamplingRate=100\n"), 0);
  ASSERT_EQ(fixture.Activate(kHeapId, fixture.host()), 0);
  ASSERT_EQ(fixture.Activate(kHeapId, stalled_host), 0);
  SampleRecord record{};
  ASSERT_EQ(fixture.WaitForValue(kHeapId, fixture.host(), &record), 0);
  for (int i = 0; i < 100 && !stalling.WaitForStalled(1, std::chrono::milliseconds(50)); ++i)
    fixture.NewData(kHeapId, stalled_host, nullptr);
  ASSERT_EQ(stalling.stalled(), 1);

  auto started = std::chrono::steady_clock::now();
  fixture.plugin().Terminate();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  stalling.Release();
  stalling.Stop();

  std::string text;
  ASSERT_EQ(fixture.plugin().Init(&text), 0) << text;
  ASSERT_EQ(fixture.Activate(kHeapId, fixture.host()), 0);
  EXPECT_EQ(fixture.WaitForValue(kHeapId, fixture.host(), &record), 0);
}

}  // namespace
