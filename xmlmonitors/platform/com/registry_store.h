// The class registry (the keys below HKEY_CLASSES_ROOT) kept in one file: FEEDPROBE_REGISTRY,
// or feedprobe/registry under $XDG_DATA_HOME (default ~/.local/share). Changes run under a
// lock held across processes and are written atomically (temporary file, then rename), so the
// file is always complete: the old content or the new.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "platform/com/hresult.h"

namespace platform {

struct RegistryValue {
  enum class Type { kString, kDword } type = Type::kString;
  std::string text;
  uint32_t number = 0;
};

// The keys of the store; key paths are "A\B\C", names compare without regard to letter case.
// The value name "" is the key's default value.
class RegistryData {
 public:
  bool KeyExists(const std::string& path) const;
  // Creates the key and its parents.
  void CreateKey(const std::string& path);
  // Deletes the key with all keys below it.
  void DeleteKeyTree(const std::string& path);
  bool HasSubkeys(const std::string& path) const;
  void SetString(const std::string& path, const std::string& name, const std::string& value);
  void SetDword(const std::string& path, const std::string& name, uint32_t value);
  std::optional<RegistryValue> GetValue(const std::string& path, const std::string& name) const;
  void DeleteValue(const std::string& path, const std::string& name);

  std::string Serialize() const;
  static RegistryData Parse(const std::string& text);

 private:
  struct Key {
    std::string path;  // as first written
    std::map<std::string, std::pair<std::string, RegistryValue>> values;  // lower-case name
  };
  std::map<std::string, Key> keys_;  // by lower-case path
};

class RegistryStore {
 public:
  explicit RegistryStore(std::string path = DefaultPath()) : path_(std::move(path)) {}
  static std::string DefaultPath();

  // Reads the store (empty when the file does not exist).
  RegistryData Read() const;
  // Runs the change on the current content under the lock and writes the result when the
  // change succeeds; the change's result, or REGDB_E_WRITEREGDB when writing fails.
  HRESULT Update(const std::function<HRESULT(RegistryData&)>& change) const;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace platform
