// The local XML source: a Java program that serves a product's data as XML on a local port.
// For a host monitor whose server is "localhost" the check makes sure a source answers on
// its port, starting one (or letting the extension library start one) when needed.
#pragma once

#include <cstdint>
#include <string>

namespace feedprobe {

class HostMonitor;

// True when the host is not local or a source answers; on failure the host monitor's last
// error may hold the reason. The extension may change the port.
bool XmlSourceCheck(HostMonitor& monitor, int32_t& port);

// Whether "http://localhost:<port><path>" gives any HTTP answer.
bool PingXmlSource(int32_t port, const std::string& path);

// The installation folder: the host's program folder (with its trailing "/") cut at its last
// "/bin/"; empty when it has none.
std::string XmlSourceHomeDirectory();

// Command lines of the version test and of the source, from the monitor's configuration.
std::string VersionTestCommandLine(const std::string& jvm, const std::string& home,
                                   const std::string& version, const std::string& vendor);
std::string XmlSourceClassPath(const std::string& config, const std::string& home);
std::string XmlSourceArguments(const std::string& config);
std::string XmlSourceCommandLine(const std::string& jvm, const std::string& class_path,
                                 const std::string& arguments, int32_t port);

}  // namespace feedprobe
