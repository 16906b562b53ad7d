// A soak: 50 host monitors sampled at a short rate against servers that fail every few
// requests, with the resident memory and the open descriptors of the process sampled each
// second. Runs for FEEDPROBE_SOAK_SECONDS (make soak sets it) and is skipped without it.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/monitor_fixture.h"

using testing_support::kHeapId;
using testing_support::OpenDescriptors;
using testing_support::kSampleList;
using testing_support::MonitorFixture;
using testing_support::SampleData;
using testing_support::TestServer;

namespace {

long ResidentKilobytes() {
  long size = 0, resident = 0;
  if (FILE* file = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(file, "%ld %ld", &size, &resident) != 2) resident = 0;
    std::fclose(file);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}


struct Sample {
  long resident_kb;
  int descriptors;
};

TEST(Soak, FiftyHostMonitorsStayFlat) {
  const char* seconds_text = std::getenv("FEEDPROBE_SOAK_SECONDS");
  if (seconds_text == nullptr) GTEST_SKIP() << "FEEDPROBE_SOAK_SECONDS is not set";
  const int seconds = std::max(20, std::atoi(seconds_text));
  const int warm_up = std::max(10, seconds / 4);
  const int kHosts = 50;

  MonitorFixture fixture;
  // Every host is a path prefix on one of 13 servers, four hosts to a server, so that no
  // server's worker pool is held by idle kept-alive connections. Every 7th answer of a data
  // route is a failure, every 13th a broken document, as from a server that restarts now and
  // then.
  auto requests = std::make_shared<std::atomic<int>>(0);
  std::vector<std::unique_ptr<TestServer>> servers;
  for (int i = 0; i < 13; ++i) {
    auto server = std::make_unique<TestServer>();
    server->KeepAliveTimeout(std::chrono::seconds(1)).KeepRequests(false);
    server->Reply(R"(/h\d+/+list)", 200, kSampleList, "text/xml");
    server->Get(R"(/h\d+/+data)", [requests](const httplib::Request&,
                                             httplib::Response& response) {
      int n = ++*requests;
      if (n % 7 == 0) {
        response.status = 503;
        response.set_content("restarting", "text/plain");
      } else if (n % 13 == 0) {
        response.set_content("<PerformanceMonitor><object", "text/xml");
      } else {
        response.set_content(SampleData(std::to_string(n % 1000), "3"), "text/xml");
      }
    });
    server->Start();
    servers.push_back(std::move(server));
  }
  fixture.OmitDefaultUrls();
  ASSERT_EQ(fixture.Start("SamplingRate=200\nMetricListURL=list\nMetricDataURL=data\n"), 0);
  std::vector<std::string> hosts;
  for (int i = 0; i < kHosts; ++i) {
    hosts.push_back("http://127.0.0.1:" + std::to_string(servers[i % servers.size()]->port()) +
                    "/h" + std::to_string(i));
    std::string text;
    ASSERT_EQ(fixture.Activate(kHeapId, hosts.back(), nullptr, &text), 0) << text;
  }

  std::vector<Sample> samples;
  long values = 0, failures = 0;
  auto start = std::chrono::steady_clock::now();
  auto next_sample = start;
  while (std::chrono::steady_clock::now() - start < std::chrono::seconds(seconds)) {
    for (const std::string& host : hosts) {
      SampleRecord record{};
      std::string text;
      int32_t result = fixture.NewData(kHeapId, host, &record, &text);
      if (result == 0) ++values;
      if (result == 2 && !text.empty()) ++failures;
    }
    if (std::chrono::steady_clock::now() >= next_sample) {
      samples.push_back({ResidentKilobytes(), OpenDescriptors()});
      next_sample += std::chrono::seconds(1);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  for (const std::string& host : hosts) fixture.Deactivate(kHeapId, host);
  fixture.plugin().Terminate();
  servers.clear();

  ASSERT_GT(static_cast<int>(samples.size()), warm_up + 5);
  const Sample& settled = samples[warm_up];
  long peak_kb = 0;
  int peak_descriptors = 0;
  for (size_t i = warm_up; i < samples.size(); ++i) {
    peak_kb = std::max(peak_kb, samples[i].resident_kb);
    peak_descriptors = std::max(peak_descriptors, samples[i].descriptors);
  }
  std::printf("soak: %d s, %d hosts, %ld values, %ld failure texts, %d requests\n", seconds,
              kHosts, values, failures, requests->load());
  std::printf("soak: resident %ld kB after warm-up, %ld kB peak, %ld kB at the end\n",
              settled.resident_kb, peak_kb, samples.back().resident_kb);
  std::printf("soak: descriptors %d after warm-up, %d peak, %d at the end\n",
              settled.descriptors, peak_descriptors, samples.back().descriptors);

  EXPECT_GT(values, 0);
  EXPECT_GT(failures, 0);
  // Memory: allocator arenas and caches are filled in the warm-up; a leak of one kilobyte per
  // data pass would add some 25 MB a minute here, so 16 MB over the settled figure is a
  // margin that lets the allocator breathe and still catches such a leak.
  EXPECT_LE(samples.back().resident_kb - settled.resident_kb, 16 * 1024);
  EXPECT_LE(peak_kb - settled.resident_kb, 24 * 1024);
  // Descriptors: both ends of each connection are in this process. A failed transfer closes
  // its connection and the next pass opens one, and the servers close connections idle for a
  // second, so some twenty may be opening or closing when sampled; a leak of one per failure
  // would add hundreds a minute.
  EXPECT_LE(peak_descriptors - settled.descriptors, 30);
  EXPECT_LE(samples.back().descriptors, settled.descriptors + 20);
}

}  // namespace
