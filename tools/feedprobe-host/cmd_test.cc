// test HOST: TestMachine.
#include <iostream>

#include "commands.h"
#include "errors.h"
#include "login.h"

namespace fphost {

int RunTest(const Context& context, const std::vector<std::string>& args) {
  static const std::string kHelp = std::string(
      "usage: feedprobe-host [-m TYPE] test HOST [options]\n"
      "\n"
      "Asks the plug-in whether the server HOST can be reached and its list of counters read.\n"
      "HOST is a host name, host:port or a URL.\n"
      "\n"
      "options:\n") + kLoginOptionsHelp;
  if (HelpRequested(args, kHelp.c_str())) return 0;
  Arguments arguments(args, LoginOptionSpecs());
  if (arguments.positional().size() != 1) throw UsageError("test needs exactly one HOST");
  const std::string& host = arguments.positional()[0];
  Login login = Login::FromArguments(arguments);

  Session session(context);
  std::string encoded = EncodedLogin(session.plugin(), login, host);
  FailureText failure;
  int32_t result = session.plugin().test_machine(
      host.c_str(), encoded.empty() ? nullptr : encoded.c_str(), failure.text, failure.capacity());
  if (result != 0) {
    std::string text = failure.str();
    throw HostError(host + ": the server cannot be read" +
                    (text.empty() ? std::string(".") : ": " + text));
  }
  std::cout << host << ": reachable, the list of counters loads\n";
  return 0;
}

}  // namespace fphost
