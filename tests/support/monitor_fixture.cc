#include "support/monitor_fixture.h"

#include <dirent.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <mutex>
#include <thread>
#include <vector>

namespace testing_support {

const char kIdentityStylesheet[] = R"xsl(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:template match="@*|node()"><xsl:copy><xsl:apply-templates select="@*|node()"/></xsl:copy></xsl:template>
</xsl:stylesheet>)xsl";

const char kSampleList[] = R"(<PerformanceMonitor>
  <object name="JVM">
    <counter name="Heap" class="Memory" desc="Heap in use"/>
    <counter name="Threads"/>
  </object>
</PerformanceMonitor>)";

const char kHeapId[] =
    "/PerformanceMonitor/object[(@name=\"JVM\")]/counter[(@name=\"Heap\") and (@class=\"Memory\")]";
const char kThreadsId[] = "/PerformanceMonitor/object[(@name=\"JVM\")]/counter[(@name=\"Threads\")]";

std::string SampleData(const std::string& heap, const std::string& threads) {
  return "<PerformanceMonitor><object name=\"JVM\"><counter name=\"Heap\" class=\"Memory\" val=\"" +
         heap + "\"/><counter name=\"Threads\" val=\"" + threads +
         "\"/></object></PerformanceMonitor>";
}

namespace {
std::mutex data_mutex;
}

MonitorFixture::MonitorFixture(std::string type)
    : type_(std::move(type)), server_(std::make_unique<TestServer>()),
      data_(std::make_shared<std::string>(SampleData("12.5", "7"))) {}

MonitorFixture::~MonitorFixture() {
  if (plugin_) plugin_->Terminate();
  plugin_.reset();
  server_.reset();
}

std::string MonitorFixture::host() const { return "127.0.0.1:" + std::to_string(server_->port()); }

void MonitorFixture::ServeSample(const std::string& list) {
  server_->Reply("/list", 200, list, "text/xml");
  std::shared_ptr<std::string> data = data_;
  server_->Get("/data", [data](const httplib::Request&, httplib::Response& response) {
    std::lock_guard<std::mutex> lock(data_mutex);
    response.set_content(*data, "text/xml");
  });
}

void MonitorFixture::SetData(const std::string& data) {
  std::lock_guard<std::mutex> lock(data_mutex);
  *data_ = data;
}

void MonitorFixture::StartServer() {
  if (!started_) {
    server_->Start();
    started_ = true;
  }
}

int32_t MonitorFixture::Start(const std::string& extra_keys, std::string* failure) {
  StartServer();
  folder_.Write("dat/monitors/identity.xsl", kIdentityStylesheet);
  folder_.WriteMonitorConfig(type_ + ".ini", "[" + type_ + "]\n"
                             "MetricListXSL=../dat/monitors/identity.xsl\n"
                             "MetricDataXSL=../dat/monitors/identity.xsl\n"
                             "MetricRequestXSL=../dat/monitors/identity.xsl\n" +
                             std::string(default_urls_ ? "MetricListURL=/list\nMetricDataURL=/data\n" : "") +
                             extra_keys);
  if (!plugin_) plugin_ = std::make_unique<PluginCopy>(folder_, type_);
  return plugin_->Init(failure);
}

int MonitorFixture::RequestsFor(const std::string& path) const {
  int count = 0;
  for (const ReceivedRequest& request : server_->received())
    if (request.path == path) ++count;
  return count;
}

std::vector<ReceivedRequest> MonitorFixture::RequestsTo(const std::string& path) const {
  std::vector<ReceivedRequest> requests;
  for (const ReceivedRequest& request : server_->received())
    if (request.path == path) requests.push_back(request);
  return requests;
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
  setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() { unsetenv(name_.c_str()); }

int OpenDescriptors() {
  int count = 0;
  if (DIR* folder = opendir("/proc/self/fd")) {
    while (readdir(folder) != nullptr) ++count;
    closedir(folder);
  }
  return count;
}

int FreePort() {
  int socket_fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  int port = -1;
  if (bind(socket_fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
      getsockname(socket_fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
    port = ntohs(address.sin_port);
  close(socket_fd);
  return port;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

namespace {
std::string Collect(const std::vector<char>& buffer) { return std::string(buffer.data()); }
}  // namespace

int32_t MonitorFixture::Activate(const std::string& id, const std::string& host, const char* login,
                                 std::string* text) {
  std::vector<char> buffer(1024, '\0');
  int32_t result = plugin_->Get<decltype(::ActivateMeasurement)>("ActivateMeasurement")(
      id.c_str(), host.c_str(), login, buffer.data(), 1024);
  if (text) *text = Collect(buffer);
  return result;
}

int32_t MonitorFixture::Deactivate(const std::string& id, const std::string& host,
                                   std::string* text) {
  std::vector<char> buffer(1024, '\0');
  int32_t result = plugin_->Get<decltype(::DeActivateMeasurement)>("DeActivateMeasurement")(
      id.c_str(), host.c_str(), buffer.data(), 1024);
  if (text) *text = Collect(buffer);
  return result;
}

int32_t MonitorFixture::NewData(const std::string& id, const std::string& host,
                                SampleRecord* record, std::string* text) {
  std::vector<char> buffer(1024, '\0');
  SampleRecord ignored{};
  int32_t result = plugin_->Get<decltype(::GetNewData)>("GetNewData")(
      id.c_str(), host.c_str(), record ? record : &ignored, buffer.data(), 1024);
  if (text) *text = Collect(buffer);
  return result;
}

int32_t MonitorFixture::Test(const std::string& host, const char* login, std::string* text) {
  std::vector<char> buffer(1024, '\0');
  int32_t result = plugin_->Get<decltype(::TestMachine)>("TestMachine")(host.c_str(), login,
                                                                        buffer.data(), 1024);
  if (text) *text = Collect(buffer);
  return result;
}

int32_t MonitorFixture::WaitForValue(const std::string& id, const std::string& host,
                                     SampleRecord* record, int limit_ms, int interval_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
  int32_t result = -1;
  while (std::chrono::steady_clock::now() < deadline) {
    result = NewData(id, host, record);
    if (result == 0) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(interval_ms));
  }
  return result;
}

}  // namespace testing_support
