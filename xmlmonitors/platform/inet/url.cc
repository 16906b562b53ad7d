#include "platform/inet/url.h"

#include <array>
#include <cctype>
#include <utility>

namespace platform::inet {
namespace {

struct SchemeEntry {
  std::string_view name;
  UrlScheme scheme;
  uint16_t default_port;
};

constexpr std::array<SchemeEntry, 11> kSchemes = {{
    {"ftp", UrlScheme::kFtp, 21},
    {"gopher", UrlScheme::kGopher, 70},
    {"http", UrlScheme::kHttp, 80},
    {"https", UrlScheme::kHttps, 443},
    {"file", UrlScheme::kFile, 0},
    {"news", UrlScheme::kNews, 0},
    {"mailto", UrlScheme::kMailto, 0},
    {"socks", UrlScheme::kSocks, 0},
    {"javascript", UrlScheme::kJavascript, 0},
    {"vbscript", UrlScheme::kVbscript, 0},
    {"res", UrlScheme::kRes, 0},
}};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool IsSchemeName(std::string_view name) {
  if (name.empty() || !std::isalpha(static_cast<unsigned char>(name[0]))) return false;
  for (char c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') {
      return false;
    }
  }
  return true;
}

// Reads a decimal port; none for anything but 1 to 5 digits with a value up to 65535.
std::optional<uint16_t> ParsePort(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  if (value > 0xFFFF) return std::nullopt;
  return static_cast<uint16_t>(value);
}

// Splits "host[:port]" or "[v6 literal][:port]" into host and port text.
bool SplitHostPort(std::string_view host_port, std::string_view* host, std::string_view* port) {
  *port = {};
  if (!host_port.empty() && host_port.front() == '[') {
    size_t close = host_port.find(']');
    if (close == std::string_view::npos) return false;
    *host = host_port.substr(1, close - 1);
    std::string_view rest = host_port.substr(close + 1);
    if (rest.empty()) return true;
    if (rest.front() != ':') return false;
    *port = rest.substr(1);
    return true;
  }
  size_t colon = host_port.rfind(':');
  if (colon == std::string_view::npos) {
    *host = host_port;
  } else {
    *host = host_port.substr(0, colon);
    *port = host_port.substr(colon + 1);
  }
  return true;
}

}  // namespace

UrlScheme SchemeFromName(std::string_view name) {
  for (const SchemeEntry& entry : kSchemes) {
    if (EqualsIgnoringCase(entry.name, name)) return entry.scheme;
  }
  return UrlScheme::kUnknown;
}

uint16_t DefaultPort(UrlScheme scheme) {
  for (const SchemeEntry& entry : kSchemes) {
    if (entry.scheme == scheme) return entry.default_port;
  }
  return 0;
}

std::optional<CrackedUrl> CrackUrl(std::string_view url, size_t component_capacity) {
  size_t colon = url.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  std::string_view scheme_name = url.substr(0, colon);
  if (!IsSchemeName(scheme_name)) return std::nullopt;

  CrackedUrl cracked;
  cracked.scheme_name = std::string(scheme_name);
  cracked.scheme = SchemeFromName(scheme_name);
  cracked.port = DefaultPort(cracked.scheme);

  std::string_view rest = url.substr(colon + 1);
  if (rest.substr(0, 2) == "//") {
    rest.remove_prefix(2);
    size_t authority_end = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, authority_end);
    std::string_view path =
        authority_end == std::string_view::npos ? std::string_view() : rest.substr(authority_end);

    size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
      std::string_view user_info = authority.substr(0, at);
      authority.remove_prefix(at + 1);
      size_t separator = user_info.find(':');
      cracked.user_name = std::string(user_info.substr(0, separator));
      if (separator != std::string_view::npos) {
        cracked.password = std::string(user_info.substr(separator + 1));
      }
    }
    std::string_view host, port;
    if (!SplitHostPort(authority, &host, &port)) return std::nullopt;
    if (!port.empty()) {
      std::optional<uint16_t> number = ParsePort(port);
      if (!number) return std::nullopt;
      cracked.port = *number;
    }
    cracked.host = std::string(host);
    cracked.path = std::string(path);
  } else {
    cracked.path = std::string(rest);
  }

  if (component_capacity != 0) {
    for (const std::string* component : {&cracked.scheme_name, &cracked.user_name,
                                         &cracked.password, &cracked.host, &cracked.path}) {
      if (component->size() >= component_capacity) return std::nullopt;
    }
  }
  return cracked;
}

}  // namespace platform::inet
