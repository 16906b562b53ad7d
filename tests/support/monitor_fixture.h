// A monitored server and a plug-in copy configured for it: a program folder with the monitor
// configuration and stylesheets, a real HTTP server on 127.0.0.1 serving the metric list and
// the metric data, and typed calls of the exported functions.
#pragma once

#include <memory>
#include <string>
#include <vector>

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

// Sets an environment variable for its lifetime (unset afterwards).
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
};

// A port on 127.0.0.1 that nothing listened on a moment ago.
int FreePort();

// The whole content of a file; empty when it cannot be read.
std::string ReadFile(const std::string& path);

// Entries of /proc/self/fd: the descriptors this process has open (plus the one that reads them).
int OpenDescriptors();

class MonitorFixture {
 public:
  explicit MonitorFixture(std::string type = "alpha");
  ~MonitorFixture();

  ProgramFolder& folder() { return folder_; }
  const ProgramFolder& folder() const { return folder_; }
  TestServer& server() { return *server_; }
  PluginCopy& plugin() { return *plugin_; }
  // "127.0.0.1:<port>"
  std::string host() const;

  // Starts the server (routes must be set before); Start does it too.
  void StartServer();
  // Writes the configuration (identity stylesheets, list at /list, data at /data unless
  // OmitDefaultUrls, plus the extra keys), starts the server and runs InitMonitor.
  int32_t Start(const std::string& extra_keys = "", std::string* failure = nullptr);
  void OmitDefaultUrls() { default_urls_ = false; }
  // Serves the list and data documents (before Start); the data may change while running.
  void ServeSample(const std::string& list = kSampleList);
  void SetData(const std::string& data);
  // Server requests for a path so far.
  int RequestsFor(const std::string& path) const;
  // The server's requests for a path so far, in order.
  std::vector<ReceivedRequest> RequestsTo(const std::string& path) const;

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
  bool default_urls_ = true;
};

}  // namespace testing_support
