// The documents of the benchmarks: a server's status document of N values (100 per component)
// and the two stylesheets that normalise it into the metric list and the metric data.
#pragma once

#include <string>
#include <vector>

namespace feedprobe_bench {

inline constexpr int kValuesPerComponent = 100;

// <status><component name="c7"><metric name="m0042" type="gauge" value="..."/>...</status>
std::string StatusDocument(int values, unsigned seed);

// The identity paths of the N counters, in document order.
std::vector<std::string> CounterIds(int values);

// MetricListXSL: components become objects, metrics counters with name and class.
extern const char kListStylesheet[];
// MetricDataXSL: the same with the value as `val`.
extern const char kDataStylesheet[];

}  // namespace feedprobe_bench
