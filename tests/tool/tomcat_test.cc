// The tomcat monitor type against a real Apache Tomcat 10 (Debian's tomcat10 and
// tomcat10-admin), started from a private CATALINA_BASE on a free loopback port with a user
// that holds the manager-status role.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>

#include <filesystem>
#include <sstream>

#include "support/monitor_fixture.h"
#include "support/program_folder.h"
#include "tool/host_tool.h"

namespace testing_support {
namespace {

using ::testing::HasSubstr;

const char kCatalinaHome[] = "/usr/share/tomcat10";
const char kManagerApp[] = "/usr/share/tomcat10-admin/manager";

// A Tomcat of its own: conf/ written here, the packaged web.xml and properties copied, the
// manager application of the package deployed by a context file; stopped with SIGTERM.
class PrivateTomcat {
 public:
  PrivateTomcat() : port_(FreePort()) {
    namespace fs = std::filesystem;
    const std::string base = base_.root();
    for (const char* folder : {"logs", "temp", "webapps", "work", "conf/Catalina/localhost"}) {
      fs::create_directories(base + "/" + folder);
    }
    for (const char* file : {"web.xml", "logging.properties", "catalina.properties", "context.xml"}) {
      CopyFile(std::string(kCatalinaHome) + "/etc/" + file, base + "/conf/" + file);
    }
    base_.Write("conf/server.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<Server port="-1" shutdown="SHUTDOWN">
  <GlobalNamingResources>
    <Resource name="UserDatabase" auth="Container" type="org.apache.catalina.UserDatabase"
              factory="org.apache.catalina.users.MemoryUserDatabaseFactory"
              pathname="conf/tomcat-users.xml"/>
  </GlobalNamingResources>
  <Service name="Catalina">
    <Connector address="127.0.0.1" port=")" + std::to_string(port_) + R"(" protocol="HTTP/1.1"
               connectionTimeout="20000"/>
    <Engine name="Catalina" defaultHost="localhost">
      <Realm className="org.apache.catalina.realm.UserDatabaseRealm" resourceName="UserDatabase"/>
      <Host name="localhost" appBase="webapps" unpackWARs="false" autoDeploy="false"/>
    </Engine>
  </Service>
</Server>
)");
    base_.Write("conf/tomcat-users.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<tomcat-users xmlns="http://tomcat.apache.org/xml" version="1.0">
  <role rolename="manager-status"/>
  <user username="monitor" password="s3cret" roles="manager-status"/>
</tomcat-users>
)");
    base_.Write("conf/Catalina/localhost/manager.xml",
                std::string("<Context path=\"/manager\" docBase=\"") + kManagerApp +
                    "\" privileged=\"true\" antiResourceLocking=\"false\"/>\n");
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{std::string(kCatalinaHome) + "/bin/catalina.sh", "run"},
        std::map<std::string, std::string>{
            {"CATALINA_HOME", kCatalinaHome},
            {"CATALINA_BASE", base},
            {"CATALINA_TMPDIR", base + "/temp"},
            {"JAVA_OPTS", "-Xmx256m -XX:TieredStopAtLevel=1 -Djava.awt.headless=true"}});
  }
  ~PrivateTomcat() {
    if (process_) process_->Stop(SIGTERM, std::chrono::seconds(30));
  }

  int port() const { return port_; }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

  // True once the manager answers (401 without a login); false after the limit or when
  // Tomcat ended.
  bool WaitUntilServing(std::chrono::seconds limit) {
    auto until = std::chrono::steady_clock::now() + limit;
    httplib::Client client("127.0.0.1", port_);
    client.set_connection_timeout(std::chrono::seconds(1));
    client.set_read_timeout(std::chrono::seconds(5));
    while (std::chrono::steady_clock::now() < until) {
      if (process_->Wait(std::chrono::milliseconds(0))) return false;
      if (httplib::Result response = client.Get("/manager/status?XML=true")) {
        if (response->status == 401) return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return false;
  }

  std::string log() const { return process_->out() + process_->err(); }

 private:
  ProgramFolder base_;
  int port_;
  std::unique_ptr<ChildProcess> process_;
};

TEST(Tomcat, ListShowsConnectorAndMemoryCountersAndWatchDeliversNumbers) {
  if (!std::filesystem::exists(std::string(kCatalinaHome) + "/bin/catalina.sh") ||
      !std::filesystem::exists(std::string(kManagerApp) + "/WEB-INF/web.xml")) {
    GTEST_SKIP() << "Apache Tomcat 10 is not installed (Debian packages tomcat10 and "
                    "tomcat10-admin; scripts/install-deps.sh installs them as root)";
  }
  PrivateTomcat tomcat;
  ASSERT_TRUE(tomcat.WaitUntilServing(std::chrono::seconds(120))) << tomcat.log();
  const std::vector<std::string> login = {"--user", "monitor", "--password", "s3cret"};
  // Tomcat names the connector after its protocol, address and port, in quotation marks.
  const std::string connector = "\"http-nio-127.0.0.1-" + std::to_string(tomcat.port()) + "\"";

  std::vector<std::string> list_args = {"-m", "tomcat", "list", tomcat.address()};
  list_args.insert(list_args.end(), login.begin(), login.end());
  ProgramResult list = RunHostTool(list_args);
  ASSERT_EQ(list.exit_code, 0) << list.err;
  for (const std::string& path : {"/Connectors/" + connector + "/currentThreadsBusy",
                                  "/Connectors/" + connector + "/requestCount",
                                  std::string("/JVM/Memory/free"), std::string("/JVM/Memory/used"),
                                  std::string("/JVM/MemoryPools/Metaspace/usageUsed")}) {
    EXPECT_THAT(list.out, HasSubstr(path + " ")) << list.out;
  }

  std::vector<std::string> watch_args = {"-m", "tomcat", "watch", tomcat.address(),
                                         "--match", connector + "/requestCount",
                                         "--match", "/JVM/Memory/used", "--count", "3"};
  watch_args.insert(watch_args.end(), login.begin(), login.end());
  ProgramResult watch = RunHostTool(watch_args);
  ASSERT_EQ(watch.exit_code, 0) << watch.err;
  // Every counter delivers a number in the rounds after the first.
  int numbers = 0;
  std::istringstream lines(watch.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("1,", 0) == 0 || line.rfind("round,", 0) == 0) continue;
    size_t state = line.find(",value,");
    ASSERT_NE(state, std::string::npos) << line;
    std::string value = line.substr(state + 7, line.find(',', state + 7) - state - 7);
    char* end = nullptr;
    double number = std::strtod(value.c_str(), &end);
    EXPECT_TRUE(!value.empty() && *end == '\0' && number > 0) << line;
    ++numbers;
  }
  EXPECT_EQ(numbers, 4) << watch.out;
}

}  // namespace
}  // namespace testing_support
