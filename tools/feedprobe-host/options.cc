#include "options.h"

#include <algorithm>
#include <cstdlib>

#include "errors.h"

namespace fphost {

Arguments::Arguments(const std::vector<std::string>& argv, const std::vector<OptionSpec>& specs) {
  bool options_ended = false;
  for (size_t i = 0; i < argv.size(); ++i) {
    const std::string& arg = argv[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      positional_.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    std::string name = arg;
    std::optional<std::string> inline_value;
    if (size_t equals = arg.find('='); equals != std::string::npos && arg.rfind("--", 0) == 0) {
      name = arg.substr(0, equals);
      inline_value = arg.substr(equals + 1);
    }
    auto option = std::find_if(specs.begin(), specs.end(),
                               [&](const OptionSpec& s) { return s.name == name; });
    if (option == specs.end()) throw UsageError("unknown option " + name);
    if (!option->repeatable && values_.count(name) != 0) {
      throw UsageError("the option " + name + " is given twice");
    }
    std::string value;
    if (option->takes_value) {
      if (inline_value) {
        value = *inline_value;
      } else if (i + 1 < argv.size()) {
        value = argv[++i];
      } else {
        throw UsageError("the option " + name + " needs a value");
      }
    } else if (inline_value) {
      throw UsageError("the option " + name + " takes no value");
    }
    values_[name].push_back(value);
  }
}

std::optional<std::string> Arguments::Value(const std::string& name) const {
  auto found = values_.find(name);
  if (found == values_.end()) return std::nullopt;
  return found->second.back();
}

std::vector<std::string> Arguments::Values(const std::string& name) const {
  auto found = values_.find(name);
  return found == values_.end() ? std::vector<std::string>{} : found->second;
}

std::optional<long> Arguments::PositiveNumber(const std::string& name) const {
  std::optional<std::string> text = Value(name);
  if (!text) return std::nullopt;
  char* end = nullptr;
  long number = std::strtol(text->c_str(), &end, 10);
  if (text->empty() || *end != '\0' || number <= 0) {
    throw UsageError("the option " + name + " needs a positive number, not '" + *text + "'");
  }
  return number;
}

}  // namespace fphost
