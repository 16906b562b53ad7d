#include <cstdio>

#include "commands.h"

namespace fphost {

Session::Session(const Context& context)
    : plugin_(std::make_unique<Plugin>(ChooseType(context.program_folder, context.requested_type))),
      monitor_(std::make_unique<Monitor>(*plugin_)) {}

bool HelpRequested(const std::vector<std::string>& args, const char* help) {
  for (const std::string& arg : args) {
    if (arg == "--") break;
    if (arg == "--help" || arg == "-h") {
      std::fputs(help, stdout);
      return true;
    }
  }
  return false;
}

}  // namespace fphost
