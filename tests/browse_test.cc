// Browsing a host's counters with the scripted dialog front-end, through
// BrowseMonitorExBiggerDesc of a staged copy.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "support/monitor_fixture.h"

using testing::HasSubstr;
using testing_support::MonitorFixture;

namespace {

constexpr const char* kList = R"(<PerformanceMonitor>
  <object class="Pool" name="B"><counter name="x"/><counter name="w" desc="W counts"/></object>
  <object class="Pool" name="A">
    <counter name="y"/>
    <object class="Sub" name="C"><counter name="z$quot;q" class="t"/></object>
  </object>
  <counter name="orphan"/>
</PerformanceMonitor>)";

const std::string kX = "/PerformanceMonitor/object[(@class=\"Pool\") and (@name=\"B\")]/counter[(@name=\"x\")]";
const std::string kY = "/PerformanceMonitor/object[(@class=\"Pool\") and (@name=\"A\")]/counter[(@name=\"y\")]";

struct Record {
  std::string identifier, display_path, description, login;
};

struct BrowseResult {
  int32_t result = -1;
  std::vector<Record> records;
  std::string text;
};

// The host window: counts help requests.
struct HostWindow {
  FeedprobeHostWindow window{FEEDPROBE_HOST_WINDOW_MARKER, this, &HostWindow::Send};
  std::vector<std::pair<uint32_t, uintptr_t>> messages;
  static intptr_t Send(void* context, uint32_t message, uintptr_t wparam, intptr_t) {
    static_cast<HostWindow*>(context)->messages.emplace_back(message, wparam);
    return 0;
  }
};

BrowseResult Browse(MonitorFixture& fixture, const std::string& host, const std::string& script,
                    HostWindow* window = nullptr) {
  fixture.folder().Write("browse.script", script);
  setenv("FEEDPROBE_UI", ("script:" + fixture.folder().root() + "/browse.script").c_str(), 1);
  BrowsedMeasurement* measurements = reinterpret_cast<BrowsedMeasurement*>(1);
  int32_t count = -1;
  char text[1024] = {};
  BrowseResult out;
  out.result = fixture.plugin().Get<decltype(::BrowseMonitorExBiggerDesc)>(
      "BrowseMonitorExBiggerDesc")(window ? &window->window : nullptr, host.c_str(),
                                   &measurements, &count, text, sizeof text);
  unsetenv("FEEDPROBE_UI");
  out.text = text;
  for (int32_t i = 0; i < count; ++i) {
    const BrowsedMeasurement& m = measurements[i];
    EXPECT_EQ(m.zero, 0);
    out.records.push_back({m.identifier, m.display_path, m.description, m.encoded_login});
  }
  if (count > 0) std::free(measurements);
  else EXPECT_EQ(measurements, nullptr);
  return out;
}

class BrowseTest : public testing::Test {
 protected:
  void Start(const std::string& keys = "", const std::string& list = kList) {
    fixture_.ServeSample(list);
    ASSERT_EQ(fixture_.Start("ShowNameWhenNoDescription=0\n" + keys), 0);
  }
  MonitorFixture fixture_;
};

TEST_F(BrowseTest, RecordsComeInIdentifierOrder) {
  Start();
  BrowseResult browse = Browse(fixture_, fixture_.host(),
                               "select Performance Data Root > Pool \"B\"\ntick x\n"
                               "select Performance Data Root > Pool \"A\"\ntick y\npress OK\n");
  ASSERT_EQ(browse.result, 0) << browse.text;
  ASSERT_EQ(browse.records.size(), 2u);
  EXPECT_EQ(browse.records[0].identifier, kY);
  EXPECT_EQ(browse.records[0].display_path, "/A/y");
  EXPECT_EQ(browse.records[0].description, kY);  // no description anywhere: the identifier
  EXPECT_EQ(browse.records[0].login.size(), 9u);  // the empty login string, scrambled
  EXPECT_EQ(browse.records[1].identifier, kX);
  // Chosen counters keep the host registered.
  EXPECT_EQ(fixture_.NewData(kX, fixture_.host(), nullptr), 1);
}

TEST_F(BrowseTest, TicksAreStoredOnTreeChangeAndOkAndUntickRemoves) {
  Start();
  struct Case {
    const char* script;
    std::vector<std::string> identifiers;
  } cases[] = {
      // Ticked in B, stored when A is selected, then OK without leaving A.
      {"select Performance Data Root > Pool \"B\"\ntick x\ntick w\n"
       "select Performance Data Root > Pool \"A\"\ntick y\npress OK\n",
       {kY, "/PerformanceMonitor/object[(@class=\"Pool\") and (@name=\"B\")]/counter[(@name=\"w\")]", kX}},
      // Unticking a stored counter removes it when the tree selection changes.
      {"select Performance Data Root > Pool \"B\"\ntick x\nselect Performance Data Root > Pool \"A\"\n"
       "select Performance Data Root > Pool \"B\"\nuntick x\nselect Performance Data Root > Pool \"A\"\n"
       "press OK\n",
       {}},
      // Cancel returns nothing.
      {"select Performance Data Root > Pool \"B\"\ntick x\nselect Performance Data Root > Pool \"A\"\n"
       "press Cancel\n",
       {}},
  };
  for (const Case& c : cases) {
    BrowseResult browse = Browse(fixture_, fixture_.host(), c.script);
    EXPECT_EQ(browse.result, 0);
    std::vector<std::string> identifiers;
    for (const Record& record : browse.records) identifiers.push_back(record.identifier);
    EXPECT_EQ(identifiers, c.identifiers) << c.script;
  }
}

TEST_F(BrowseTest, DescriptionsDisplayPathsAndQuotes) {
  Start("ShowNameWhenNoDescription=0\n");
  BrowseResult browse =
      Browse(fixture_, fixture_.host(),
             "select Performance Data Root > Pool \"B\"\ntick w\n"
             "select Performance Data Root > Pool \"A\" > Sub \"C\"\ntick z\"q\npress OK\n");
  ASSERT_EQ(browse.records.size(), 2u);
  EXPECT_EQ(browse.records[0].display_path, "/A/C/z\"q");  // "$quot;" shown as a quotation mark
  EXPECT_THAT(browse.records[0].identifier, HasSubstr("(@name=\"z$quot;q\")"));
  EXPECT_EQ(browse.records[1].description, "W counts");
}

TEST_F(BrowseTest, SelectRecursivelyOnlyWhenEnabled) {
  Start("EnableRecursiveSelection=TRUE\n");
  BrowseResult all = Browse(fixture_, fixture_.host(),
                            "select Performance Data Root\npress Select Recursively\npress OK\n");
  EXPECT_EQ(all.records.size(), 4u);  // every counter inside a component, not the orphan

  fixture_.Start("EnableRecursiveSelection=yes\n");
  BrowseResult hidden = Browse(fixture_, fixture_.host(),
                               "select Performance Data Root\npress Select Recursively\npress OK\n");
  EXPECT_EQ(hidden.records.size(), 0u);  // the button is hidden: the script fails
}

TEST_F(BrowseTest, RefreshMetricListDecidesTheRequests) {
  Start();
  ASSERT_EQ(fixture_.Activate(kX, fixture_.host()), 0);
  ASSERT_EQ(fixture_.RequestsFor("/list"), 1);
  Browse(fixture_, fixture_.host(), "press OK\n");
  EXPECT_EQ(fixture_.RequestsFor("/list"), 1);
  fixture_.Start("RefreshMetricList=1\n");
  Browse(fixture_, fixture_.host(), "press OK\n");
  Browse(fixture_, fixture_.host(), "press Cancel\n");
  EXPECT_EQ(fixture_.RequestsFor("/list"), 3);
}

TEST_F(BrowseTest, LoginDialogAndHelpReachTheHost) {
  Start("QueryLoginInfo=1\nInitHostURL=/init\n");
  std::string login_body;
  fixture_.server().Stop();
  MonitorFixture fixture;
  fixture.ServeSample(kList);
  fixture.server().Post("/init", [&login_body](const httplib::Request& request, httplib::Response& response) {
    login_body = request.body;
    response.set_content("OK", "text/plain");
  });
  ASSERT_EQ(fixture.Start("QueryLoginInfo=1\nInitHostURL=/init\n"), 0);
  HostWindow window;
  std::string long_user(200, 'u');
  BrowseResult browse = Browse(fixture, fixture.host(),
                               "dialog 203\nhelp\ntype Username: = " + long_user +
                                   "\ntype Password: = s3cret\npress OK\n"
                                   "dialog 101\nhelp\nselect Performance Data Root > Pool \"B\"\n"
                                   "tick x\npress OK\n",
                               &window);
  ASSERT_EQ(browse.records.size(), 1u) << browse.text;
  EXPECT_THAT(login_body, HasSubstr("username=\"" + std::string(127, 'u') + "\""));
  EXPECT_THAT(login_body, HasSubstr("password=\"s3cret\""));
  // Scrambled form of the 4-field login string with a 127-character name and the password.
  EXPECT_EQ(browse.records[0].login.size(), 2 * (43 + 127 + 6) + 8u);
  ASSERT_EQ(window.messages.size(), 2u);
  EXPECT_EQ(window.messages[0], std::make_pair(FEEDPROBE_HELP_MESSAGE, uintptr_t{0}));

  // Cancelling the login dialog creates nothing and asks no server.
  int requests = fixture.server().requests();
  BrowseResult cancelled = Browse(fixture, "127.0.0.1:1", "dialog 203\npress Cancel\n");
  EXPECT_EQ(cancelled.result, 0);
  EXPECT_TRUE(cancelled.records.empty());
  EXPECT_EQ(fixture.server().requests(), requests);
}

TEST(Browse, CancelReleasesANewHostUnlessTernSuite) {
  for (const char* type : {"alpha", "tern_suite"}) {
    MonitorFixture fixture(type);
    fixture.ServeSample(kList);
    ASSERT_EQ(fixture.Start(), 0);
    Browse(fixture, fixture.host(), "press Cancel\n");
    int32_t expected = std::string(type) == "tern_suite" ? 1 : 2;
    EXPECT_EQ(fixture.NewData(kX, fixture.host(), nullptr), expected) << type;
  }
}

TEST(Browse, FieldsAreCutToTheirLimits) {
  std::string name_4095(4092, 'n'), name_4096(4093, 'm'), desc(1024, 'd');
  std::string list = "<PerformanceMonitor><object class=\"P\" name=\"A\"><counter name=\"" + name_4095 +
                     "\" desc=\"" + desc + "\"/><counter name=\"" + name_4096 +
                     "\"/></object></PerformanceMonitor>";
  MonitorFixture fixture;
  fixture.ServeSample(list);
  ASSERT_EQ(fixture.Start(), 0);
  BrowseResult browse =
      Browse(fixture, fixture.host(),
             "select Performance Data Root > P \"A\"\ntick " + name_4095 + "\ntick " + name_4096 + "\npress OK\n");
  ASSERT_EQ(browse.records.size(), 2u);
  for (const Record& record : browse.records) {
    if (record.display_path[3] == 'n') {
      EXPECT_EQ(record.display_path.size(), 4095u);
      EXPECT_EQ(record.description, std::string(1023, 'd'));
    } else {
      EXPECT_EQ(record.display_path.size(), 4095u);  // 4096 characters lose the last one
    }
  }
}

TEST(Browse, ListThatDoesNotLoadStillCloses) {
  MonitorFixture fixture;
  fixture.server().Reply("/list", 500, "broken");
  ASSERT_EQ(fixture.Start(), 0);
  BrowseResult browse = Browse(fixture, fixture.host(), "press OK\n");
  EXPECT_EQ(browse.result, 0);
  EXPECT_TRUE(browse.records.empty());
}

}  // namespace
