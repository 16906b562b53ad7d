#include "platform/com/registry_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace platform {
namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out + "\"";
}

// Reads a quoted text starting at line[i] == '"'; i ends after the closing quote.
bool Unquote(const std::string& line, size_t& i, std::string* out) {
  if (i >= line.size() || line[i] != '"') return false;
  out->clear();
  for (++i; i < line.size(); ++i) {
    char c = line[i];
    if (c == '\\' && i + 1 < line.size()) {
      char next = line[++i];
      *out += next == 'n' ? '\n' : next;
    } else if (c == '"') {
      ++i;
      return true;
    } else {
      *out += c;
    }
  }
  return false;
}

// Holds the cross-process lock of a store file.
class FileLock {
 public:
  explicit FileLock(const std::string& path) {
    fd_ = open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ >= 0) flock(fd_, LOCK_EX);
  }
  ~FileLock() {
    if (fd_ >= 0) {
      flock(fd_, LOCK_UN);
      close(fd_);
    }
  }
  bool locked() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

bool WriteAtomically(const std::string& path, const std::string& content) {
  std::string temporary = path + ".tmp." + std::to_string(getpid());
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < content.size()) {
    ssize_t n = write(fd, content.data() + done, content.size() - done);
    if (n <= 0) {
      close(fd);
      unlink(temporary.c_str());
      return false;
    }
    done += static_cast<size_t>(n);
  }
  bool ok = fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temporary.c_str());
  return ok;
}

}  // namespace

bool RegistryData::KeyExists(const std::string& path) const { return keys_.count(Lower(path)) > 0; }

void RegistryData::CreateKey(const std::string& path) {
  for (size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 1)) {
    std::string parent = path.substr(0, at);
    keys_.try_emplace(Lower(parent), Key{parent, {}});
  }
  keys_.try_emplace(Lower(path), Key{path, {}});
}

void RegistryData::DeleteKeyTree(const std::string& path) {
  std::string key = Lower(path);
  std::string prefix = key + "\\";
  for (auto it = keys_.begin(); it != keys_.end();) {
    if (it->first == key || it->first.compare(0, prefix.size(), prefix) == 0) it = keys_.erase(it);
    else ++it;
  }
}

bool RegistryData::HasSubkeys(const std::string& path) const {
  std::string prefix = Lower(path) + "\\";
  auto it = keys_.lower_bound(prefix);
  return it != keys_.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

void RegistryData::SetString(const std::string& path, const std::string& name,
                             const std::string& value) {
  CreateKey(path);
  RegistryValue v;
  v.type = RegistryValue::Type::kString;
  v.text = value;
  keys_[Lower(path)].values[Lower(name)] = {name, v};
}

void RegistryData::SetDword(const std::string& path, const std::string& name, uint32_t value) {
  CreateKey(path);
  RegistryValue v;
  v.type = RegistryValue::Type::kDword;
  v.number = value;
  keys_[Lower(path)].values[Lower(name)] = {name, v};
}

std::optional<RegistryValue> RegistryData::GetValue(const std::string& path,
                                                    const std::string& name) const {
  auto key = keys_.find(Lower(path));
  if (key == keys_.end()) return std::nullopt;
  auto value = key->second.values.find(Lower(name));
  if (value == key->second.values.end()) return std::nullopt;
  return value->second.second;
}

void RegistryData::DeleteValue(const std::string& path, const std::string& name) {
  auto key = keys_.find(Lower(path));
  if (key != keys_.end()) key->second.values.erase(Lower(name));
}

std::string RegistryData::Serialize() const {
  std::ostringstream out;
  out << "; feedprobe class registry\n";
  for (const auto& [lower, key] : keys_) {
    out << "\n[" << key.path << "]\n";
    for (const auto& [lower_name, entry] : key.values) {
      const auto& [name, value] = entry;
      out << (name.empty() ? std::string("@") : Quote(name)) << "=";
      if (value.type == RegistryValue::Type::kDword) {
        char number[16];
        std::snprintf(number, sizeof number, "dword:%08x", value.number);
        out << number << "\n";
      } else {
        out << Quote(value.text) << "\n";
      }
    }
  }
  return out.str();
}

RegistryData RegistryData::Parse(const std::string& text) {
  RegistryData data;
  std::istringstream in(text);
  std::string line, current;
  bool in_key = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[' && line.back() == ']') {
      current = line.substr(1, line.size() - 2);
      data.CreateKey(current);
      in_key = true;
      continue;
    }
    if (!in_key) continue;
    size_t i = 0;
    std::string name;
    if (line[0] == '@') i = 1;
    else if (!Unquote(line, i, &name)) continue;
    if (i >= line.size() || line[i] != '=') continue;
    ++i;
    if (line.compare(i, 6, "dword:") == 0) {
      data.SetDword(current, name,
                    static_cast<uint32_t>(std::strtoul(line.c_str() + i + 6, nullptr, 16)));
    } else {
      std::string value;
      if (Unquote(line, i, &value)) data.SetString(current, name, value);
    }
  }
  return data;
}

std::string RegistryStore::DefaultPath() {
  if (const char* configured = std::getenv("FEEDPROBE_REGISTRY"); configured && *configured)
    return configured;
  std::string base;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) base = xdg;
  else if (const char* home = std::getenv("HOME"); home && *home)
    base = std::string(home) + "/.local/share";
  else base = "/tmp";
  return base + "/feedprobe/registry";
}

RegistryData RegistryStore::Read() const {
  std::ifstream in(path_, std::ios::binary);
  if (!in) return {};
  std::stringstream content;
  content << in.rdbuf();
  return RegistryData::Parse(content.str());
}

HRESULT RegistryStore::Update(const std::function<HRESULT(RegistryData&)>& change) const {
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ignored);
  FileLock lock(path_);
  if (!lock.locked()) return REGDB_E_WRITEREGDB;
  RegistryData data = Read();
  HRESULT hr = change(data);
  if (FAILED(hr)) return hr;
  if (!WriteAtomically(path_, data.Serialize())) return REGDB_E_WRITEREGDB;
  return hr;
}

}  // namespace platform
