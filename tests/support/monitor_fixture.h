// A monitored server and a plug-in copy configured for it: a program folder with the monitor
// configuration and stylesheets, a real HTTP server on 127.0.0.1 serving the metric list and
// the metric data, and typed calls of the exported functions.
#pragma once

#include <memory>
#include <string>

#include "feedprobe/feedprobe.h"
#include "support/plugin_copy.h"
#include "support/program_folder.h"
#include "support/test_server.h"

namespace testing_support {

// A stylesheet that copies the document unchanged.
extern const char kIdentityStylesheet[];
// A metric list with one component "JVM" and the counters Heap (class Memory) and Threads.
extern const char kSampleList[];
// The identity paths of the two counters of kSampleList.
extern const char kHeapId[];
extern const char kThreadsId[];

// A PerformanceMonitor document like kSampleList with the given values.
std::string SampleData(const std::string& heap, const std::string& threads);

class MonitorFixture {
 public:
  explicit MonitorFixture(std::string type = "alpha");
  ~MonitorFixture();

  ProgramFolder& folder() { return folder_; }
  TestServer& server() { return *server_; }
  PluginCopy& plugin() { return *plugin_; }
  // "127.0.0.1:<port>"
  std::string host() const;

  // Writes the configuration (identity stylesheets, list at /list, data at /data, plus the
  // extra keys), starts the server (routes must be set before) and runs InitMonitor.
  int32_t Start(const std::string& extra_keys = "", std::string* failure = nullptr);
  // Serves the list and data documents (before Start); the data may change while running.
  void ServeSample(const std::string& list = kSampleList);
  void SetData(const std::string& data);
  // Server requests for a path so far.
  int RequestsFor(const std::string& path) const;

  int32_t Activate(const std::string& id, const std::string& host, const char* login = nullptr,
                   std::string* text = nullptr);
  int32_t Deactivate(const std::string& id, const std::string& host, std::string* text = nullptr);
  int32_t NewData(const std::string& id, const std::string& host, SampleRecord* record,
                  std::string* text = nullptr);
  int32_t Test(const std::string& host, const char* login = nullptr, std::string* text = nullptr);
  // Calls GetNewData every interval until it delivers a value or the limit passes.
  int32_t WaitForValue(const std::string& id, const std::string& host, SampleRecord* record,
                       int limit_ms = 10000, int interval_ms = 50);

 private:
  ProgramFolder folder_;
  std::string type_;
  std::unique_ptr<TestServer> server_;
  std::unique_ptr<PluginCopy> plugin_;
  std::shared_ptr<std::string> data_;
  bool started_ = false;
};

}  // namespace testing_support
