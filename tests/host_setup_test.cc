// Setting up a host monitor end to end: the server address and request URLs, login
// information, the login exchange and its retry window, the recovery from "Host not found",
// counter activation mode, bad input and the extension library.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <thread>

#include "support/monitor_fixture.h"
#include "support/test_certificates.h"

using testing::HasSubstr;
using testing::Not;
using testing_support::kHeapId;
using testing_support::kSampleList;
using testing_support::kThreadsId;
using testing_support::MonitorFixture;
using testing_support::ReceivedRequest;
using testing_support::SampleData;
using testing_support::ScopedEnv;

namespace {

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// Every GET gets the sample data, which also serves as a metric list.
void ServeEverything(MonitorFixture& fixture) {
  fixture.server().Get(".*", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(SampleData("12.5", "7"), "text/xml");
  });
}

// Answers GET on the path with first_body for the first `times` requests, then with the rest.
void ServeFlaky(MonitorFixture& fixture, const std::string& path, std::string first_body,
                std::string then_body, int times = 1) {
  auto count = std::make_shared<std::atomic<int>>(0);
  fixture.server().Get(path, [=](const httplib::Request&, httplib::Response& response) {
    response.set_content(++*count <= times ? first_body : then_body, "text/xml");
  });
}

// Answers POST on the path with the reply.
void ReplyToPosts(MonitorFixture& fixture, const std::string& path, std::string reply) {
  fixture.server().Post(path, [reply](const httplib::Request&, httplib::Response& response) {
    response.set_content(reply, "text/plain");
  });
}

std::vector<std::string> GetTargets(MonitorFixture& fixture) {
  std::vector<std::string> targets;
  for (const ReceivedRequest& request : fixture.server().received())
    if (request.method == "GET") targets.push_back(request.target);
  return targets;
}

// The attributes of the first element of that name, as an XML parser reads them.
std::map<std::string, std::string> Attributes(const std::string& xml, const std::string& element) {
  std::map<std::string, std::string> attributes;
  size_t i = xml.find("<" + element);
  if (i == std::string::npos) return attributes;
  i += element.size() + 1;
  auto decode = [](const std::string& raw) {
    static const std::pair<const char*, char> kEntities[] = {
        {"&quot;", '"'}, {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&apos;", '\''},
        {"&#34;", '"'},  {"&#38;", '&'}, {"&#60;", '<'}, {"&#39;", '\''}};
    std::string out;
    for (size_t k = 0; k < raw.size();) {
      bool matched = false;
      for (const auto& [entity, c] : kEntities) {
        if (raw.compare(k, std::strlen(entity), entity) == 0) {
          out += c;
          k += std::strlen(entity);
          matched = true;
          break;
        }
      }
      if (!matched) out += raw[k++];
    }
    return out;
  };
  for (;;) {
    while (i < xml.size() && std::isspace(static_cast<unsigned char>(xml[i]))) ++i;
    if (i >= xml.size() || xml[i] == '/' || xml[i] == '>') break;
    size_t equals = xml.find('=', i);
    if (equals == std::string::npos || equals + 1 >= xml.size()) break;
    char quote = xml[equals + 1];
    size_t close = xml.find(quote, equals + 2);
    if (close == std::string::npos) break;
    attributes[xml.substr(i, equals - i)] = decode(xml.substr(equals + 2, close - equals - 2));
    i = close + 1;
  }
  return attributes;
}

TEST(HostSetup, AddressesAndRequestUrls) {
  const std::string urls = "MetricListURL=/list\nMetricDataURL=/data\n";
  const std::string pid = std::to_string(getpid());
  struct Case {
    const char* name;
    std::string host;
    std::string keys;
    std::string login;  // empty: none
    std::string list_target;
    std::string data_target;
  } cases[] = {
      {"path before relative URLs", "127.0.0.1:{port}/perf/",
       "MetricListURL=list.xml\nMetricDataURL=data.xml\n", "", "/perf/list.xml", "/perf/data.xml"},
      {"source host and %h", "farm-a",
       "SourceHost=127.0.0.1:{port}\nMetricListURL=/list?of=%h\nMetricDataURL=/data?id=%h\n", "",
       "/list?of=" + pid + ":farm-a", "/data?id=" + pid + ":farm-a"},
      {"default port", "127.0.0.1", "DefaultPort={port}\n" + urls, "", "/list", "/data"},
      {"default port instead of 80", "127.0.0.1:80", "DefaultPort={port}\n" + urls, "", "/list",
       "/data"},
      {"login port", "127.0.0.1:1", urls,
       R"(username="u" password="p" port="{port}" useHttps="")", "/list", "/data"},
      {"login port 0", "127.0.0.1:{port}", urls,
       R"(username="u" password="p" port="0" useHttps="")", "/list", "/data"},
      {"login port abc", "127.0.0.1:{port}", urls,
       R"(username="u" password="p" port="abc" useHttps="")", "/list", "/data"},
      {"account values percent-encoded", "127.0.0.1:{port}",
       "EnableAccount=1\nMetricListURL=/list?v=1\nMetricDataURL=/data?v=1\n",
       R"(username="u s" password="p&w=1#" port="" useHttps="" account="a/b")",
       "/list?v=1&account=a%2Fb&_login=u%20s&_password=p%26w%3D1%23",
       "/data?v=1&account=a%2Fb&_login=u%20s&_password=p%26w%3D1%23"},
      {"account mode without account", "127.0.0.1:{port}",
       "EnableAccount=1\nMetricListURL=/list?v=1\nMetricDataURL=/data?v=1\n",
       R"(username="u" password="p" port="" useHttps="" account="")", "/list?v=1", "/data?v=1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MonitorFixture fixture;
    fixture.OmitDefaultUrls();
    ServeEverything(fixture);
    fixture.StartServer();
    const std::string port = std::to_string(fixture.server().port());
    ASSERT_EQ(fixture.Start("SamplingRate=3000\n" + Replace(c.keys, "{port}", port)), 0);
    std::string host = Replace(c.host, "{port}", port);
    std::string login = Replace(c.login, "{port}", port);
    std::string text;
    ASSERT_EQ(fixture.Activate(kHeapId, host, c.login.empty() ? nullptr : login.c_str(), &text), 0)
        << text;
    SampleRecord record{};
    ASSERT_EQ(fixture.WaitForValue(kHeapId, host, &record), 0);
    std::vector<std::string> targets = GetTargets(fixture);
    ASSERT_GE(targets.size(), 2u);
    EXPECT_EQ(targets.front(), c.list_target);
    EXPECT_EQ(targets.back(), c.data_target);
  }
}

TEST(HostSetup, LoginInformationAddsHttps) {
  testing_support::TestCertificates certificates;
  testing_support::TestServer secure(
      {certificates.server().certificate, certificates.server().key, ""});
  secure.Get(".*", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(kSampleList, "text/xml");
  });
  secure.Start();
  MonitorFixture fixture;
  ASSERT_EQ(fixture.Start("CertificateAuthorityFile=" + certificates.authority().certificate + "\n"),
            0);
  std::string host = "127.0.0.1:" + std::to_string(secure.port());
  std::string text;
  EXPECT_EQ(fixture.Test(host, R"(username="u" password="p" port="" useHttps="1")", &text), 0)
      << text;
  EXPECT_EQ(secure.requests(), 1);
  // Without the choice the same address is asked in plain HTTP, which the server refuses.
  EXPECT_EQ(fixture.Test(host, R"(username="u" password="p" port="" useHttps="0")", &text), 1);
}

TEST(HostSetup, LoginDocumentCarriesEveryValueEscaped) {
  MonitorFixture fixture;
  fixture.ServeSample();
  ReplyToPosts(fixture, "/init", "OK");
  fixture.StartServer();
  ASSERT_EQ(fixture.Start("InitHostURL=/init\nSourceHost=" + fixture.host() + "\n"), 0);
  const std::string password = R"(a" evil="1&<'>)";
  std::string login = R"(username="u" password=")" + password + R"(" port="" useHttps="")";
  std::string text;
  ASSERT_EQ(fixture.Activate(kHeapId, "farm-a", login.c_str(), &text), 0) << text;
  std::vector<ReceivedRequest> posts = fixture.RequestsTo("/init");
  ASSERT_EQ(posts.size(), 1u);
  const std::string& body = posts[0].body;
  std::map<std::string, std::string> expected = {
      {"username", "u"}, {"password", password}, {"port", ""}, {"useHttps", ""}};
  EXPECT_EQ(Attributes(body, "LoginInfo"), expected) << body;
  std::map<std::string, std::string> root = Attributes(body, "PerformanceMonitor");
  EXPECT_EQ(root["host"], "farm-a");
  EXPECT_EQ(root["hosttype"], "alpha");
}

TEST(HostSetup, InitHostReplyMustBeExactlyOk) {
  struct Case {
    const char* reply;
    int32_t result;
    const char* text;
  } cases[] = {{"OK", 0, ""}, {"OK ", 6, "OK "}, {"ok", 6, "ok"}, {"", 6, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("reply '") + c.reply + "'");
    MonitorFixture fixture;
    fixture.ServeSample();
    ReplyToPosts(fixture, "/init", c.reply);
    ASSERT_EQ(fixture.Start("InitHostURL=/init\n"), 0);
    std::string text = "x";
    EXPECT_EQ(fixture.Activate(kHeapId, fixture.host(), nullptr, &text), c.result);
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(fixture.RequestsFor("/init"), 1);
    EXPECT_EQ(fixture.RequestsFor("/list"), c.result == 0 ? 1 : 0);
  }
}

TEST(HostSetup, FailingHostIsNotRetriedWithinTheWindow) {
  MonitorFixture fixture;
  fixture.ServeSample();
  ReplyToPosts(fixture, "/init", "refused");
  ASSERT_EQ(fixture.Start("InitHostURL=/init\n"), 0);
  std::string text;
  EXPECT_EQ(fixture.Activate(kHeapId, fixture.host(), nullptr, &text), 6);
  EXPECT_EQ(text, "refused");
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_EQ(fixture.Activate(kHeapId, fixture.host(), nullptr, &text), 6);
  EXPECT_EQ(text, "");
  EXPECT_EQ(fixture.RequestsFor("/init"), 1);
  std::this_thread::sleep_for(std::chrono::seconds(4));
  EXPECT_EQ(fixture.Activate(kHeapId, fixture.host(), nullptr, &text), 6);
  EXPECT_EQ(fixture.RequestsFor("/init"), 2);
}

TEST(HostSetup, HostNotFoundIsRecoveredOnce) {
  struct Case {
    const char* name;
    const char* failing_path;
    const char* body;
    bool recovered;
  } cases[] = {
      {"list: Host not found", "/list", "Host not found", true},
      {"list: other text", "/list", "Host not found ", false},
      {"data: Host not found", "/data", "Host not found", true},
      {"data: other text", "/data", "<html>down", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MonitorFixture fixture;
    bool list_fails = std::string(c.failing_path) == "/list";
    ServeFlaky(fixture, "/list", list_fails ? c.body : kSampleList, kSampleList);
    ServeFlaky(fixture, "/data", list_fails ? SampleData("1", "2") : c.body, SampleData("1", "2"));
    ReplyToPosts(fixture, "/init", "OK");
    ReplyToPosts(fixture, "/request", "");
    // Counter activation mode gives the re-send of the activations a target to count.
    ASSERT_EQ(fixture.Start("SamplingRate=3000\nInitHostURL=/init\nActivateCounters=1\n"
                            "MetricRequestURL=/request\n"),
              0);
    ASSERT_EQ(fixture.Activate(kHeapId, fixture.host()), 0);
    if (list_fails) {
      EXPECT_EQ(fixture.RequestsFor("/list"), c.recovered ? 2 : 1);
      EXPECT_EQ(fixture.RequestsFor("/init"), c.recovered ? 2 : 1);
      continue;
    }
    EXPECT_EQ(fixture.NewData(kHeapId, fixture.host(), nullptr), 1);  // sends the activation
    EXPECT_EQ(fixture.RequestsFor("/request"), 1);
    SampleRecord record{};
    int32_t result = -1;
    for (int i = 0; i < 200 && result != 0 && result != 2; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      result = fixture.NewData(kHeapId, fixture.host(), &record);
    }
    EXPECT_EQ(result, c.recovered ? 0 : 2);
    EXPECT_EQ(fixture.RequestsFor("/data"), c.recovered ? 2 : 1);
    EXPECT_EQ(fixture.RequestsFor("/init"), c.recovered ? 2 : 1);
    EXPECT_EQ(fixture.RequestsFor("/request"), c.recovered ? 2 : 1);
  }
}

TEST(HostSetup, CounterActivationModeSendsRequestsLazily) {
  MonitorFixture fixture;
  fixture.ServeSample();
  ReplyToPosts(fixture, "/request", "");
  ReplyToPosts(fixture, "/shutdown", "");
  ASSERT_EQ(fixture.Start("SamplingRate=100\nActivateCounters=1\nMetricRequestURL=/request\n"
                          "ShutdownHostURL=/shutdown\n"),
            0);
  const std::string heap_enabled = R"(desc="Heap in use" enabled="1")";
  ASSERT_EQ(fixture.Activate(kHeapId, fixture.host()), 0);
  EXPECT_EQ(fixture.RequestsFor("/request"), 0);
  EXPECT_EQ(fixture.NewData(kHeapId, fixture.host(), nullptr), 1);
  std::vector<ReceivedRequest> requests = fixture.RequestsTo("/request");
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_THAT(requests[0].body, HasSubstr(heap_enabled));
  SampleRecord record{};
  ASSERT_EQ(fixture.WaitForValue(kHeapId, fixture.host(), &record), 0);

  // A value is stored again, but a pending request comes first.
  ASSERT_EQ(fixture.Activate(kThreadsId, fixture.host()), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(fixture.NewData(kHeapId, fixture.host(), &record), 1);
  requests = fixture.RequestsTo("/request");
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_THAT(requests[1].body, HasSubstr(R"(<counter name="Threads" enabled="1")"));
  EXPECT_EQ(fixture.NewData(kHeapId, fixture.host(), &record), 0);

  // The last deactivation sends the pending request with the counters disabled, then shuts down.
  EXPECT_EQ(fixture.Deactivate(kHeapId, fixture.host()), 0);
  EXPECT_EQ(fixture.RequestsFor("/request"), 2);
  EXPECT_EQ(fixture.Deactivate(kThreadsId, fixture.host()), 0);
  requests = fixture.RequestsTo("/request");
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_THAT(requests[2].body, HasSubstr(R"(desc="Heap in use" enabled="0")"));
  EXPECT_THAT(requests[2].body, HasSubstr(R"(<counter name="Threads" enabled="0")"));
  std::vector<ReceivedRequest> shutdowns = fixture.RequestsTo("/shutdown");
  ASSERT_EQ(shutdowns.size(), 1u);
  EXPECT_THAT(shutdowns[0].body, HasSubstr("<PerformanceMonitor"));
  EXPECT_THAT(shutdowns[0].body, Not(HasSubstr("counter")));
}

TEST(HostSetup, BadInputLeavesOtherMeasurementsWorking) {
  MonitorFixture fixture;
  fixture.ServeSample();
  ASSERT_EQ(fixture.Start("SamplingRate=100\n"), 0);
  std::string text = "x";
  EXPECT_EQ(fixture.Activate(kHeapId, "", nullptr, &text), 6);
  EXPECT_EQ(text, "");
  const std::string broken = "/PerformanceMonitor/[[";
  EXPECT_EQ(fixture.Activate(broken, fixture.host(), nullptr, &text), 0) << text;
  EXPECT_EQ(fixture.Activate(kHeapId, fixture.host(), nullptr, &text), 0) << text;
  SampleRecord record{};
  ASSERT_EQ(fixture.WaitForValue(kHeapId, fixture.host(), &record), 0);
  EXPECT_DOUBLE_EQ(record.value, 12.5);
  EXPECT_EQ(fixture.NewData(broken, fixture.host(), &record), 1);
  EXPECT_EQ(fixture.Deactivate(broken, fixture.host()), 0);
  EXPECT_EQ(fixture.Deactivate(kHeapId, fixture.host()), 0);
}

TEST(HostSetup, ExtensionLibraryStartsTheSource) {
  MonitorFixture fixture;
  fixture.ServeSample();
  testing_support::CopyFile(std::string(FEEDPROBE_TEST_FIXTURES_DIR) + "/test_extension.so",
                            fixture.folder().bin() + "test_extension.so");
  fixture.StartServer();
  ASSERT_EQ(fixture.Start("ExtensionDll=test_extension.so\n"), 0);
  {
    // The extension moves the host monitor to the port where the server listens.
    ScopedEnv port("FEEDPROBE_TEST_EXTENSION_PORT", std::to_string(fixture.server().port()));
    std::string text;
    EXPECT_EQ(fixture.Activate(kHeapId, "localhost:1", nullptr, &text), 0) << text;
    EXPECT_EQ(fixture.RequestsFor("/list"), 1);
    EXPECT_EQ(fixture.Deactivate(kHeapId, "localhost:1"), 0);
  }
  {
    ScopedEnv failure("FEEDPROBE_TEST_EXTENSION_FAIL", "no source for you");
    std::string text;
    EXPECT_EQ(fixture.Test("localhost:1", nullptr, &text), 1);
    EXPECT_EQ(text, "no source for you");
    // Only a host that names the local machine asks the extension.
    EXPECT_EQ(fixture.Test(fixture.host(), nullptr, &text), 0) << text;
  }
}

}  // namespace
