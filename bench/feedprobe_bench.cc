// The plug-in's data path against the XML engine's own cost, with real servers on 127.0.0.1:
//   baseline/N              bare libxml2 parse + libxslt transform of the status document
//   data_pass/N/P           fetch, parse, transform and value extraction, P % of N counters active
//   list_pass/N             fetch, parse and transform of the metric list
//   measurement_collection/N  list pass, AnnotateCounters and the annotated text
//   get_new_data/N          one GetNewData call with N active measurements of one host
//   many_hosts/H/C          H host monitors x C active counters at 3000 ms for a while: CPU
//                           time per second of the whole process, resident memory per monitor
// --smoke runs each once with small sizes (for CI: it checks that the suite builds and runs).
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxslt/transform.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltutils.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench_server.h"
#include "documents.h"
#include "feedprobe/collection/host_monitor.h"
#include "feedprobe/collection/measurements.h"
#include "feedprobe/plugin/lifecycle.h"
#include "feedprobe/plugin/plugin_state.h"
#include "feedprobe/plugin/small_entry_points.h"
#include "feedprobe/selection/measurement_collection.h"
#include "platform/os/paths.h"
#include "platform/os/process.h"
#include "support/program_folder.h"

namespace feedprobe_bench {
namespace {

bool g_smoke = false;
// --many_hosts=HOSTS/COUNTERS/SECONDS replaces the sizes of the many-hosts benchmark.
int g_hosts = 100, g_counters = 100, g_seconds = 30;

// The plug-in linked into this program, configured in a program folder of its own; its
// monitor type is this program's file name.
class Plugin {
 public:
  static Plugin& Get() {
    if (!instance_) instance_.reset(new Plugin());
    return *instance_;
  }
  // Terminates the plug-in and removes its program folder.
  static void Finish() { instance_.reset(); }
  ~Plugin() { feedprobe::TerminateMonitor(); }

  // Activates the counters every `step`-th of ids for the host; the first creates the host
  // monitor and loads its metric list.
  std::shared_ptr<feedprobe::HostMonitor> Activate(const std::string& host,
                                                   const std::vector<std::string>& ids,
                                                   int step) {
    char text[1024] = {};
    for (size_t i = 0; i < ids.size(); i += step) {
      if (feedprobe::ActivateMeasurement(ids[i].c_str(), host.c_str(), nullptr, text,
                                         sizeof text) != 0)
        throw std::runtime_error("activation failed: " + std::string(text));
    }
    return feedprobe::State().registry->Find(host);
  }
  // Deactivates them again, which releases the host monitor.
  void Deactivate(const std::string& host, const std::vector<std::string>& ids, int step) {
    char text[1024] = {};
    for (size_t i = 0; i < ids.size(); i += step)
      feedprobe::DeActivateMeasurement(ids[i].c_str(), host.c_str(), text, sizeof text);
  }

 private:
  Plugin() {
    std::string type = platform::FileNameOf(platform::ModulePath());
    folder_.Write("dat/monitors/list.xsl", kListStylesheet);
    folder_.Write("dat/monitors/data.xsl", kDataStylesheet);
    folder_.Write("dat/monitors/descriptions.xml",
                  "<descriptions><object class=\"JVM\">The Java virtual machine.</object>"
                  "<counter name=\"Heap\" class=\"Memory\">Heap in use.</counter></descriptions>");
    folder_.WriteMonitorConfig(type + ".ini", "[" + type + "]\n"
                               "MetricListXSL=../dat/monitors/list.xsl\n"
                               "MetricDataXSL=../dat/monitors/data.xsl\n"
                               "MetricRequestXSL=../dat/monitors/list.xsl\n"
                               "DescriptionFile=../dat/monitors/descriptions.xml\n"
                               "ShowNameWhenNoDescription=0\n"
                               "MetricListURL=/status\nMetricDataURL=/status\n");
    char text[1024] = {};
    if (feedprobe::InitMonitor(nullptr, text, sizeof text) != 0)
      throw std::runtime_error("InitMonitor failed: " + std::string(text));
  }

  static inline std::unique_ptr<Plugin> instance_;
  testing_support::ProgramFolder folder_;
};

// A server on 127.0.0.1 serving a status document of N values at /status.
struct Site {
  explicit Site(int values)
      : ids(CounterIds(values)),
        server(StatusDocument(values, 1)),
        host("127.0.0.1:" + std::to_string(server.port())) {}
  std::vector<std::string> ids;
  BenchServer server;
  std::string host;
};

// Data passes run on the benchmark's thread: the sampling threads must never find a pass due.
void HoldSamplingThreads() { feedprobe::State().sampling_rate = UINT32_MAX; }

void Baseline(benchmark::State& state, int values) {
  std::string text = StatusDocument(values, 1);
  xmlDocPtr sheet = xmlReadMemory(kDataStylesheet, static_cast<int>(std::strlen(kDataStylesheet)), nullptr, nullptr,
                                  XML_PARSE_NONET);
  xsltStylesheetPtr style = xsltParseStylesheetDoc(sheet);
  if (style == nullptr) {
    state.SkipWithError("stylesheet");
    return;
  }
  for (auto _ : state) {
    xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                                  XML_PARSE_NONET);
    xmlDocPtr result = xsltApplyStylesheet(style, doc, nullptr);
    benchmark::DoNotOptimize(result);
    xmlFreeDoc(result);
    xmlFreeDoc(doc);
  }
  xsltFreeStylesheet(style);
  state.counters["bytes"] = static_cast<double>(text.size());
}

// The same through the plug-in's XML engine layer, without fetch and extraction.
void Engine(benchmark::State& state, int values) {
  std::string text = StatusDocument(values, 1);
  platform::xml::XmlDocument sheet;
  sheet.LoadXml(kDataStylesheet);
  for (auto _ : state) {
    platform::xml::XmlDocument source, result;
    source.LoadBytes(text);
    if (!source.TransformNodeToObject(sheet.DocumentElement(), result)) {
      state.SkipWithError("transform");
      break;
    }
  }
}

void DataPass(benchmark::State& state, int values, int percent) {
  Plugin& plugin = Plugin::Get();
  HoldSamplingThreads();
  Site site(values);
  int step = 100 / percent;
  auto monitor = plugin.Activate(site.host, site.ids, step);
  for (auto _ : state) {
    if (!monitor->DataPass()) {
      state.SkipWithError("data pass failed");
      break;
    }
  }
  size_t stored;
  {
    std::lock_guard<std::mutex> lock(monitor->values_mutex());
    stored = monitor->value_table().size();
  }
  if (stored != (site.ids.size() + step - 1) / step) state.SkipWithError("values missing");
  state.counters["active"] = static_cast<double>(stored);
  monitor.reset();
  plugin.Deactivate(site.host, site.ids, step);
}

void ListPass(benchmark::State& state, int values) {
  Plugin& plugin = Plugin::Get();
  HoldSamplingThreads();
  Site site(values);
  auto monitor = plugin.Activate(site.host, site.ids, site.ids.size());
  for (auto _ : state) {
    if (!monitor->ListPass()) state.SkipWithError("list pass failed");
  }
  monitor.reset();
  plugin.Deactivate(site.host, site.ids, site.ids.size());
}

void MeasurementCollection(benchmark::State& state, int values) {
  Plugin& plugin = Plugin::Get();
  HoldSamplingThreads();
  Site site(values);
  // An active measurement keeps the host monitor between calls, as a host that measures does.
  auto monitor = plugin.Activate(site.host, site.ids, site.ids.size());
  HostLoginRecord login = {};
  std::snprintf(login.machine_name, sizeof login.machine_name, "%s", site.host.c_str());
  char text[1024] = {};
  size_t length = 0;
  for (auto _ : state) {
    char* output = nullptr;
    if (feedprobe::GetMeasurementsCollection(&login, nullptr, &output, text, sizeof text) != 0) {
      state.SkipWithError("GetMeasurementsCollection failed");
      break;
    }
    length = output ? std::char_traits<char>::length(output) : 0;
    feedprobe::FreeMonitorStringAllocation(&output);
  }
  state.counters["bytes"] = static_cast<double>(length);
  monitor.reset();
  plugin.Deactivate(site.host, site.ids, site.ids.size());
}

void GetNewData(benchmark::State& state, int values) {
  Plugin& plugin = Plugin::Get();
  HoldSamplingThreads();
  Site site(values);
  auto monitor = plugin.Activate(site.host, site.ids, 1);
  monitor->DataPass();
  SampleRecord record = {};
  char text[1024] = {};
  size_t next = 0;
  int64_t delivered = 0;
  for (auto _ : state) {
    if (feedprobe::GetNewData(site.ids[next].c_str(), site.host.c_str(), &record, text,
                              sizeof text) == 0)
      ++delivered;
    if (++next == site.ids.size()) {
      // A new pass, as the sampling thread makes one per rate: every call delivers a value.
      state.PauseTiming();
      monitor->DataPass();
      next = 0;
      state.ResumeTiming();
    }
  }
  state.counters["delivered"] =
      benchmark::Counter(static_cast<double>(delivered) / state.iterations());
  monitor.reset();
  plugin.Deactivate(site.host, site.ids, 1);
}

int64_t ResidentBytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stoll(line.substr(6)) * 1024;
  }
  return 0;
}

// Servers in a process of their own, so that only the plug-in's work is measured here.
class ServerProcess {
 public:
  ServerProcess(int count, int values) {
    files_ = std::filesystem::temp_directory_path() /
             ("feedprobe-bench-" + std::to_string(std::chrono::steady_clock::now()
                                                      .time_since_epoch()
                                                      .count()));
    std::filesystem::create_directories(files_);
    std::string program =
        (std::filesystem::path(platform::ModulePath()).parent_path() / "bench_servers").string();
    std::string error;
    process_ = platform::Process::Start("\"" + program + "\" " + std::to_string(count) + " " +
                                            std::to_string(values) + " \"" + PortFile() +
                                            "\" \"" + StopFile() + "\"",
                                        files_.string(), &error);
    if (!process_) throw std::runtime_error("bench_servers: " + error);
    for (int waited = 0; !std::filesystem::exists(PortFile()); ++waited) {
      if (waited > 600) throw std::runtime_error("bench_servers did not start");
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::ifstream ports(PortFile());
    for (int port; ports >> port;) ports_.push_back(port);
  }
  ~ServerProcess() {
    std::ofstream(StopFile()) << "stop\n";
    int code = 0;
    if (!process_->Wait(15000, &code)) process_->Kill();
    std::error_code ignored;
    std::filesystem::remove_all(files_, ignored);
  }
  const std::vector<int>& ports() const { return ports_; }

 private:
  std::string PortFile() const { return (files_ / "ports").string(); }
  std::string StopFile() const { return (files_ / "stop").string(); }
  std::filesystem::path files_;
  std::unique_ptr<platform::Process> process_;
  std::vector<int> ports_;
};

void ManyHosts(benchmark::State& state, int hosts, int counters, int seconds) {
  Plugin& plugin = Plugin::Get();
  ServerProcess servers(hosts, counters);
  std::vector<std::string> ids = CounterIds(counters);
  std::vector<std::string> names;
  for (int port : servers.ports()) names.push_back("127.0.0.1:" + std::to_string(port));
  std::string list_text, data_text;
  {
    // The two documents of one host as text: the server's answer normalised by each stylesheet.
    platform::xml::XmlDocument status, sheet, list, data;
    status.LoadXml(StatusDocument(counters, 1));
    sheet.LoadXml(kListStylesheet);
    status.TransformNodeToObject(sheet.AsNode(), list);
    sheet.LoadXml(kDataStylesheet);
    status.TransformNodeToObject(sheet.AsNode(), data);
    list_text = list.Xml();
    data_text = data.Xml();
  }
  for (auto _ : state) {
    feedprobe::State().sampling_rate = 3000;
    int64_t resident_before = ResidentBytes();
    for (const std::string& host : names) plugin.Activate(host, ids, 1);
    // The host asks for every value at the sampling rate.
    SampleRecord record = {};
    char text[1024] = {};
    std::clock_t cpu_start = std::clock();
    auto start = std::chrono::steady_clock::now();
    auto end = start + std::chrono::seconds(seconds);
    int64_t delivered = 0;
    for (auto round = start; round < end; round += std::chrono::milliseconds(3000)) {
      std::this_thread::sleep_until(round);
      for (const std::string& host : names)
        for (const std::string& id : ids)
          if (feedprobe::GetNewData(id.c_str(), host.c_str(), &record, text, sizeof text) == 0)
            ++delivered;
    }
    std::this_thread::sleep_until(end);
    double cpu = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    int64_t resident_after = ResidentBytes();
    for (const std::string& host : names) plugin.Deactivate(host, ids, 1);
    state.counters["cpu_per_second"] = cpu / wall;
    state.counters["resident_per_monitor"] =
        static_cast<double>(resident_after - resident_before) / hosts;
    state.counters["documents_text"] = static_cast<double>(list_text.size() + data_text.size());
    state.counters["delivered"] = static_cast<double>(delivered);
    HoldSamplingThreads();
  }
}

void Finish() { Plugin::Finish(); }

void Register() {
  std::vector<int> sizes = g_smoke ? std::vector<int>{200} : std::vector<int>{1000, 10000, 100000};
  auto configure = [](benchmark::internal::Benchmark* benchmark, int values) {
    benchmark->Unit(benchmark::kMillisecond)->UseRealTime();
    if (g_smoke) benchmark->Iterations(1);
    else if (values >= 100000) benchmark->MinTime(3.0);
  };
  // Many hosts first, while the process has not yet grown by the other benchmarks.
  if (g_smoke) g_hosts = 3, g_counters = 10, g_seconds = 2;
  benchmark::RegisterBenchmark(
      ("many_hosts/" + std::to_string(g_hosts) + "/" + std::to_string(g_counters)).c_str(),
      ManyHosts, g_hosts, g_counters, g_seconds)
      ->Iterations(1)
      ->Repetitions(1)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  configure(benchmark::RegisterBenchmark("baseline/100", Baseline, 100), 100);
  for (int values : sizes) {
    std::string n = std::to_string(values);
    configure(benchmark::RegisterBenchmark(("baseline/" + n).c_str(), Baseline, values), values);
    configure(benchmark::RegisterBenchmark(("engine/" + n).c_str(), Engine, values), values);
    configure(benchmark::RegisterBenchmark(("data_pass/" + n + "/100").c_str(), DataPass, values,
                                           100),
              values);
    configure(benchmark::RegisterBenchmark(("data_pass/" + n + "/10").c_str(), DataPass, values,
                                           10),
              values);
    configure(benchmark::RegisterBenchmark(("list_pass/" + n).c_str(), ListPass, values), values);
    configure(benchmark::RegisterBenchmark(("measurement_collection/" + n).c_str(),
                                           MeasurementCollection, values),
              values);
  }
  int active = g_smoke ? 200 : 10000;
  auto* get_new_data = benchmark::RegisterBenchmark(
      ("get_new_data/" + std::to_string(active)).c_str(), GetNewData, active);
  get_new_data->Unit(benchmark::kMicrosecond)->UseRealTime();
  if (g_smoke) get_new_data->Iterations(1000);
}

}  // namespace
}  // namespace feedprobe_bench

int main(int argc, char** argv) {
  std::vector<char*> arguments;
  for (int i = 0; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument == "--smoke") {
      feedprobe_bench::g_smoke = true;
    } else if (argument.rfind("--many_hosts=", 0) == 0) {
      std::sscanf(argument.c_str() + 13, "%d/%d/%d", &feedprobe_bench::g_hosts,
                  &feedprobe_bench::g_counters, &feedprobe_bench::g_seconds);
    } else {
      arguments.push_back(argv[i]);
    }
  }
  int count = static_cast<int>(arguments.size());
  benchmark::Initialize(&count, arguments.data());
  feedprobe_bench::Register();
  benchmark::RunSpecifiedBenchmarks();
  feedprobe_bench::Finish();
  benchmark::Shutdown();
  return 0;
}
