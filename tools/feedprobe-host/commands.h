// The subcommands of feedprobe-host. Each takes the arguments after its name, prints its help
// for --help, and returns the exit code; failures are thrown as HostError.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "plugin.h"

namespace fphost {

struct Context {
  std::string program_folder;
  std::string requested_type;  // -m TYPE, empty for the only installed type
};

// The chosen type's plug-in copy, loaded and started.
class Session {
 public:
  explicit Session(const Context& context);
  const Plugin& plugin() const { return *plugin_; }
  const Monitor& monitor() const { return *monitor_; }

 private:
  std::unique_ptr<Plugin> plugin_;
  std::unique_ptr<Monitor> monitor_;  // destroyed first: TerminateMonitor before dlclose
};

using Command = int (*)(const Context& context, const std::vector<std::string>& args);

int RunTypes(const Context& context, const std::vector<std::string>& args);
int RunTest(const Context& context, const std::vector<std::string>& args);
int RunList(const Context& context, const std::vector<std::string>& args);
int RunBrowse(const Context& context, const std::vector<std::string>& args);
int RunWatch(const Context& context, const std::vector<std::string>& args);
int RunServe(const Context& context, const std::vector<std::string>& args);
int RunLoginString(const Context& context, const std::vector<std::string>& args);
int RunRegister(const Context& context, const std::vector<std::string>& args);
int RunUnregister(const Context& context, const std::vector<std::string>& args);

// True (after printing the help) when the arguments ask for it.
bool HelpRequested(const std::vector<std::string>& args, const char* help);

}  // namespace fphost
