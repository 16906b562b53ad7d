#include "feedprobe/plugin/user_data.h"

#include <cstring>

#include "feedprobe/plugin/configuration.h"
#include "feedprobe/plugin/login_string.h"
#include "feedprobe/plugin/property_document.h"
#include "feedprobe/plugin/small_entry_points.h"
#include "platform/support/host_services.h"

namespace feedprobe {

constexpr size_t kUserDataSize = 1024;

std::string LoginRecordField(const char (&field)[129]) {
  return std::string(field, strnlen(field, sizeof field));
}

int32_t GetUserDataStr(const HostLoginRecord* login, const char* properties, char** output) {
  bool account_mode = ConfigInt("EnableAccount", 0) != 0;
  std::string port, use_https, account;
  bool with_properties = properties != nullptr && properties[0] != '\0';
  if (with_properties) {
    PropertyDocument document;
    if (document.Load(properties)) {
      document.GetConnectionProperties(port, use_https);
      if (account_mode) document.GetAccountProperty(account);
    }
  }
  std::string user = login ? LoginRecordField(login->user_name) : "";
  std::string password = login ? LoginRecordField(login->password) : "";
  std::string text = FormatUserData(user.c_str(), password.c_str(), port.c_str(),
                                    use_https.c_str(),
                                    account_mode && with_properties ? account.c_str() : nullptr);
  char* encoded = EncodeLoginString(text.c_str(), -1);
  if (output != nullptr) *output = AllocateHostText(encoded ? encoded : "", kUserDataSize);
  platform::SharedFree(encoded);
  return 1;
}

}  // namespace feedprobe
