#include "watch_output.h"

#include "formats.h"

namespace fphost {
namespace {

std::string ValueText(const Watched& watched) {
  return watched.has_value ? FormatNumber(watched.value) : "";
}

std::string StateText(const Watched& watched) {
  std::string state = StateName(watched.state);
  return watched.text.empty() ? state : state + ": " + watched.text;
}

}  // namespace

void WatchOutput::Round(const Sampler& sampler, long round) {
  const std::vector<Watched>& all = sampler.watched();
  switch (format_) {
    case WatchFormat::kTable: {
      std::vector<std::vector<std::string>> rows;
      for (const Watched& watched : all) {
        rows.push_back({Shown(watched.counter.path), ValueText(watched),
                        FormatTime(watched.seconds, watched.microseconds),
                        Sparkline(watched.history), StateText(watched)});
      }
      // Home and clear, then the whole table: the terminal shows the latest round only.
      out_ << "\x1b[H\x1b[2J" << title_ << ", round " << round << " (Ctrl-C stops)\n\n";
      PrintTable(out_, {"COUNTER", "VALUE", "TIME", "HISTORY", "STATE"}, rows);
      break;
    }
    case WatchFormat::kCsv:
      if (!header_written_) out_ << "round,host,path,state,value,time,text,id\n";
      for (const Watched& watched : all) {
        out_ << round << ',' << CsvField(watched.host) << ','
             << CsvField(Shown(watched.counter.path)) << ',' << StateName(watched.state) << ','
             << (watched.fresh ? FormatNumber(watched.value) : "") << ','
             << (watched.fresh ? FormatTime(watched.seconds, watched.microseconds) : "") << ','
             << CsvField(watched.text) << ',' << CsvField(watched.counter.id) << '\n';
      }
      break;
    case WatchFormat::kJson:
      for (const Watched& watched : all) {
        out_ << "{\"round\": " << round << ", \"host\": " << JsonString(watched.host)
             << ", \"path\": " << JsonString(Shown(watched.counter.path))
             << ", \"state\": " << JsonString(StateName(watched.state));
        if (watched.fresh) {
          out_ << ", \"value\": " << FormatNumber(watched.value) << ", \"time\": "
               << JsonString(FormatTime(watched.seconds, watched.microseconds));
        }
        if (!watched.text.empty()) out_ << ", \"text\": " << JsonString(watched.text);
        out_ << ", \"id\": " << JsonString(watched.counter.id) << "}\n";
      }
      break;
  }
  header_written_ = true;
  out_.flush();
}

}  // namespace fphost
