// The counters of a host as GetMeasurementsCollection describes them: the plug-in's annotated
// metric list, read with a small scanner of its own (the host tool has no XML library).
#pragma once

#include <string>
#include <vector>

#include "login.h"
#include "plugin.h"

namespace fphost {

struct Counter {
  std::string id;           // measurement identifier
  std::string path;         // display path as the plug-in gives it ($quot; kept)
  std::string description;  // already with real quotation marks
};

// The `counter` elements of an annotated metric list, in document order.
std::vector<Counter> ParseCollection(const std::string& xml);

// A display path as it is shown: "$quot;" becomes a quotation mark.
std::string Shown(const std::string& path);

// Calls GetMeasurementsCollection for the host; HostError with the plug-in's text on failure.
// The raw text goes to *xml when given.
std::vector<Counter> LoadCollection(const Plugin& plugin, const Login& login,
                                    const std::string& host, std::string* xml = nullptr);

}  // namespace fphost
