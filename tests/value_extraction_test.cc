// Which attribute of a counter in the data document becomes its value, end to end.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

#include "support/monitor_fixture.h"

using testing::HasSubstr;
using testing_support::kHeapId;
using testing_support::MonitorFixture;
using testing_support::ReadFile;
using testing_support::ScopedEnv;

namespace {

TEST(ValueExtraction, AttributeRules) {
  const std::string open = R"(<counter name="Heap" class="Memory")";
  struct Case {
    const char* name;
    const char* type;
    int measure_current_value;
    std::string heap;  // the Heap counter element of the data document
    std::optional<double> value;
  } cases[] = {
      {"childless val", "alpha", 0, open + R"( val="12.5"/>)", 12.5},
      {"childless val, Harrierprobe", "Harrierprobe", 0, open + R"( val="12.5"/>)", std::nullopt},
      {"child of Harrierprobe", "Harrierprobe", 0, open + R"(><PerfLoadInfo mean="2"/></counter>)",
       2},
      {"PerfLoadInfo mean", "alpha", 0,
       open + R"(><PerfLoadInfo currentValue="3" mean="2"/></counter>)", 2},
      {"PerfLoadInfo currentValue", "alpha", 1,
       open + R"(><PerfLoadInfo currentValue="3" mean="2"/></counter>)", 3},
      {"val on the child wins", "alpha", 1,
       open + R"(><PerfLoadInfo val="5" currentValue="3" mean="2"/></counter>)", 5},
      {"other child: mean only", "alpha", 1,
       open + R"(><Other currentValue="3" mean="4"/></counter>)", 4},
      {"indented child", "alpha", 1,
       open + ">\n    <PerfLoadInfo currentValue=\"3\" mean=\"2\"/>\n  </counter>", 3},
      {"empty val on the child, no mean fallback", "alpha", 0,
       open + R"(><PerfLoadInfo val="" mean="4"/></counter>)", std::nullopt},
      {"empty childless val", "alpha", 0, open + R"( val=""/>)", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MonitorFixture fixture(c.type);
    fixture.ServeSample();
    fixture.SetData("<PerformanceMonitor>\n  <object name=\"JVM\">\n  " + c.heap +
                    "\n  <counter name=\"Threads\" val=\"7\"/>\n  </object>\n</PerformanceMonitor>");
    const std::string debug_file = fixture.folder().root() + "/debug.txt";
    ScopedEnv debug("FEEDPROBE_DEBUG_OUTPUT", debug_file);
    ASSERT_EQ(fixture.Start("SamplingRate=100\nMeasureCurrentValue=" +
                            std::to_string(c.measure_current_value) + "\n"),
              0);
    ASSERT_EQ(fixture.Activate(kHeapId, fixture.host()), 0);
    const std::string line = std::string(c.type) + ": registerMeasurement id=" + kHeapId + " value=";
    SampleRecord record{};
    if (c.value) {
      ASSERT_EQ(fixture.WaitForValue(kHeapId, fixture.host(), &record), 0);
      EXPECT_DOUBLE_EQ(record.value, *c.value);
      EXPECT_THAT(ReadFile(debug_file), HasSubstr(line));
      continue;
    }
    // A pass has run once its debug line is written; it stored nothing.
    for (int i = 0; i < 250 && ReadFile(debug_file).find(line) == std::string::npos; ++i) {
      fixture.NewData(kHeapId, fixture.host(), &record);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_THAT(ReadFile(debug_file), HasSubstr(line + "<empty> time="));
    EXPECT_EQ(fixture.NewData(kHeapId, fixture.host(), &record), 1);
  }
}

}  // namespace
