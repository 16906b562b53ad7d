// GetMeasurementsCollection and GetUserDataStr through the exported functions.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "support/monitor_fixture.h"

using testing::HasSubstr;
using testing::Not;
using testing_support::kHeapId;
using testing_support::MonitorFixture;

namespace {

struct Collected {
  int32_t result;
  std::string output;
  std::string text;
};

Collected Collect(MonitorFixture& fixture, const std::string& machine, const char* properties) {
  HostLoginRecord login{};
  std::strncpy(login.machine_name, machine.c_str(), 128);
  std::strcpy(login.user_name, "monitor");
  char* output = nullptr;
  char text[1024] = {};
  Collected collected;
  collected.result = fixture.plugin().Get<decltype(::GetMeasurementsCollection)>(
      "GetMeasurementsCollection")(&login, properties, &output, text, sizeof text);
  collected.output = output ? output : "<none>";
  collected.text = text;
  fixture.plugin().Get<decltype(::FreeMonitorStringAllocation)>("FreeMonitorStringAllocation")(&output);
  return collected;
}

std::string Properties(const std::string& port) {
  return "<properties><prop name=\"port\"><value>" + port +
         "</value></prop><prop name=\"account\"><value>acme</value></prop></properties>";
}

TEST(MeasurementCollection, AnnotatedListWithMonitorData) {
  MonitorFixture fixture;
  fixture.ServeSample();
  ASSERT_EQ(fixture.Start(), 0);
  // The port comes from the properties: the machine name alone names a closed port.
  Collected collected = Collect(fixture, "127.0.0.1:1",
                                Properties(std::to_string(fixture.server().port())).c_str());
  ASSERT_EQ(collected.result, 0) << collected.text;
  const std::string& xml = collected.output;
  EXPECT_EQ(xml.rfind("<PerformanceMonitor", 0), 0u) << xml;  // no declaration
  EXPECT_THAT(xml, HasSubstr("id=\"/PerformanceMonitor/object[(@name=&quot;JVM&quot;)]"));
  EXPECT_THAT(xml, HasSubstr("OnlinePresentationName=\"/JVM/Heap\""));
  EXPECT_THAT(xml, HasSubstr("desc=\"Heap in use\""));
  EXPECT_THAT(xml, HasSubstr("<monitorData><prop name=\"port\"><value>" +
                             std::to_string(fixture.server().port()) + "</value></prop></monitorData>"));
  EXPECT_THAT(xml, Not(HasSubstr("acme")));  // no account without account mode
  // The host monitor made for the call is gone again.
  EXPECT_EQ(fixture.NewData(kHeapId, "127.0.0.1:1", nullptr), 2);
}

TEST(MeasurementCollection, WithoutPropertiesAndForAnActiveHost) {
  MonitorFixture fixture;
  fixture.ServeSample();
  ASSERT_EQ(fixture.Start(), 0);
  ASSERT_EQ(fixture.Activate(kHeapId, fixture.host()), 0);
  Collected collected = Collect(fixture, fixture.host(), nullptr);
  ASSERT_EQ(collected.result, 0);
  EXPECT_THAT(collected.output, Not(HasSubstr("monitorData")));
  EXPECT_THAT(collected.output, HasSubstr("OnlinePresentationName=\"/JVM/Threads\""));
  EXPECT_EQ(fixture.RequestsFor("/list"), 2);  // a fresh list pass
  EXPECT_NE(fixture.NewData(kHeapId, fixture.host(), nullptr), 2);  // still registered
}

TEST(MeasurementCollection, LongMachineNameAndFailures) {
  MonitorFixture fixture;
  fixture.ServeSample();
  ASSERT_EQ(fixture.Start(), 0);
  std::string long_name(128, 'm');
  std::string properties = "<p><LongMachineName>" + fixture.host() + "</LongMachineName></p>";
  EXPECT_EQ(Collect(fixture, long_name, properties.c_str()).result, 0);
  // 127 characters: the long name is not looked at.
  Collected short_name = Collect(fixture, std::string(127, 'm'), properties.c_str());
  EXPECT_EQ(short_name.result, 1);
  EXPECT_EQ(short_name.output, "<none>");
  EXPECT_FALSE(short_name.text.empty());

  Collected broken = Collect(fixture, long_name, "<p>");
  EXPECT_EQ(broken.text, "Failed to load xml");

  fixture.server().Stop();
  Collected unreachable = Collect(fixture, fixture.host(), nullptr);
  EXPECT_EQ(unreachable.result, 1);
  EXPECT_THAT(unreachable.text, HasSubstr("Couldn't connect to server"));
}

TEST(MeasurementCollection, AccountModeShowsTheAccount) {
  MonitorFixture fixture;
  fixture.ServeSample();
  ASSERT_EQ(fixture.Start("EnableAccount=1\n"), 0);
  Collected collected = Collect(fixture, fixture.host(),
                                Properties(std::to_string(fixture.server().port())).c_str());
  ASSERT_EQ(collected.result, 0) << collected.text;
  EXPECT_THAT(collected.output, HasSubstr("<monitorData><prop name=\"account\"><value>acme"));
}

}  // namespace
