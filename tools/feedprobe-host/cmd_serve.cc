// serve --listen ADDRESS:PORT HOST...: the counters of the hosts as a Prometheus exposition.
// Only this thread calls the plug-in; the HTTP server reads the text it publishes.
#include <iostream>
#include <sstream>

#include "catalogue.h"
#include "commands.h"
#include "errors.h"
#include "formats.h"
#include "metrics_server.h"
#include "sampler.h"
#include "stop_signals.h"

namespace fphost {
namespace {

struct ServedHost {
  std::string name;
  std::string encoded_login;
  bool active = false;
  std::string failure;  // why it is not active, as last reported
};

std::string Exposition(const std::string& type, const std::vector<ServedHost>& hosts,
                       const Sampler& sampler) {
  std::ostringstream out;
  out << "# HELP feedprobe_up 1 when the last read of the monitored server succeeded.\n"
         "# TYPE feedprobe_up gauge\n";
  for (const ServedHost& host : hosts) {
    bool up = host.active && !sampler.HostFailed(host.name);
    out << "feedprobe_up{monitor_type=\"" << PrometheusLabel(type) << "\",host=\""
        << PrometheusLabel(host.name) << "\"} " << (up ? 1 : 0) << '\n';
  }
  out << "# HELP feedprobe_value The newest value of a counter of a monitored server.\n"
         "# TYPE feedprobe_value gauge\n";
  for (const Watched& watched : sampler.watched()) {
    if (!watched.has_value) continue;
    out << "feedprobe_value{monitor_type=\"" << PrometheusLabel(type) << "\",host=\""
        << PrometheusLabel(watched.host) << "\",path=\""
        << PrometheusLabel(Shown(watched.counter.path)) << "\"} "
        << FormatNumber(watched.value) << '\n';
  }
  return out.str();
}

}  // namespace

int RunServe(const Context& context, const std::vector<std::string>& args) {
  static const std::string kHelp = std::string(
      "usage: feedprobe-host [-m TYPE] serve --listen ADDRESS:PORT HOST... [options]\n"
      "\n"
      "Activates every counter of each HOST and serves their newest values on\n"
      "http://ADDRESS:PORT/metrics in the Prometheus text format: the gauge feedprobe_value\n"
      "with the labels monitor_type, host and path (the display path), and feedprobe_up per\n"
      "host. Port 0 takes a free port; the address served is printed first. A host that cannot\n"
      "be read is tried again every round. Runs until Ctrl-C or SIGTERM.\n"
      "\n"
      "options:\n"
      "  --listen A:P       where to serve (required)\n"
      "  --rate MS          a slower sampling rate than the configured one\n") +
      kLoginOptionsHelp;
  if (HelpRequested(args, kHelp.c_str())) return 0;
  std::vector<OptionSpec> specs = LoginOptionSpecs();
  specs.push_back({"--listen", true});
  specs.push_back({"--rate", true});
  Arguments arguments(args, specs);
  std::optional<std::string> listen = arguments.Value("--listen");
  if (!listen) throw UsageError("serve needs --listen ADDRESS:PORT");
  if (arguments.positional().empty()) throw UsageError("serve needs at least one HOST");
  std::optional<long> rate = arguments.PositiveNumber("--rate");
  Login login = Login::FromArguments(arguments);

  Session session(context);
  const Plugin& plugin = session.plugin();
  uint32_t interval = session.monitor().SamplingRate();
  if (rate) interval = session.monitor().RaiseSamplingRate(static_cast<uint32_t>(*rate));
  std::vector<ServedHost> hosts;
  for (const std::string& name : arguments.positional()) {
    hosts.push_back({name, EncodedLogin(plugin, login, name)});
  }

  StopSignals stop;
  Sampler sampler(session.monitor());
  MetricsServer server(*listen);
  server.Publish(Exposition(plugin.type().name, hosts, sampler));
  std::cout << "serving " << server.url() << std::endl;

  for (;;) {
    bool activated = false;
    for (ServedHost& host : hosts) {
      if (host.active) continue;
      size_t before = sampler.watched().size();
      std::string failure;
      try {
        sampler.Activate(host.name, LoadCollection(plugin, login, host.name), host.encoded_login,
                         stop);
      } catch (const HostError& error) {
        failure = error.what();
      }
      host.active = sampler.watched().size() > before;
      activated = activated || host.active;
      if (!host.active && failure != host.failure) std::cerr << "feedprobe-host: " << failure << '\n';
      host.failure = failure;
    }
    // A host is read at most once per 0.3 x the sampling rate, counting the list read at
    // activation: the first poll after an activation waits for that.
    if (activated && !stop.Sleep(std::chrono::milliseconds(interval * 3 / 10 + 100))) break;
    sampler.Poll();
    server.Publish(Exposition(plugin.type().name, hosts, sampler));
    if (!stop.Sleep(std::chrono::milliseconds(interval))) break;
  }
  return 0;
}

}  // namespace fphost
