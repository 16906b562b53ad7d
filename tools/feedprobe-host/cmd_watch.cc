// watch HOST [ID...]: activates counters and polls GetNewData at the sampling rate.
#include <unistd.h>

#include <iostream>

#include "catalogue.h"
#include "commands.h"
#include "errors.h"
#include "formats.h"
#include "sampler.h"
#include "stop_signals.h"
#include "watch_output.h"

namespace fphost {
namespace {

bool Matches(const Counter& counter, const std::vector<std::string>& texts) {
  for (const std::string& text : texts) {
    if (Shown(counter.path).find(text) != std::string::npos ||
        counter.id.find(text) != std::string::npos) {
      return true;
    }
  }
  return false;
}

// The counters to watch: the given identifiers, those matching --match, or all of them.
std::vector<Counter> Select(const std::vector<Counter>& counters, const std::vector<std::string>& ids,
                            const std::vector<std::string>& matches) {
  if (ids.empty() && matches.empty()) return counters;
  std::vector<Counter> chosen;
  for (const std::string& id : ids) {
    Counter counter{id, id, ""};
    for (const Counter& known : counters) {
      if (known.id == id) counter = known;
    }
    chosen.push_back(counter);
  }
  for (const Counter& counter : counters) {
    if (Matches(counter, matches)) chosen.push_back(counter);
  }
  return chosen;
}

}  // namespace

int RunWatch(const Context& context, const std::vector<std::string>& args) {
  static const std::string kHelp = std::string(
      "usage: feedprobe-host [-m TYPE] watch HOST [ID... | --all | --match TEXT] [options]\n"
      "\n"
      "Activates counters of HOST and shows their newest values at the sampling rate, until\n"
      "Ctrl-C or --count rounds. On a terminal a live table (value, time stamp, history and the\n"
      "state: waiting, no new value, not a number, host failure); otherwise one CSV line per\n"
      "counter and round. Counters are deactivated on the way out.\n"
      "\n"
      "options:\n"
      "  --all              every counter (the default without IDs and --match)\n"
      "  --match TEXT       counters whose display path or identifier holds TEXT (repeatable)\n"
      "  --count N          stop after N rounds\n"
      "  --rate MS          a slower sampling rate than the configured one\n"
      "  --format F         table, csv or json (JSON lines) instead of the automatic choice\n") +
      kLoginOptionsHelp;
  if (HelpRequested(args, kHelp.c_str())) return 0;
  std::vector<OptionSpec> specs = LoginOptionSpecs();
  specs.push_back({"--all", false});
  specs.push_back({"--match", true, true});
  specs.push_back({"--count", true});
  specs.push_back({"--rate", true});
  specs.push_back({"--format", true});
  Arguments arguments(args, specs);
  if (arguments.positional().empty()) throw UsageError("watch needs a HOST");
  const std::string host = arguments.positional()[0];
  std::vector<std::string> ids(arguments.positional().begin() + 1, arguments.positional().end());
  std::vector<std::string> matches = arguments.Values("--match");
  if (arguments.Has("--all") && (!ids.empty() || !matches.empty())) {
    throw UsageError("--all goes with neither identifiers nor --match");
  }
  std::optional<long> count = arguments.PositiveNumber("--count");
  std::optional<long> rate = arguments.PositiveNumber("--rate");
  WatchFormat format = isatty(STDOUT_FILENO) ? WatchFormat::kTable : WatchFormat::kCsv;
  if (std::optional<std::string> name = arguments.Value("--format")) {
    if (*name == "table") format = WatchFormat::kTable;
    else if (*name == "csv") format = WatchFormat::kCsv;
    else if (*name == "json") format = WatchFormat::kJson;
    else throw UsageError("--format is table, csv or json, not '" + *name + "'");
  }
  Login login = Login::FromArguments(arguments);

  Session session(context);
  std::vector<Counter> chosen = Select(LoadCollection(session.plugin(), login, host), ids, matches);
  if (chosen.empty()) throw HostError(host + ": no counter matches");
  uint32_t interval = session.monitor().SamplingRate();
  if (rate) {
    interval = session.monitor().RaiseSamplingRate(static_cast<uint32_t>(*rate));
    if (interval != static_cast<uint32_t>(*rate)) {
      std::cerr << "feedprobe-host: the sampling rate stays at the configured " << interval
                << " ms\n";
    }
  }
  StopSignals stop;
  Sampler sampler(session.monitor());
  sampler.Activate(host, chosen, EncodedLogin(session.plugin(), login, host), stop);
  if (stop.requested()) return 0;
  WatchOutput output(std::cout, format,
                     session.plugin().type().name + " on " + host + ", every " +
                         std::to_string(interval) + " ms");
  // The plug-in reads a host at most once per 0.3 x the sampling rate, counting the list read
  // at activation; the first round comes just after that, so that it starts the first read.
  if (!stop.Sleep(std::chrono::milliseconds(interval * 3 / 10 + 100))) return 0;
  for (long round = 1;; ++round) {
    sampler.Poll();
    output.Round(sampler, round);
    if (count && round >= *count) break;
    if (!stop.Sleep(std::chrono::milliseconds(interval))) break;
  }
  return 0;
}

}  // namespace fphost
