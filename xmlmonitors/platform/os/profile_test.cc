#include "platform/os/profile.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace platform {
namespace {

class ProfileTest : public testing::Test {
 protected:
  void SetUp() override {
    path_ = (std::filesystem::temp_directory_path() / "feedprobe-profile-XXXXXX").string();
    int fd = mkstemp(path_.data());
    ASSERT_GE(fd, 0);
    close(fd);
    std::ofstream(path_) << "\xEF\xBB\xBF; leading comment\r\n"
                            "[Tomcat]\r\n"
                            "  Url  =  http://host/status  \r\n"
                            "Quoted=\"  spaced  \"\n"
                            "Single='x'\n"
                            "Lonely=\"\n"
                            "Empty=\n"
                            "; Commented=yes\n"
                            "Trailing=value ; not a comment\n"
                            "Port=8080abc\n"
                            "Negative=-12\n"
                            "Word=abc\n"
                            "NoEquals\n"
                            "[ other ]\n"
                            "Url=elsewhere\n";
  }
  void TearDown() override { std::filesystem::remove(path_); }
  std::string path_;
};

TEST_F(ProfileTest, StringsFollowTheProfileRules) {
  struct Case {
    const char* section;
    const char* key;
    const char* default_value;
    int32_t size;
    const char* expected;
  } cases[] = {
      {"Tomcat", "Url", "d", 100, "http://host/status"},
      {"tomcat", "URL", "d", 100, "http://host/status"},  // names ignore case
      {"Tomcat", "Quoted", "d", 100, "  spaced  "},         // one pair of quotes goes
      {"Tomcat", "Single", "d", 100, "x"},
      {"Tomcat", "Lonely", "d", 100, "\""},
      {"Tomcat", "Empty", "d", 100, ""},                    // present but empty
      {"Tomcat", "Commented", "d", 100, "d"},
      {"Tomcat", "Trailing", "d", 100, "value ; not a comment"},
      {"Tomcat", "Missing", "fallback", 100, "fallback"},
      {"Tomcat", "Missing", nullptr, 100, ""},
      {"Nowhere", "Url", "d", 100, "d"},
      {"other", "Url", "d", 100, "elsewhere"},              // blanks inside brackets
      {"Tomcat", "Url", "d", 5, "http"},                    // cut to size - 1
      {"Tomcat", "Url", "d", 1, ""},
      {"Tomcat", "Url", "d", 0, ""},
      {"Tomcat", "Missing", "fallback", 4, "fal"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadProfileString(path_, c.section, c.key, c.default_value, c.size), c.expected)
        << c.section << "/" << c.key << " size " << c.size;
  }
  EXPECT_EQ(ReadProfileString(path_ + ".missing", "Tomcat", "Url", "d", 100), "d");
}

TEST_F(ProfileTest, IntegersTakeTheLeadingNumber) {
  EXPECT_EQ(ReadProfileInt(path_, "Tomcat", "Port", 1), 8080);
  EXPECT_EQ(ReadProfileInt(path_, "Tomcat", "Negative", 1), -12);
  EXPECT_EQ(ReadProfileInt(path_, "Tomcat", "Word", 1), 0);
  EXPECT_EQ(ReadProfileInt(path_, "Tomcat", "Missing", 3000), 3000);
  EXPECT_EQ(ReadProfileInt(path_, "Tomcat", "Empty", 3000), 3000);
  EXPECT_EQ(ReadProfileInt(path_ + ".missing", "Tomcat", "Port", 7), 7);
}

}  // namespace
}  // namespace platform
