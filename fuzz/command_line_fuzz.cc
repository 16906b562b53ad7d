// The command-line splitter on arbitrary text: no argument may be longer than the line.
#include <cstdlib>

#include "fuzz_support.h"
#include "platform/os/process.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string line = fuzz_support::Text(data, size);
  size_t total = 0;
  for (const std::string& argument : platform::SplitCommandLine(line)) total += argument.size();
  if (total > line.size()) std::abort();
  return 0;
}
