#include "feedprobe/plugin/login_string.h"

#include <cstring>
#include <ctime>
#include <vector>

#include "platform/support/host_services.h"
#include "xmlmonitorshared/format_string.h"

namespace feedprobe {
namespace {

constexpr uint32_t kFeedbackMask = 0x5A3C96E1u;
constexpr size_t kTwoFieldLength = 23;   // username="" password=""
constexpr size_t kFourFieldLength = 43;  // ... port="" useHttps=""

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

char* CopyToSharedHeap(const char* data, size_t length) {
  auto* copy = static_cast<char*>(platform::SharedAlloc(length + 1));
  if (copy == nullptr) return nullptr;
  if (length > 0) std::memcpy(copy, data, length);
  copy[length] = '\0';
  return copy;
}

}  // namespace

std::string FormatUserData(const char* user, const char* password, const char* port,
                           const char* use_https, const char* account) {
  auto text = [](const char* value) { return value ? value : ""; };
  if (account != nullptr) {
    return StringPrintf(R"(username="%s" password="%s" port="%s" useHttps="%s" account="%s")",
                        text(user), text(password), text(port), text(use_https), account);
  }
  return StringPrintf(R"(username="%s" password="%s" port="%s" useHttps="%s")", text(user),
                      text(password), text(port), text(use_https));
}

void ParseUserData(const char* text, std::string* user, std::string* password, std::string* port,
                   std::string* use_https, std::string* account) {
  std::string line = text ? text : "";
  if (line.size() < kTwoFieldLength) return;
  line.pop_back();  // the closing quotation mark

  // Each key found ends the previous value two characters before it (quote and blank).
  const size_t value_start = 10;  // length of username="
  std::vector<std::string> keys = {"password=\""};
  std::vector<std::string*> outputs = {user, password};
  if (line.size() + 1 >= kFourFieldLength) {
    keys.insert(keys.end(), {"port=\"", "useHttps=\"", "account=\""});
    outputs.insert(outputs.end(), {port, use_https, account});
  }
  size_t start = value_start;
  size_t index = 0;
  for (; index < keys.size(); ++index) {
    size_t found = start <= line.size() ? line.find(keys[index], start) : std::string::npos;
    if (found == std::string::npos) break;
    size_t end = found >= start + 2 ? found - 2 : start;
    if (outputs[index]) *outputs[index] = line.substr(start, end - start);
    start = found + keys[index].size();
  }
  // The last value found runs to the end. Without the optional account key the account
  // output stays as it was; a missing required key empties every value after it.
  if (outputs[index]) *outputs[index] = start <= line.size() ? line.substr(start) : "";
  bool only_account_missing = keys.size() == 4 && index == 3;
  if (!only_account_missing) {
    for (size_t rest = index + 1; rest < outputs.size(); ++rest)
      if (outputs[rest]) outputs[rest]->clear();
  }
}

uint8_t ScrambleByte(uint8_t byte, uint32_t& state) {
  for (uint8_t mask = 0x80; mask != 0; mask >>= 1) {
    if (state & 1u) {
      state = (state >> 1) ^ kFeedbackMask;
      byte ^= mask;
    } else {
      state >>= 1;
    }
  }
  return byte;
}

char* EncodeLoginString(const char* text, int32_t length) {
  return EncodeLoginStringAt(text, length, static_cast<uint32_t>(std::time(nullptr)));
}

char* EncodeLoginStringAt(const char* text, int32_t length, uint32_t seconds) {
  static const char kHex[] = "0123456789abcdef";
  uint32_t seed = seconds == 0 ? 1 : seconds;
  size_t size = text == nullptr ? 0 : length < 0 ? std::strlen(text) : static_cast<size_t>(length);
  auto* out = static_cast<char*>(platform::SharedAlloc((size + 5) * 2));
  if (out == nullptr) return nullptr;

  size_t at = 0;
  auto put = [&](uint8_t byte) {
    out[at++] = kHex[byte >> 4];
    out[at++] = kHex[byte & 0x0F];
  };
  for (int shift = 24; shift >= 0; shift -= 8) put(static_cast<uint8_t>(seed >> shift));
  uint32_t state = seed;
  for (size_t i = 0; i < size; ++i) put(ScrambleByte(static_cast<uint8_t>(text[i]), state));
  if (size == 0 && text != nullptr) out[at++] = 'e';
  out[at] = '\0';
  return out;
}

char* DecodeLoginString(const char* text, int32_t* length) {
  if (length) *length = 0;
  if (text == nullptr) return nullptr;
  size_t size = std::strlen(text);
  bool all_hex = size > 0;
  for (size_t i = 0; i < size && all_hex; ++i) all_hex = HexDigit(text[i]) >= 0;
  size_t pairs = size / 2;
  if (!all_hex || pairs < 4) {
    if (length) *length = static_cast<int32_t>(size);
    return CopyToSharedHeap(text, size);
  }
  if (pairs == 4) return size > 8 ? CopyToSharedHeap("", 0) : nullptr;

  std::vector<uint8_t> bytes(pairs);
  for (size_t i = 0; i < pairs; ++i)
    bytes[i] = static_cast<uint8_t>(HexDigit(text[2 * i]) << 4 | HexDigit(text[2 * i + 1]));
  uint32_t state = static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
                   static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
  std::string plain;
  plain.reserve(pairs - 4);
  for (size_t i = 4; i < pairs; ++i) plain += static_cast<char>(ScrambleByte(bytes[i], state));
  if (length) *length = static_cast<int32_t>(plain.size());
  return CopyToSharedHeap(plain.data(), plain.size());
}

}  // namespace feedprobe
