#include "platform/os/profile.h"

#include <fstream>
#include <optional>
#include <sstream>
#include <string_view>

namespace platform {
namespace {

std::string_view Trim(std::string_view text) {
  size_t begin = text.find_first_not_of(" \t\r\v\f");
  if (begin == std::string_view::npos) return {};
  size_t end = text.find_last_not_of(" \t\r\v\f");
  return text.substr(begin, end - begin + 1);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string_view StripQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

// The raw value of a key, or none when the file, the section or the key is missing.
std::optional<std::string> FindValue(const std::string& file, const std::string& section,
                                     const std::string& key) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::stringstream content;
  content << in.rdbuf();
  std::string text = content.str();
  std::string_view rest(text);
  if (rest.substr(0, 3) == "\xEF\xBB\xBF") rest.remove_prefix(3);

  bool in_section = false;
  while (!rest.empty()) {
    size_t end = rest.find('\n');
    std::string_view line = Trim(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      size_t close = line.find(']');
      std::string_view name = line.substr(1, close == std::string_view::npos ? close : close - 1);
      in_section = EqualsIgnoringCase(Trim(name), section);
      continue;
    }
    if (!in_section) continue;
    size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    if (EqualsIgnoringCase(Trim(line.substr(0, equals)), key))
      return std::string(StripQuotes(Trim(line.substr(equals + 1))));
  }
  return std::nullopt;
}

}  // namespace

std::string ReadProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const char* default_value,
                              int32_t read_size) {
  if (read_size < 1) return {};
  std::optional<std::string> value = FindValue(file, section, key);
  std::string result = value ? *value : std::string(default_value ? default_value : "");
  if (result.size() > static_cast<size_t>(read_size - 1)) result.resize(read_size - 1);
  return result;
}

int32_t ReadProfileInt(const std::string& file, const std::string& section,
                       const std::string& key, int32_t default_value) {
  std::optional<std::string> value = FindValue(file, section, key);
  if (!value || value->empty()) return default_value;
  const std::string& text = *value;
  size_t i = 0;
  bool negative = false;
  if (text[i] == '-' || text[i] == '+') negative = text[i++] == '-';
  uint32_t number = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    number = number * 10u + static_cast<uint32_t>(text[i] - '0');
  if (negative) number = 0u - number;
  return static_cast<int32_t>(number);
}

}  // namespace platform
