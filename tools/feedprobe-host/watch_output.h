// How watch shows a round: a live table on a terminal, else CSV or JSON lines.
#pragma once

#include <ostream>
#include <string>

#include "sampler.h"

namespace fphost {

enum class WatchFormat { kTable, kCsv, kJson };

class WatchOutput {
 public:
  WatchOutput(std::ostream& out, WatchFormat format, std::string title)
      : out_(out), format_(format), title_(std::move(title)) {}
  void Round(const Sampler& sampler, long round);

 private:
  std::ostream& out_;
  WatchFormat format_;
  std::string title_;
  bool header_written_ = false;
};

}  // namespace fphost
