// list HOST: GetMeasurementsCollection as a table, as the plug-in's XML or as JSON.
#include <iostream>

#include "catalogue.h"
#include "commands.h"
#include "errors.h"
#include "formats.h"

namespace fphost {

int RunList(const Context& context, const std::vector<std::string>& args) {
  static const std::string kHelp = std::string(
      "usage: feedprobe-host [-m TYPE] list HOST [--xml | --json] [options]\n"
      "\n"
      "Lists the counters of the server HOST: display path, description and the identifier\n"
      "that 'watch' accepts.\n"
      "\n"
      "options:\n"
      "  --xml              the plug-in's annotated list as it gives it\n"
      "  --json             a JSON array of {\"path\", \"description\", \"id\"}\n") +
      kLoginOptionsHelp;
  if (HelpRequested(args, kHelp.c_str())) return 0;
  std::vector<OptionSpec> specs = LoginOptionSpecs();
  specs.push_back({"--xml", false});
  specs.push_back({"--json", false});
  Arguments arguments(args, specs);
  if (arguments.positional().size() != 1) throw UsageError("list needs exactly one HOST");
  if (arguments.Has("--xml") && arguments.Has("--json")) {
    throw UsageError("choose one of --xml and --json");
  }
  const std::string& host = arguments.positional()[0];
  Login login = Login::FromArguments(arguments);

  Session session(context);
  std::string xml;
  std::vector<Counter> counters = LoadCollection(session.plugin(), login, host, &xml);
  if (arguments.Has("--xml")) {
    std::cout << xml << '\n';
  } else if (arguments.Has("--json")) {
    std::cout << "[";
    for (size_t i = 0; i < counters.size(); ++i) {
      const Counter& counter = counters[i];
      std::cout << (i == 0 ? "\n" : ",\n") << "  {\"path\": " << JsonString(Shown(counter.path))
                << ", \"description\": " << JsonString(counter.description)
                << ", \"id\": " << JsonString(counter.id) << "}";
    }
    std::cout << (counters.empty() ? "]\n" : "\n]\n");
  } else {
    std::vector<std::vector<std::string>> rows;
    for (const Counter& counter : counters) {
      rows.push_back({Shown(counter.path), counter.description, counter.id});
    }
    PrintTable(std::cout, {"COUNTER", "DESCRIPTION", "IDENTIFIER"}, rows);
  }
  return 0;
}

}  // namespace fphost
