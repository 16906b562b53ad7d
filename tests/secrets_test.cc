// A sentinel password through a run that fails in many ways: it reaches the server (in the
// account mode's URL and as HTTP authentication) and never any text the host or a log sees.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/monitor_fixture.h"

using testing::HasSubstr;
using testing::Not;
using testing_support::FreePort;
using testing_support::kHeapId;
using testing_support::kSampleList;
using testing_support::MonitorFixture;
using testing_support::ReadFile;
using testing_support::ScopedEnv;

namespace {

const char kSentinel[] = "Sentinel-Pa55word";

// Every text the host got, in one place, to be scanned at the end.
class Transcript {
 public:
  void Add(const std::string& where, const std::string& text) {
    all_ += "[" + where + "] " + text + "\n";
  }
  const std::string& all() const { return all_; }

 private:
  std::string all_;
};

TEST(Secrets, PasswordNeverAppearsInAFailureText) {
  MonitorFixture fixture;
  std::string debug_file = fixture.folder().root() + "/debug.log";
  ScopedEnv debug("FEEDPROBE_DEBUG_OUTPUT", debug_file);
  auto mode = std::make_shared<std::atomic<int>>(0);
  fixture.OmitDefaultUrls();
  fixture.server().Reply("/list", 200, kSampleList, "text/xml");
  fixture.server().Get("/data", [mode](const httplib::Request&, httplib::Response& response) {
    switch (mode->load()) {
      case 0: response.set_content(testing_support::SampleData("1", "2"), "text/xml"); break;
      case 1: response.status = 500; response.set_content("failed", "text/plain"); break;
      default: response.set_content("<PerformanceMonitor><broken", "text/xml"); break;
    }
  });
  fixture.server().Reply("/refused", 401, "no", "text/plain");
  ASSERT_EQ(fixture.Start("SamplingRate=100\nEnableAccount=1\n"
                          "MetricListURL=/list?view=all\nMetricDataURL=/data?view=all\n"), 0);

  Transcript transcript;
  std::string text;
  std::string login = std::string("username=\"monitor\" password=\"") + kSentinel +
                      "\" port=\"\" useHttps=\"\" account=\"acme\"";
  ASSERT_EQ(fixture.Activate(kHeapId, fixture.host(), login.c_str(), &text), 0) << text;
  transcript.Add("activate", text);
  // Account mode sends the password in the query of the server's URLs.
  ASSERT_FALSE(fixture.RequestsTo("/list").empty());
  EXPECT_THAT(fixture.RequestsTo("/list").back().target, HasSubstr(kSentinel));

  SampleRecord record{};
  ASSERT_EQ(fixture.WaitForValue(kHeapId, fixture.host(), &record), 0);
  for (int failing_mode : {1, 2}) {
    *mode = failing_mode;
    std::string failure;
    for (int i = 0; i < 300 && failure.empty(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      fixture.NewData(kHeapId, fixture.host(), nullptr, &failure);
    }
    EXPECT_FALSE(failure.empty()) << "mode " << failing_mode;
    transcript.Add("GetNewData", failure);
  }

  // Refused connections and a refusing server, for activation and TestMachine.
  std::string nowhere = "127.0.0.1:" + std::to_string(FreePort());
  fixture.Activate(kHeapId, nowhere, login.c_str(), &text);
  transcript.Add("activate unreachable", text);
  fixture.Test(nowhere, login.c_str(), &text);
  transcript.Add("test unreachable", text);
  fixture.Test(fixture.host(), login.c_str(), &text);
  transcript.Add("test", text);
  fixture.server().Stop();
  std::string failure;
  for (int i = 0; i < 300 && failure.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    fixture.NewData(kHeapId, fixture.host(), nullptr, &failure);
  }
  transcript.Add("GetNewData stopped server", failure);
  fixture.Test(fixture.host(), login.c_str(), &text);
  transcript.Add("test stopped server", text);
  fixture.Deactivate(kHeapId, fixture.host(), &text);
  transcript.Add("deactivate", text);
  fixture.plugin().Terminate();
  fixture.plugin().Init(&text);

  EXPECT_THAT(transcript.all(), HasSubstr("500"));
  EXPECT_THAT(transcript.all(), Not(HasSubstr(kSentinel))) << transcript.all();
  std::string log = ReadFile(debug_file);
  EXPECT_FALSE(log.empty());
  EXPECT_THAT(log, Not(HasSubstr(kSentinel))) << log;
}

}  // namespace
