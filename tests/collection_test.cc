// Data collection end to end: activation, sampling and hand-off through the exported functions
// of a staged copy, against a real HTTP server on 127.0.0.1.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/time.h>

#include <chrono>
#include <thread>

#include "support/monitor_fixture.h"

using testing::HasSubstr;
using testing_support::kHeapId;
using testing_support::kThreadsId;
using testing_support::MonitorFixture;
using testing_support::SampleData;

namespace {

TEST(Collection, RoadOfOneSample) {
  MonitorFixture fixture;
  fixture.ServeSample();
  ASSERT_EQ(fixture.Start("SamplingRate=3000\n"), 0);
  std::string text = "untouched";
  ASSERT_EQ(fixture.Activate(kHeapId, fixture.host(), nullptr, &text), 0) << text;
  EXPECT_EQ(fixture.RequestsFor("/list"), 1);

  SampleRecord record{};
  record.status = 99;
  record.unused = 42;
  ASSERT_EQ(fixture.WaitForValue(kHeapId, fixture.host(), &record), 0);
  timeval now{};
  gettimeofday(&now, nullptr);
  EXPECT_EQ(record.status, 0);
  EXPECT_EQ(record.unused, 42);
  EXPECT_DOUBLE_EQ(record.value, 12.5);
  EXPECT_LE(std::abs(now.tv_sec - record.seconds), 5);

  // The value is consumed: the next call has nothing new and leaves the record alone.
  SampleRecord untouched{};
  untouched.value = -1;
  EXPECT_EQ(fixture.NewData(kHeapId, fixture.host(), &untouched), 1);
  EXPECT_DOUBLE_EQ(untouched.value, -1);
  // A counter that is not active gets no value.
  EXPECT_EQ(fixture.NewData(kThreadsId, fixture.host(), &untouched), 1);
}

TEST(Collection, ValueTextsAreConvertedInTheCLocale) {
  MonitorFixture fixture;
  fixture.ServeSample();
  ASSERT_EQ(fixture.Start("SamplingRate=100\n"), 0);
  ASSERT_EQ(fixture.Activate(kHeapId, fixture.host()), 0);
  struct Case {
    const char* text;
    int32_t result;
    double value;
  } cases[] = {{"12,5", 0, 12}, {" 7", 0, 7}, {"?x", 0, 0}, {"1e3", 0, 1000}, {"N/A", 8, 0}};
  for (const Case& c : cases) {
    fixture.SetData(SampleData(c.text, "1"));
    SampleRecord record{};
    int32_t result = -1;
    std::string text;
    for (int i = 0; i < 200 && result != c.result; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      result = fixture.NewData(kHeapId, fixture.host(), &record, &text);
    }
    EXPECT_EQ(result, c.result) << c.text;
    if (c.result == 0) {
      EXPECT_DOUBLE_EQ(record.value, c.value) << c.text;
    } else {
      EXPECT_THAT(text, HasSubstr("N/A"));
    }
  }
  // A text that is not a number keeps being reported, with its text only once.
  std::string again = "x";
  EXPECT_EQ(fixture.NewData(kHeapId, fixture.host(), nullptr, &again), 8);
  EXPECT_EQ(again, "");
}

TEST(Collection, PassesAreThrottledToAFractionOfTheRate) {
  MonitorFixture fixture;
  fixture.ServeSample();
  ASSERT_EQ(fixture.Start("SamplingRate=3000\n"), 0);
  ASSERT_EQ(fixture.Activate(kHeapId, fixture.host()), 0);
  // Calls every 500 ms for about 4.5 s: a pass is due every 900 ms, so about one per second.
  for (int i = 0; i < 10; ++i) {
    fixture.NewData(kHeapId, fixture.host(), nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  int passes = fixture.RequestsFor("/data");
  EXPECT_GE(passes, 3);
  EXPECT_LE(passes, 6);
}

TEST(Collection, UnknownHostIsReportedOnce) {
  MonitorFixture fixture;
  fixture.ServeSample();
  ASSERT_EQ(fixture.Start(), 0);
  std::string text;
  EXPECT_EQ(fixture.NewData(kHeapId, "nowhere", nullptr, &text), 2);
  EXPECT_THAT(text, HasSubstr("nowhere"));
  EXPECT_EQ(fixture.NewData(kHeapId, "nowhere", nullptr, &text), 2);
  EXPECT_EQ(text, "");
  EXPECT_EQ(fixture.Deactivate(kHeapId, "nowhere", &text), 2);
  EXPECT_THAT(text, HasSubstr("(entry point DeactivateMeasurement)"));
}

TEST(Collection, LastDeactivationReleasesTheHost) {
  MonitorFixture fixture;
  fixture.ServeSample();
  ASSERT_EQ(fixture.Start(), 0);
  ASSERT_EQ(fixture.Activate(kHeapId, fixture.host()), 0);
  ASSERT_EQ(fixture.Activate(kThreadsId, fixture.host()), 0);
  EXPECT_EQ(fixture.Deactivate(kHeapId, fixture.host()), 0);
  EXPECT_EQ(fixture.NewData(kThreadsId, fixture.host(), nullptr), 1);
  EXPECT_EQ(fixture.Deactivate(kThreadsId, fixture.host()), 0);
  EXPECT_EQ(fixture.NewData(kThreadsId, fixture.host(), nullptr), 2);
}

TEST(Collection, FailedDataPassIsReportedOnce) {
  MonitorFixture fixture;
  fixture.server().Reply("/list", 200, testing_support::kSampleList, "text/xml");
  fixture.server().Reply("/data", 500, "<html>down</html>", "text/html");
  ASSERT_EQ(fixture.Start("SamplingRate=100\n"), 0);
  ASSERT_EQ(fixture.Activate(kHeapId, fixture.host()), 0);
  std::string text;
  int32_t result = -1;
  for (int i = 0; i < 200 && result != 2; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    result = fixture.NewData(kHeapId, fixture.host(), nullptr, &text);
  }
  ASSERT_EQ(result, 2);
  EXPECT_THAT(text, HasSubstr("500"));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(fixture.NewData(kHeapId, fixture.host(), nullptr, &text), 2);
  EXPECT_EQ(text, "");
}

TEST(Collection, TestMachine) {
  MonitorFixture fixture;
  fixture.ServeSample();
  fixture.folder().Write("dat/monitors/debug-list.xml", "<PerformanceMonitor/>");
  ASSERT_EQ(fixture.Start("DebugMode=1\nDebugListFile=" + fixture.folder().monitors() +
                          "debug-list.xml\n"),
            0);
  std::string text = "x";
  EXPECT_EQ(fixture.Test(fixture.host(), nullptr, &text), 0);
  EXPECT_EQ(text, "");
  EXPECT_EQ(fixture.RequestsFor("/list"), 1);  // debug mode does not apply to a test
  EXPECT_EQ(fixture.Test("", nullptr, &text), 1);
  EXPECT_EQ(text, "Unspecified error");
  fixture.server().Stop();
  EXPECT_EQ(fixture.Test(fixture.host(), nullptr, &text), 1);
  EXPECT_THAT(text, HasSubstr("Couldn't connect to server"));
}

TEST(Collection, RefusedLoginNamesTheStatus) {
  MonitorFixture fixture;
  fixture.server().RequireBasic("monitor", "right");
  fixture.ServeSample();
  ASSERT_EQ(fixture.Start(), 0);
  std::string text;
  const char* wrong = R"(username="monitor" password="wrong" port="" useHttps="")";
  EXPECT_EQ(fixture.Test(fixture.host(), wrong, &text), 1);
  EXPECT_THAT(text, HasSubstr("401"));
  const char* right = R"(username="monitor" password="right" port="" useHttps="")";
  EXPECT_EQ(fixture.Test(fixture.host(), right, &text), 0) << text;
}

TEST(Collection, StalledServerIsTornDownPromptly) {
  MonitorFixture fixture;
  fixture.server().Reply("/list", 200, testing_support::kSampleList, "text/xml");
  fixture.server().Stall("/data");
  ASSERT_EQ(fixture.Start("SamplingRate=100\n"), 0);
  ASSERT_EQ(fixture.Activate(kHeapId, fixture.host()), 0);
  for (int i = 0; i < 100 && !fixture.server().WaitForStalled(1, std::chrono::milliseconds(50)); ++i)
    fixture.NewData(kHeapId, fixture.host(), nullptr);
  ASSERT_EQ(fixture.server().stalled(), 1);
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(fixture.Deactivate(kHeapId, fixture.host()), 0);
  // The abort ends the transfer: teardown does not wait for the server's 30 s inactivity limit.
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  fixture.server().Release();
}

}  // namespace
