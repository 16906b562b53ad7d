#include "feedprobe/collection/xml_source.h"

#include <chrono>
#include <thread>

#include "feedprobe/collection/host_monitor.h"
#include "feedprobe/plugin/configuration.h"
#include "feedprobe/plugin/plugin_state.h"
#include "feedprobe/resources/string_table.h"
#include "platform/inet/http_client.h"
#include "platform/os/debug_output.h"
#include "platform/os/paths.h"
#include "platform/os/process.h"
#include "xmlmonitorshared/cstring.h"
#include "xmlmonitorshared/format_string.h"
#include "xmlmonitorshared/replace_all.h"

namespace feedprobe {
namespace {

constexpr int32_t kJavaReadSize = 260;
constexpr int kPings = 10;
constexpr auto kPingPause = std::chrono::milliseconds(500);
constexpr uint32_t kVersionTestWaitMs = 60000;

// Swallows a ping's answer.
class DiscardSink final : public platform::inet::BodySink {
 public:
  bool Accept(int) override { return false; }
  void Write(std::string_view) override {}
};

}  // namespace

bool PingXmlSource(int32_t port, const std::string& path) {
  platform::inet::Client client("");
  platform::inet::ConnectionSettings settings;
  settings.host = "localhost";
  settings.port = static_cast<uint16_t>(port);
  settings.connect_timeout = std::chrono::milliseconds(5000);
  settings.inactivity_timeout = std::chrono::milliseconds(10000);
  auto connection = client.Connect(settings);
  if (!connection) return false;
  DiscardSink sink;
  return connection->Get(path.empty() ? "/" : path, sink, nullptr);
}

std::string XmlSourceHomeDirectory() {
  std::string folder = platform::ProgramFolder();
  size_t bin = folder.rfind("/bin/");
  return bin == std::string::npos ? std::string() : folder.substr(0, bin);
}

std::string VersionTestCommandLine(const std::string& jvm, const std::string& home,
                                   const std::string& version, const std::string& vendor) {
  std::string line = StringPrintf("%s -classpath %s/classes/pullhub.jar TestVersion %s",
                                  jvm.c_str(), home.c_str(), version.c_str());
  if (!vendor.empty()) line += StringPrintf(" \"%s\"", vendor.c_str());
  return line;
}

std::string XmlSourceClassPath(const std::string& config, const std::string& home) {
  const char* h = home.c_str();
  std::string path = StringPrintf(
      "%s/classes/pullhub.jar:%s/classes/parsekit.jar:%s/classes/hubtools.jar:%s/classes/"
      "tinyserve.jar",
      h, h, h, h);
  for (int n = 1;; ++n) {
    std::string entry = platform::NativePath(
        ConfigString(config, StringPrintf("JVM_CLASSES%d", n).c_str(), "", kJavaReadSize));
    if (entry.empty()) break;
    path += ":";
    if (entry.front() != '/') path += home + "/classes/";
    path += entry;
  }
  return path;
}

std::string XmlSourceArguments(const std::string& config) {
  std::string arguments;
  for (int n = 1;; ++n) {
    std::string argument =
        ConfigString(config, StringPrintf("JVM_ARG%d", n).c_str(), "", kJavaReadSize);
    if (argument.empty()) break;
    arguments += " " + argument;
  }
  return arguments;
}

std::string XmlSourceCommandLine(const std::string& jvm, const std::string& class_path,
                                 const std::string& arguments, int32_t port) {
  return StringPrintf(
      "%s -classpath \"%s\" %s com.tolvaneworks.monitors.pullhub.Main -port %d -exitwhendone",
      jvm.c_str(), class_path.c_str(), arguments.c_str(), port);
}

bool XmlSourceCheck(HostMonitor& monitor, int32_t& port) {
  if (monitor.address().host != "localhost") return true;
  PluginState& state = State();
  if (state.start_pullhub != nullptr) {
    char text[2000] = {};
    int32_t started = state.start_pullhub(monitor.host_name().c_str(), &port, text);
    text[sizeof text - 1] = '\0';
    if (started == 0) monitor.SetLastError(text);
    return started != 0;
  }
  if (PingXmlSource(port, monitor.ping_path())) return true;

  const std::string& config = monitor.configuration_path();
  std::string jvm = platform::NativePath(ConfigString(config, "JVM", "", kJavaReadSize));
  if (jvm.empty()) {
    return !EqualsIgnoringCase(MonitorType(), "Kestrelwatch") &&
           !EqualsIgnoringCase(MonitorType(), "Ospreywatch");
  }
  std::string home = XmlSourceHomeDirectory();
  std::string version = ConfigString(config, "JavaVersion", "", 129);
  std::string vendor = ConfigString(config, "JavaVendor", "", kJavaReadSize);
  std::string start_failure =
      ReplacedCopy(LoadResourceString(kStrProcessNotStarted), "%s", jvm.c_str());

  if (!version.empty()) {
    std::string error;
    auto test = platform::Process::Start(VersionTestCommandLine(jvm, home, version, vendor), home,
                                         &error);
    if (!test) {
      monitor.SetLastError(start_failure);
      return false;
    }
    int exit_code = -1;
    // A version test that does not end in time counts as a mismatch.
    if (!test->Wait(kVersionTestWaitMs, &exit_code)) test->Kill();
    if (exit_code != 0) {
      monitor.SetLastError(StringPrintf("Java Virtual Machine Version mismatch: Required version: %s %s",
                                        version.c_str(), vendor.c_str()));
      return false;
    }
  }

  std::string command = XmlSourceCommandLine(jvm, XmlSourceClassPath(config, home),
                                             XmlSourceArguments(config), port);
  platform::DebugOutput(command + "\n");
  std::string error;
  if (!platform::Process::Start(command, home, &error)) {
    monitor.SetLastError(start_failure);
    return false;
  }
  for (int ping = 0; ping < kPings; ++ping) {
    if (ping > 0) std::this_thread::sleep_for(kPingPause);
    if (PingXmlSource(port, monitor.ping_path())) return true;
  }
  monitor.SetLastError(StringPrintf("Failed to connect to XML source on %d", port));
  return false;
}

}  // namespace feedprobe
