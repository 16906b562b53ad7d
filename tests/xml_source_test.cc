// The local XML source end to end, with a stand-in Java launcher built by the tests
// (tests/fixtures/fake_java.cc) that records how it was started.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <sys/socket.h>
#include <netinet/in.h>
#include <arpa/inet.h>
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "support/monitor_fixture.h"

using testing::ElementsAre;
using testing::HasSubstr;
using testing_support::kSampleList;
using testing_support::MonitorFixture;
using testing_support::ReadFile;

namespace {

const std::string kFakeJava = std::string(FEEDPROBE_TEST_FIXTURES_DIR) + "/fake_java";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Binds the loopback port without listening: connections to it are refused.
int HoldPort(int port) {
  int socket_fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (bind(socket_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(socket_fd);
    return -1;
  }
  return socket_fd;
}

// A program folder whose launcher files live in the home directory (the folder's root), and
// which ends the source the launcher started, if any, when it goes.
class XmlSourceFixture {
 public:
  XmlSourceFixture() : port_(testing_support::FreePort()) {}
  ~XmlSourceFixture() { EndSource(); }

  MonitorFixture& monitor() { return monitor_; }
  std::string home() const { return monitor_.folder().root(); }
  std::string File(const std::string& name) const { return ReadFile(home() + "/" + name); }
  void Write(const std::string& name, const std::string& text) { monitor_.folder().Write(name, text); }
  bool Exists(const std::string& name) const { return std::filesystem::exists(home() + "/" + name); }
  int port() const { return port_; }
  std::string local_host() const { return "localhost:" + std::to_string(port_); }

  int32_t Start(const std::string& keys) {
    Write("source-serving", "");
    Write("source-body.xml", kSampleList);
    return monitor_.Start(keys);
  }

  // The source stops serving when its marker goes; the plug-in reaps it once it has ended.
  void EndSource() {
    monitor_.folder().Remove("source-serving");
    std::string pid_text = File("source.pid");
    if (pid_text.empty()) return;
    pid_t pid = std::stoi(pid_text);
    kill(pid, SIGTERM);
    for (int i = 0; i < 500 && !(kill(pid, 0) != 0 && errno == ESRCH); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_NE(kill(pid, 0), 0) << "the XML source is still running";
  }

 private:
  MonitorFixture monitor_;
  int port_;
};

TEST(XmlSource, StartedInTheHomeDirectoryWithItsCommandLine) {
  XmlSourceFixture fixture;
  fixture.Write("java-version", "11 Acme Corp");
  ASSERT_EQ(fixture.Start("JVM=" + kFakeJava + "\nJavaVersion=11\nJavaVendor=Acme Corp\n"
                          "PingHostURL=/ping\n"
                          "JVM_ARG1=-Xmx256m\nJVM_ARG2=-Dx=1\nJVM_ARG4=-Dnever\n"
                          "JVM_CLASSES1=lib\\extra.jar\nJVM_CLASSES2=/opt/x.jar\n"
                          "JVM_CLASSES4=never.jar\n"),
            0);
  std::string text;
  ASSERT_EQ(fixture.monitor().Test(fixture.local_host(), nullptr, &text), 0) << text;

  const std::string home = fixture.home();
  const std::string classes = home + "/classes/";
  EXPECT_THAT(Lines(fixture.File("version-test.args")),
              ElementsAre(home, kFakeJava, "-classpath", classes + "pullhub.jar", "TestVersion",
                          "11", "Acme Corp"));
  EXPECT_THAT(Lines(fixture.File("source.args")),
              ElementsAre(home, kFakeJava, "-classpath",
                          classes + "pullhub.jar:" + classes + "parsekit.jar:" + classes +
                              "hubtools.jar:" + classes + "tinyserve.jar:" + classes +
                              "lib/extra.jar:/opt/x.jar",
                          "-Xmx256m", "-Dx=1", "com.tolvaneworks.monitors.pullhub.Main", "-port",
                          std::to_string(fixture.port()), "-exitwhendone"));
  std::vector<std::string> requests = Lines(fixture.File("source.requests"));
  EXPECT_THAT(requests, testing::Contains("/ping"));
  EXPECT_THAT(requests, testing::Contains("/list"));

  // A source that answers is used as it is.
  fixture.monitor().folder().Remove("version-test.args");
  fixture.monitor().folder().Remove("source.args");
  EXPECT_EQ(fixture.monitor().Test(fixture.local_host(), nullptr, &text), 0) << text;
  EXPECT_FALSE(fixture.Exists("version-test.args"));
  EXPECT_FALSE(fixture.Exists("source.args"));
}

TEST(XmlSource, OnlyLocalhostIsChecked) {
  for (const char* name : {"LOCALHOST", "127.0.0.1"}) {
    SCOPED_TRACE(name);
    XmlSourceFixture fixture;
    ASSERT_EQ(fixture.Start("JVM=" + kFakeJava + "\n"), 0);
    std::string host = std::string(name) + ":" + std::to_string(fixture.port());
    EXPECT_EQ(fixture.monitor().Test(host, nullptr, nullptr), 1);  // nothing listens there
    EXPECT_FALSE(fixture.Exists("source.args"));
  }
}

TEST(XmlSource, StartFailures) {
  struct Case {
    const char* name;
    std::string keys;
    const char* installed_version;  // null: the version test passes
    bool silent;
    std::string text;  // {port} stands for the port
  } cases[] = {
      {"version mismatch", "JVM=" + kFakeJava + "\nJavaVersion=11\n", "17", false,
       "Java Virtual Machine Version mismatch: Required version: 11 "},
      {"version and vendor mismatch", "JVM=" + kFakeJava + "\nJavaVersion=11\nJavaVendor=Acme\n",
       "11 Other", false, "Java Virtual Machine Version mismatch: Required version: 11 Acme"},
      {"no such virtual machine for the version test", "JVM=/nonexistent/java\nJavaVersion=11\n",
       nullptr, false, "Failed to start process: '/nonexistent/java'"},
      {"no such virtual machine", "JVM=/nonexistent/java\n", nullptr, false,
       "Failed to start process: '/nonexistent/java'"},
      {"source never listens", "JVM=" + kFakeJava + "\n", nullptr, true,
       "Failed to connect to XML source on {port}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    XmlSourceFixture fixture;
    if (c.installed_version) fixture.Write("java-version", c.installed_version);
    if (c.silent) fixture.Write("source-silent", "");
    // A silent source's port stays bound without listening, so that no other test can take it
    // and answer the pings.
    int holder = c.silent ? HoldPort(fixture.port()) : -1;
    ASSERT_EQ(fixture.Start(c.keys), 0);
    std::string text;
    EXPECT_EQ(fixture.monitor().Activate("/PerformanceMonitor", fixture.local_host(), nullptr, &text),
              6);
    std::string expected = c.text;
    size_t at = expected.find("{port}");
    if (at != std::string::npos) expected.replace(at, 6, std::to_string(fixture.port()));
    EXPECT_EQ(text, expected);
    EXPECT_EQ(fixture.Exists("source.args"), c.silent);
    if (holder >= 0) close(holder);
  }
}

}  // namespace
