// Command-line parsing of feedprobe-host: a subcommand, its options and its positional
// arguments. Each subcommand names the options it knows; anything else is a usage error.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace fphost {

// An option a subcommand accepts: "--name" (a flag) or "--name VALUE".
struct OptionSpec {
  std::string name;  // with the dashes, e.g. "--count"
  bool takes_value = false;
  bool repeatable = false;
};

class Arguments {
 public:
  // Parses argv after the subcommand. Throws UsageError for an unknown option, a missing
  // value or a repeated option that may be given once.
  Arguments(const std::vector<std::string>& argv, const std::vector<OptionSpec>& specs);

  bool Has(const std::string& name) const { return values_.count(name) != 0; }
  std::optional<std::string> Value(const std::string& name) const;
  std::vector<std::string> Values(const std::string& name) const;
  // The option's value as a positive integer; UsageError when it is something else.
  std::optional<long> PositiveNumber(const std::string& name) const;
  const std::vector<std::string>& positional() const { return positional_; }

 private:
  std::map<std::string, std::vector<std::string>> values_;
  std::vector<std::string> positional_;
};

}  // namespace fphost
