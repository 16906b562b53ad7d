// The URL cracker on arbitrary text, with and without a component limit; what cracks once
// keeps the limit it was given.
#include <cstdlib>

#include "fuzz_support.h"
#include "platform/inet/url.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text = fuzz_support::Text(data, size);
  (void)platform::inet::CrackUrl(text);
  if (auto cracked = platform::inet::CrackUrl(text, 8)) {
    for (const std::string* part : {&cracked->scheme_name, &cracked->user_name,
                                    &cracked->password, &cracked->host, &cracked->path})
      if (part->size() > 7) std::abort();
  }
  (void)platform::inet::CrackUrl("http://" + text);
  return 0;
}
