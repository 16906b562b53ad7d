// The profile reader on an arbitrary file: strings at several read sizes and integers.
#include "fuzz_support.h"
#include "platform/os/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz_support::ScratchFile file(".ini");
  const std::string& path = file.Write(data, size);
  for (const char* section : {"alpha", "Settings", "", "a b"}) {
    for (const char* key : {"MetricListURL", "Port", "", "key"}) {
      for (int32_t read_size : {0, 1, 2, 16, 1024})
        (void)platform::ReadProfileString(path, section, key, "default", read_size);
      (void)platform::ReadProfileInt(path, section, key, 7);
    }
  }
  return 0;
}
