// login-string, register, unregister and browse.
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "commands.h"
#include "errors.h"
#include "login.h"

namespace fphost {
namespace {

std::string Hresult(int32_t result) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(result));
  return text;
}

// Registration is a component-server call: the copy is loaded, not started (as a
// registration tool does), so that a copy whose configuration is broken can still be recorded.
int RunRegistration(const Context& context, const std::vector<std::string>& args, bool add) {
  static const char kRegisterHelp[] =
      "usage: feedprobe-host [-m TYPE] register\n"
      "\n"
      "Records the plug-in copy's HTTP transport component in the class registry\n"
      "(FEEDPROBE_REGISTRY, or feedprobe/registry under $XDG_DATA_HOME).\n";
  static const char kUnregisterHelp[] =
      "usage: feedprobe-host [-m TYPE] unregister\n"
      "\n"
      "Removes the plug-in copy's record from the class registry; the entries go with the last\n"
      "registered copy.\n";
  if (HelpRequested(args, add ? kRegisterHelp : kUnregisterHelp)) return 0;
  Arguments arguments(args, {});
  if (!arguments.positional().empty()) throw UsageError("this command takes no arguments");
  Plugin plugin(ChooseType(context.program_folder, context.requested_type));
  int32_t result = add ? plugin.register_server() : plugin.unregister_server();
  if (result != 0) {
    throw HostError(std::string(add ? "DllRegisterServer" : "DllUnregisterServer") +
                    " of " + plugin.type().library + " failed with " + Hresult(result));
  }
  std::cout << plugin.type().name << (add ? ": registered\n" : ": unregistered\n");
  return 0;
}

}  // namespace

int RunLoginString(const Context& context, const std::vector<std::string>& args) {
  static const std::string kHelp = std::string(
      "usage: feedprobe-host [-m TYPE] login-string [HOST] [options]\n"
      "\n"
      "Prints the scrambled login string (GetUserDataStr) of the login options, for --login.\n"
      "\n"
      "options:\n") + kLoginOptionsHelp;
  if (HelpRequested(args, kHelp.c_str())) return 0;
  Arguments arguments(args, LoginOptionSpecs());
  if (arguments.positional().size() > 1) throw UsageError("login-string takes at most one HOST");
  if (arguments.Has("--login")) throw UsageError("login-string makes a login string, --login gives one");
  std::string host = arguments.positional().empty() ? "" : arguments.positional()[0];
  Login login = Login::FromArguments(arguments);

  Session session(context);
  HostLoginRecord record = LoginRecord(login, host);
  std::string properties = PropertiesText(login, host);
  PluginText output(session.plugin());
  session.plugin().get_user_data_str(&record, properties.c_str(), output.out());
  std::cout << output.str() << '\n';
  return 0;
}

int RunRegister(const Context& context, const std::vector<std::string>& args) {
  return RunRegistration(context, args, true);
}

int RunUnregister(const Context& context, const std::vector<std::string>& args) {
  return RunRegistration(context, args, false);
}

int RunBrowse(const Context& context, const std::vector<std::string>& args) {
  static const char kHelp[] =
      "usage: feedprobe-host [-m TYPE] browse HOST\n"
      "\n"
      "Lets you choose counters of HOST in the plug-in's dialog (on the terminal; FEEDPROBE_UI\n"
      "chooses another front-end) and prints one line per chosen counter: display path,\n"
      "description and identifier, separated by tabs. The identifiers are what 'watch' takes.\n";
  if (HelpRequested(args, kHelp)) return 0;
  Arguments arguments(args, {});
  if (arguments.positional().size() != 1) throw UsageError("browse takes one HOST");
  Session session(context);
  BrowsedMeasurement* measurements = nullptr;
  int32_t count = 0;
  FailureText failure;
  int32_t result = session.plugin().browse(nullptr, arguments.positional()[0].c_str(), &measurements,
                                           &count, failure.text, failure.capacity());
  if (result != 0) throw HostError(arguments.positional()[0] + ": " + failure.str());
  for (int32_t i = 0; i < count; ++i) {
    const BrowsedMeasurement& m = measurements[i];
    std::cout << m.display_path << '\t' << m.description << '\t' << m.identifier << '\n';
  }
  std::free(measurements);
  return 0;
}

}  // namespace fphost
