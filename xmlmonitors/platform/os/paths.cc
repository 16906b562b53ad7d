#include "platform/os/paths.h"

#include <dlfcn.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace platform {

std::string ModulePath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ModulePath), &info) == 0 || info.dli_fname == nullptr)
    return {};
  return AbsolutePath(info.dli_fname);
}

std::string HostExecutablePath() {
  std::vector<char> buffer(PATH_MAX + 1);
  ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return {};
  return std::string(buffer.data(), static_cast<size_t>(n));
}

std::string ProgramFolder() {
  const char* configured = std::getenv("FEEDPROBE_PROGRAM_DIR");
  std::string folder;
  if (configured != nullptr && configured[0] != '\0') {
    folder = AbsolutePath(NativePath(configured));
    if (folder.back() != '/') folder += '/';
  } else {
    folder = DirectoryOf(HostExecutablePath());
  }
  return folder;
}

std::string NativePath(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty() || path.front() == '/') return path;
  std::vector<char> cwd(PATH_MAX + 1);
  if (getcwd(cwd.data(), cwd.size()) == nullptr) return path;
  std::string base(cwd.data());
  if (base.back() != '/') base += '/';
  return base + path;
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0;
}

}  // namespace platform
