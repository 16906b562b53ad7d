#include "feedprobe/plugin/user_data.h"

#include <gtest/gtest.h>

#include <cstring>

#include "feedprobe/plugin/login_string.h"
#include "feedprobe/plugin/small_entry_points.h"
#include "platform/os/paths.h"
#include "platform/support/host_services.h"
#include "support/program_folder.h"

namespace feedprobe {
namespace {

class UserDataTest : public testing::Test {
 protected:
  void Configure(const std::string& keys) {
    std::string type = platform::FileNameOf(platform::ModulePath());
    folder_.WriteMonitorConfig(type + ".ini", "[" + type + "]\n" + keys);
  }
  // GetUserDataStr decoded again.
  std::string UserData(const char* properties) {
    HostLoginRecord login{};
    std::strcpy(login.machine_name, "srv");
    std::strcpy(login.user_name, "admin");
    std::strcpy(login.password, "pa\"ss");
    char* output = nullptr;
    EXPECT_EQ(feedprobe::GetUserDataStr(&login, properties, &output), 1);
    char* decoded = DecodeLoginString(output, nullptr);
    std::string text = decoded ? decoded : "<none>";
    platform::SharedFree(decoded);
    feedprobe::FreeMonitorStringAllocation(&output);
    EXPECT_EQ(output, nullptr);
    return text;
  }
  testing_support::ProgramFolder folder_;
};

constexpr const char* kProperties =
    "<props><prop name=\"port\"><value>8443</value></prop>"
    "<prop name=\"useHttps\"><value>1</value></prop>"
    "<prop name=\"account\"><value>acme</value></prop></props>";

TEST_F(UserDataTest, PropertiesAndAccountMode) {
  Configure("EnableAccount=0\n");
  EXPECT_EQ(UserData(kProperties), R"(username="admin" password="pa"ss" port="8443" useHttps="1")");
  EXPECT_EQ(UserData(nullptr), R"(username="admin" password="pa"ss" port="" useHttps="")");
  EXPECT_EQ(UserData("not xml"), R"(username="admin" password="pa"ss" port="" useHttps="")");

  Configure("EnableAccount=1\n");
  EXPECT_EQ(UserData(kProperties),
            R"(username="admin" password="pa"ss" port="8443" useHttps="1" account="acme")");
  EXPECT_EQ(UserData("<props/>"),
            R"(username="admin" password="pa"ss" port="" useHttps="" account="")");
  EXPECT_EQ(UserData(""), R"(username="admin" password="pa"ss" port="" useHttps="")");
}

TEST_F(UserDataTest, FieldsThatFillTheirRecordAreCut) {
  Configure("");
  HostLoginRecord login;
  std::memset(&login, 'u', sizeof login);  // no terminating zero anywhere
  char* output = nullptr;
  feedprobe::GetUserDataStr(&login, nullptr, &output);
  char* decoded = DecodeLoginString(output, nullptr);
  EXPECT_EQ(std::string(decoded), "username=\"" + std::string(129, 'u') + "\" password=\"" +
                                      std::string(129, 'u') + "\" port=\"\" useHttps=\"\"");
  platform::SharedFree(decoded);
  feedprobe::FreeMonitorStringAllocation(&output);
}

}  // namespace
}  // namespace feedprobe
