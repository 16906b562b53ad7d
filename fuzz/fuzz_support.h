// Small helpers shared by the fuzz targets.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace fuzz_support {

inline std::string Text(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// The input cut at its first NUL, as a C text would be read.
inline std::string CText(const uint8_t* data, size_t size) {
  std::string text = Text(data, size);
  return text.substr(0, text.find('\0'));
}

// A file of this process under /tmp, rewritten with each input and removed at exit.
class ScratchFile {
 public:
  explicit ScratchFile(const char* suffix)
      : path_("/tmp/feedprobe-fuzz-" + std::to_string(getpid()) + suffix) {}
  ~ScratchFile() { std::remove(path_.c_str()); }
  const std::string& Write(const uint8_t* data, size_t size) {
    if (FILE* file = std::fopen(path_.c_str(), "wb")) {
      if (size > 0) std::fwrite(data, 1, size, file);
      std::fclose(file);
    }
    return path_;
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace fuzz_support
