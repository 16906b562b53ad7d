// feedprobe-host: the reference host of the feedprobe plug-in. It loads the copy of a monitor
// type from its program folder and drives the exported functions the way a host does.
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "errors.h"

namespace {

const char kUsage[] =
    "usage: feedprobe-host [-m TYPE] COMMAND [ARGS...]\n"
    "\n"
    "Loads the plug-in copy of a monitor type (-m TYPE, default: the only one installed) from\n"
    "its program folder and calls it as a host does.\n"
    "\n"
    "commands:\n"
    "  types                   the installed monitor types and their configuration files\n"
    "  test HOST               is the server reachable and its list of counters readable?\n"
    "  list HOST               the server's counters (--xml, --json)\n"
    "  browse HOST             choose counters in the terminal dialog\n"
    "  watch HOST [ID...]      live values of counters (--all, --match TEXT, --count N)\n"
    "  serve --listen 127.0.0.1:PORT HOST...\n"
    "                          the counters as Prometheus metrics on /metrics\n"
    "  login-string [HOST]     the scrambled login string of --user and --password\n"
    "  register, unregister    record the plug-in's transport component in the class registry\n"
    "\n"
    "'feedprobe-host COMMAND --help' describes a command.\n";

struct Entry {
  const char* name;
  fphost::Command run;
};

const Entry kCommands[] = {
    {"types", fphost::RunTypes},         {"test", fphost::RunTest},
    {"list", fphost::RunList},           {"browse", fphost::RunBrowse},
    {"watch", fphost::RunWatch},         {"serve", fphost::RunServe},
    {"login-string", fphost::RunLoginString}, {"register", fphost::RunRegister},
    {"unregister", fphost::RunUnregister},
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  fphost::Context context;
  try {
    // -m TYPE may stand anywhere before "--".
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
      if (args[i] == "--") {
        rest.insert(rest.end(), args.begin() + static_cast<long>(i), args.end());
        break;
      }
      if (args[i] == "-m" || args[i] == "--monitor-type") {
        if (i + 1 >= args.size()) throw fphost::UsageError(args[i] + " needs a monitor type");
        context.requested_type = args[++i];
      } else {
        rest.push_back(args[i]);
      }
    }
    if (rest.empty() || rest[0] == "--help" || rest[0] == "-h" || rest[0] == "help") {
      std::fputs(kUsage, rest.empty() ? stderr : stdout);
      return rest.empty() ? 2 : 0;
    }
    for (const Entry& entry : kCommands) {
      if (rest[0] == entry.name) {
        context.program_folder = fphost::ProgramFolder();
        return entry.run(context, std::vector<std::string>(rest.begin() + 1, rest.end()));
      }
    }
    throw fphost::UsageError("unknown command '" + rest[0] + "' (feedprobe-host --help lists them)");
  } catch (const fphost::HostError& error) {
    std::cerr << "feedprobe-host: " << error.what() << '\n';
    return error.exit_code();
  } catch (const std::exception& error) {
    std::cerr << "feedprobe-host: " << error.what() << '\n';
    return 1;
  }
}
