// The scrambled login decoder and the login string parser on arbitrary text; a decoded login
// string that was encoded again must decode to itself.
#include <cstdlib>
#include <cstring>

#include "feedprobe/plugin/login_string.h"
#include "fuzz_support.h"
#include "platform/support/host_services.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text = fuzz_support::CText(data, size);

  int32_t length = 0;
  char* decoded = feedprobe::DecodeLoginString(text.c_str(), &length);
  if (decoded != nullptr) {
    std::string plain(decoded, std::strlen(decoded));
    platform::SharedFree(decoded);
    char* again = feedprobe::EncodeLoginStringAt(plain.c_str(), -1, 0x12345678u);
    if (again != nullptr) {
      int32_t round_length = 0;
      char* round = feedprobe::DecodeLoginString(again, &round_length);
      if (!plain.empty() && (round == nullptr || plain != round)) std::abort();
      if (round != nullptr) platform::SharedFree(round);
      platform::SharedFree(again);
    }
  }

  std::string user, password, port, use_https, account;
  feedprobe::ParseUserData(text.c_str(), &user, &password, &port, &use_https, &account);
  std::string formatted = feedprobe::FormatUserData(user.c_str(), password.c_str(), port.c_str(),
                                                    use_https.c_str(), account.c_str());
  feedprobe::ParseUserData(formatted.c_str(), &user, &password, &port, &use_https, &account);
  return 0;
}
