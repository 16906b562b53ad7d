// Where the plug-in finds its files, and reading the monitor configuration file: the
// section named after the monitor type in <type>.ini, or in XMLMonitorShared.ini when the
// type has no file of its own.
#pragma once

#include <cstdint>
#include <string>

namespace feedprobe {

// Read sizes of configuration values.
constexpr int32_t kPathReadSize = 2049;
constexpr int32_t kValueReadSize = 1024;

// The monitor type: the plug-in's file name without its last extension (alpha.beta.so gives
// alpha.beta). The configuration section of every key.
const std::string& MonitorType();
// Makes sure the monitor type has been taken from the file name.
void GetMonitorType();

// The catalogue file without its ".e2" extension: <program folder>../dat/vk_mon_xml_msgs.
std::string GetMessageFilePath();

// <program folder>../dat/monitors/<type>.ini, or XMLMonitorShared.ini in that folder when
// the former does not exist. Refreshes the monitor type first.
std::string GetConfigFilePath();

// <program folder>product.ini.
std::string GetProductFilePath();

// A key of the monitor's section in the configuration file at path.
std::string ConfigString(const std::string& path, const char* key, const char* default_value,
                         int32_t read_size);
int32_t ConfigInt(const std::string& path, const char* key, int32_t default_value);

// The same, with the configuration file located anew.
std::string ConfigString(const char* key, const char* default_value, int32_t read_size);
int32_t ConfigInt(const char* key, int32_t default_value);

}  // namespace feedprobe
