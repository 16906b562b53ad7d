#include "support/monitor_fixture.h"

#include <chrono>
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

int32_t MonitorFixture::Start(const std::string& extra_keys, std::string* failure) {
  if (!started_) {
    server_->Start();
    started_ = true;
  }
  folder_.Write("dat/monitors/identity.xsl", kIdentityStylesheet);
  folder_.WriteMonitorConfig(type_ + ".ini", "[" + type_ + "]\n"
                             "MetricListXSL=../dat/monitors/identity.xsl\n"
                             "MetricDataXSL=../dat/monitors/identity.xsl\n"
                             "MetricRequestXSL=../dat/monitors/identity.xsl\n"
                             "MetricListURL=/list\n"
                             "MetricDataURL=/data\n" +
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
