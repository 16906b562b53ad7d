// Cracking of URLs into scheme, user name, password, host, port and path, with the rules the
// host set-up relies on: a text without a recognised scheme cracks with scheme number -1 (or not
// at all), so that the caller can put "http://" in front and crack again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform::inet {

// Scheme numbers of the internet client library.
enum class UrlScheme : int {
  kUnknown = -1,
  kFtp = 1,
  kGopher = 2,
  kHttp = 3,
  kHttps = 4,
  kFile = 5,
  kNews = 6,
  kMailto = 7,
  kSocks = 8,
  kJavascript = 9,
  kVbscript = 10,
  kRes = 11,
};

// The scheme with this name (letter case ignored), kUnknown for any other.
UrlScheme SchemeFromName(std::string_view name);
// The port a scheme uses when the URL names none: 21, 70, 80, 443 for ftp, gopher, http, https,
// 0 for the others.
uint16_t DefaultPort(UrlScheme scheme);

struct CrackedUrl {
  std::string scheme_name;  // as written, e.g. "HTTPS"
  UrlScheme scheme = UrlScheme::kUnknown;
  std::string user_name;
  std::string password;
  std::string host;   // without the brackets of an IPv6 literal
  uint16_t port = 0;  // the URL's port, else the scheme's default port
  std::string path;   // everything after the authority: path, query and fragment
};

// Cracks a URL "scheme://[user[:password]@]host[:port][/path][?query]". A scheme other than the
// known ones still cracks, with kUnknown and whatever follows its "//" taken as host and path.
// Fails (none) when the text has no scheme (no ":" before the first "/", or a scheme name that
// is not letters, digits, "+", "-", "." starting with a letter), when the port is not a number
// from 0 to 65535, or when a component is longer than component_capacity - 1 characters
// (the size of the caller's buffers; 0 for no limit).
std::optional<CrackedUrl> CrackUrl(std::string_view url, size_t component_capacity = 0);

}  // namespace platform::inet
