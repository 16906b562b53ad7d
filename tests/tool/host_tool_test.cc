// feedprobe-host from the staged tree, against the demo server (Tomcat's status page format,
// connector names with quotation marks) and against ports where nothing listens.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>

#include <filesystem>
#include <sstream>

#include "support/monitor_fixture.h"
#include "tool/host_tool.h"

namespace testing_support {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

const std::vector<std::string> kDemoLogin = {"--user", "demo", "--password", "demo"};

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

std::string JsonString(const std::string& text) { return "\"" + text + "\""; }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(HostTool, TypesListsEveryStagedTypeWithItsConfiguration) {
  ProgramResult result = RunHostTool({"types"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_THAT(result.out, HasSubstr("dat/monitors/example.ini"));
  EXPECT_THAT(result.out, HasSubstr("dat/monitors/tomcat.ini"));
  EXPECT_THAT(result.out, Not(HasSubstr("feedprobe ")));
}

// Wrong command lines and unusable monitor types end with a text and a non-zero exit code.
TEST(HostTool, RefusesWhatItCannotDo) {
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    std::string text;
  } cases[] = {
      {{"test", "127.0.0.1:1"}, 2, "several monitor types are installed (example, tomcat)"},
      {{"-m", "nosuch", "test", "127.0.0.1:1"}, 1, "the monitor type 'nosuch' is not installed"},
      {{"-m", "tomcat", "list", "127.0.0.1:1", "--frobnicate"}, 2, "unknown option --frobnicate"},
      {{"-m", "tomcat", "watch", "127.0.0.1:1", "--count", "0"}, 2, "--count needs a positive number"},
      {{"-m", "tomcat", "serve", "127.0.0.1:1"}, 2, "serve needs --listen"},
      {{"-m", "tomcat", "browse"}, 2, "browse takes one HOST"},
      {{"frob"}, 2, "unknown command 'frob'"},
  };
  for (const Case& c : cases) {
    ProgramResult result = RunHostTool(c.args);
    EXPECT_EQ(result.exit_code, c.exit_code) << c.args.back() << ": " << result.err;
    EXPECT_THAT(result.err, HasSubstr(c.text));
  }
}

TEST(HostTool, TestReportsTheServerOrThePluginsFailureText) {
  DemoServer demo;
  ProgramResult reachable = RunHostTool(With({"-m", "tomcat", "test", demo.address()}, kDemoLogin));
  EXPECT_EQ(reachable.exit_code, 0) << reachable.err;
  EXPECT_THAT(reachable.out, HasSubstr("reachable"));

  ProgramResult refused = RunHostTool(
      {"-m", "tomcat", "test", demo.address(), "--user", "demo", "--password", "wrong"});
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_THAT(refused.err, HasSubstr(demo.address() + ": the server cannot be read"));

  std::string nobody = "127.0.0.1:" + std::to_string(FreePort());
  ProgramResult unreachable = RunHostTool({"-m", "tomcat", "test", nobody});
  EXPECT_EQ(unreachable.exit_code, 1);
  // The plug-in's own text, passed on unchanged.
  EXPECT_THAT(unreachable.err, HasSubstr("Cannot reach " + nobody));
  ProgramResult list = RunHostTool({"-m", "tomcat", "list", nobody});
  EXPECT_EQ(list.exit_code, 1);
  EXPECT_THAT(list.err, HasSubstr("Cannot reach " + nobody));
}

// Quotation marks of connector names: "$quot;" in identifiers, real ones in display paths
// and descriptions; apostrophes of pool names stay as they are.
TEST(HostTool, ListJsonShowsConnectorsAndPoolsWithTheirQuotationMarks) {
  DemoServer demo;
  ProgramResult result = RunHostTool(With({"-m", "tomcat", "list", demo.address(), "--json"}, kDemoLogin));
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_THAT(result.out, HasSubstr(
      R"({"path": "/Connectors/\"http-nio-8080\"/currentThreadsBusy", )"
      R"("description": "Busy request threads (connector \"http-nio-8080\").", )"
      R"("id": "/PerformanceMonitor/object[(@class=\"Connectors\")]/object[(@name=\"$quot;http-nio-8080$quot;\") and (@class=\"Connector\")]/counter[(@name=\"currentThreadsBusy\")]"})"));
  EXPECT_THAT(result.out, HasSubstr(R"("path": "/JVM/MemoryPools/CodeHeap 'non-nmethods'/usageUsed")"));
  EXPECT_THAT(result.out, HasSubstr(R"("path": "/JVM/Memory/used")"));
  EXPECT_EQ(result.out.front(), '[');
  EXPECT_EQ(result.out.substr(result.out.size() - 2), "]\n");
}

// Values of a connector counter and a pool counter arrive through the data stylesheet: the
// identifiers of the list select the same counters in the data.
TEST(HostTool, WatchWritesCsvRoundsWithNumericValues) {
  DemoServer demo;
  const std::string pool_id =
      "/PerformanceMonitor/object[(@class=\"JVM\")]/object[(@class=\"MemoryPools\")]/"
      "object[(@name=\"CodeHeap 'non-nmethods'\") and (@class=\"MemoryPool\")]/"
      "counter[(@name=\"usageUsed\")]";
  ProgramResult result = RunHostTool(With({"-m", "tomcat", "watch", demo.address(), pool_id,
                                           "--match", "http-nio-8080\"/requestCount", "--count", "2"},
                                          kDemoLogin));
  ASSERT_EQ(result.exit_code, 0) << result.err;
  std::vector<std::string> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 5u) << result.out;
  EXPECT_EQ(lines[0], "round,host,path,state,value,time,text,id");
  EXPECT_THAT(lines[1], HasSubstr("1," + demo.address() + ",/JVM/MemoryPools/CodeHeap 'non-nmethods'/usageUsed,waiting,,,,"));
  for (int i : {3, 4}) {
    std::vector<std::string> fields;
    std::string line = lines[i];
    // Display path and identifier are quoted CSV fields; the value is the fifth field.
    EXPECT_THAT(line, AllOf(HasSubstr("2," + demo.address() + ","), HasSubstr(",value,")));
    size_t state = line.find(",value,");
    ASSERT_NE(state, std::string::npos);
    std::string value = line.substr(state + 7, line.find(',', state + 7) - state - 7);
    char* end = nullptr;
    double number = std::strtod(value.c_str(), &end);
    EXPECT_TRUE(!value.empty() && *end == '\0' && number > 0) << line;
  }
  EXPECT_THAT(lines[4], HasSubstr(R"("/Connectors/""http-nio-8080""/requestCount")"));
}

// A server that goes away: every watched counter shows the host failure with the plug-in's
// text (which the plug-in gives once per host), and Ctrl-C ends the watch cleanly.
TEST(HostTool, WatchShowsHostFailureForEveryCounterAndStopsOnInterrupt) {
  DemoServer demo;
  ChildProcess watch(With({HostToolPath(), "-m", "tomcat", "watch", demo.address(), "--match",
                           "/JVM/Memory/", "--format", "json"},
                          kDemoLogin),
                     HostToolEnvironment());
  ASSERT_TRUE(watch.WaitForLine("{\"round\": 2,", std::chrono::seconds(30))) << watch.err();
  demo.Stop();
  std::optional<std::string> failure;
  for (int round = 3; round < 8 && !failure; ++round) {
    std::optional<std::string> line =
        watch.WaitForLine("{\"round\": " + std::to_string(round) + ",", std::chrono::seconds(10));
    ASSERT_TRUE(line) << watch.out() << watch.err();
    if (line->find("host failure") != std::string::npos) failure = std::to_string(round);
  }
  ASSERT_TRUE(failure) << watch.out();
  // The round's last counter is written after the first: wait for the whole round.
  ASSERT_TRUE(watch.WaitForLine("{\"round\": " + *failure + ", \"host\": " + JsonString(demo.address()) +
                                ", \"path\": \"/JVM/Memory/used\"", std::chrono::seconds(5)));
  int failures = 0;
  for (const std::string& line : Lines(watch.out())) {
    if (line.rfind("{\"round\": " + *failure + ",", 0) != 0) continue;
    EXPECT_THAT(line, AllOf(HasSubstr("\"state\": \"host failure\""), HasSubstr("\"text\": \"")));
    ++failures;
  }
  EXPECT_EQ(failures, 4);
  EXPECT_EQ(watch.Stop(SIGINT), 0) << watch.err();
}

TEST(HostTool, ServeExposesGaugesAndUpPerHostUntilTerminated) {
  DemoServer demo;
  std::string nobody = "127.0.0.1:" + std::to_string(FreePort());
  ChildProcess serve(With({HostToolPath(), "-m", "tomcat", "serve", "--listen", "127.0.0.1:0",
                           demo.address(), nobody},
                          kDemoLogin),
                     HostToolEnvironment());
  std::optional<std::string> url = serve.WaitForLine("serving http://127.0.0.1:", std::chrono::seconds(20));
  ASSERT_TRUE(url) << serve.err();
  int port = std::stoi(*url);
  httplib::Client client("127.0.0.1", port);
  std::string metrics;
  const std::string maxThreads = "feedprobe_value{monitor_type=\"tomcat\",host=\"" + demo.address() +
                                 "\",path=\"/Connectors/\\\"http-nio-8080\\\"/maxThreads\"} 200\n";
  for (int attempt = 0; attempt < 200 && metrics.find(maxThreads) == std::string::npos; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (httplib::Result response = client.Get("/metrics")) metrics = response->body;
  }
  client.stop();
  EXPECT_THAT(metrics, HasSubstr(maxThreads));
  EXPECT_THAT(metrics, HasSubstr("# TYPE feedprobe_value gauge\n"));
  EXPECT_THAT(metrics, HasSubstr("feedprobe_up{monitor_type=\"tomcat\",host=\"" + demo.address() + "\"} 1\n"));
  EXPECT_THAT(metrics, HasSubstr("feedprobe_up{monitor_type=\"tomcat\",host=\"" + nobody + "\"} 0\n"));
  EXPECT_EQ(serve.Stop(SIGTERM), 0) << serve.err();
  EXPECT_THAT(serve.err(), HasSubstr("Cannot reach " + nobody));
}

// The scrambled login string stands in for user name and password.
TEST(HostTool, LoginStringCarriesTheLoginToTest) {
  DemoServer demo;
  ProgramResult login = RunHostTool(With({"-m", "tomcat", "login-string", demo.address()}, kDemoLogin));
  ASSERT_EQ(login.exit_code, 0) << login.err;
  std::string encoded = login.out.substr(0, login.out.find('\n'));
  ASSERT_FALSE(encoded.empty());
  EXPECT_THAT(encoded, Not(HasSubstr("demo")));
  ProgramResult test = RunHostTool({"-m", "tomcat", "test", demo.address(), "--login", encoded});
  EXPECT_EQ(test.exit_code, 0) << test.err;
}

TEST(HostTool, RegisterAndUnregisterChangeTheClassRegistry) {
  ProgramFolder scratch;
  std::string registry = scratch.root() + "/registry";
  std::map<std::string, std::string> environment = {{"FEEDPROBE_REGISTRY", registry}};
  ProgramResult added = RunHostTool({"-m", "tomcat", "register"}, environment);
  ASSERT_EQ(added.exit_code, 0) << added.err;
  EXPECT_THAT(ReadFile(registry), HasSubstr("CCC1D3D4-8E57-11D4-9E8D-006008CB5184"));
  ProgramResult removed = RunHostTool({"-m", "tomcat", "unregister"}, environment);
  ASSERT_EQ(removed.exit_code, 0) << removed.err;
  EXPECT_THAT(ReadFile(registry), Not(HasSubstr("CCC1D3D4-8E57-11D4-9E8D-006008CB5184")));
}

}  // namespace
}  // namespace testing_support

namespace testing_support {
namespace {

// browse with a scripted dialog: the login dialog first (the tomcat type asks for login
// information), then the counters of the JVM's memory.
TEST(HostTool, BrowsePrintsTheChosenCounters) {
  DemoServer demo;
  ProgramFolder scratch;
  scratch.Write("browse.script",
                "dialog 203\ntype Username: = demo\ntype Password: = demo\npress OK\n"
                "dialog 101\nselect Performance Data Root > JVM > Memory\ntick used\ntick max\n"
                "press OK\n");
  ProgramResult result = RunHostTool({"-m", "tomcat", "browse", demo.address()},
                                     {{"FEEDPROBE_UI", "script:" + scratch.root() + "/browse.script"}});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  std::vector<std::string> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 2u) << result.out;
  EXPECT_THAT(lines[0], HasSubstr("/JVM/Memory/max\t"));
  EXPECT_THAT(lines[1], HasSubstr("/JVM/Memory/used\t"));
  EXPECT_THAT(lines[1], HasSubstr("\t/PerformanceMonitor/"));
}

}  // namespace
}  // namespace testing_support
