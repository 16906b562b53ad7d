// types: the installed monitor types and the files that configure them.
#include <iostream>

#include "commands.h"
#include "errors.h"
#include "formats.h"
#include "options.h"

namespace fphost {

int RunTypes(const Context& context, const std::vector<std::string>& args) {
  static const char kHelp[] =
      "usage: feedprobe-host types\n"
      "\n"
      "Lists the monitor types installed in the program folder (one plug-in copy <type>.so\n"
      "each) and the configuration file of each.\n";
  if (HelpRequested(args, kHelp)) return 0;
  Arguments arguments(args, {});
  if (!arguments.positional().empty()) throw UsageError("types takes no arguments");
  std::vector<MonitorType> types = InstalledTypes(context.program_folder);
  if (types.empty()) throw HostError("no monitor type is installed in " + context.program_folder);
  std::vector<std::vector<std::string>> rows;
  for (const MonitorType& type : types) {
    rows.push_back({type.name, type.configuration.empty() ? "(no configuration)" : type.configuration});
  }
  PrintTable(std::cout, {"TYPE", "CONFIGURATION"}, rows);
  return 0;
}

}  // namespace fphost
