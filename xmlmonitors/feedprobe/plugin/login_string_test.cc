#include "feedprobe/plugin/login_string.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/support/host_services.h"

namespace feedprobe {
namespace {

// Owns a text of the shared heap.
struct SharedText {
  char* text;
  ~SharedText() { platform::SharedFree(text); }
};

TEST(LoginString, FormatBuildsFourOrFiveFields) {
  EXPECT_EQ(FormatUserData(nullptr, nullptr, nullptr, nullptr),
            R"(username="" password="" port="" useHttps="")");
  EXPECT_EQ(FormatUserData(nullptr, nullptr, nullptr, nullptr).size(), 43u);
  EXPECT_EQ(FormatUserData("u", "p", "8080", "1", ""),
            R"(username="u" password="p" port="8080" useHttps="1" account="")");
}

TEST(LoginString, ParseTable) {
  struct Case {
    const char* text;
    bool with_account;
    const char *user, *password, *port, *use_https, *account;
  } cases[] = {
      {R"(username="u" password="p" port="80" useHttps="1")", true, "u", "p", "80", "1", "-"},
      {R"(username="u" password="p" port="80" useHttps="1" account="acc")", true, "u", "p", "80",
       "1", "acc"},
      {R"(username="u" password="p" port="80" useHttps="1" account="acc")", false, "u", "p", "80",
       "1", "-"},
      {R"(username="" password="" port="" useHttps="")", true, "", "", "", "", "-"},
      // The two-field form of earlier releases.
      {R"(username="user" password="secret")", true, "user", "secret", "-", "-", "-"},
      {R"(username="" password="")", true, "", "", "-", "-", "-"},
      // Too short: nothing is filled.
      {R"(username="" password=")", true, "-", "-", "-", "-", "-"},
      // Missing keys: that value and those after it are empty.
      {R"(username="a very long user name without keys")", true, "a very long user name without keys",
       "", "", "", ""},
      {R"(username="u" password="p" and no port key at all here)", true, "u",
       R"(p" and no port key at all her)", "", "", ""},
      // Values are taken verbatim.
      {R"(username="a"b" password="p&q" port="x" useHttps="0")", true, R"(a"b)", "p&q", "x",
       "0", "-"},
  };
  for (const Case& c : cases) {
    std::string user = "-", password = "-", port = "-", use_https = "-", account = "-";
    ParseUserData(c.text, &user, &password, &port, &use_https, c.with_account ? &account : nullptr);
    EXPECT_EQ(user, c.user) << c.text;
    EXPECT_EQ(password, c.password) << c.text;
    EXPECT_EQ(port, c.port) << c.text;
    EXPECT_EQ(use_https, c.use_https) << c.text;
    EXPECT_EQ(account, c.account) << c.text;
  }
}

TEST(LoginString, ScrambledFormRoundTrips) {
  const char* login = R"(username="u" password="p" port="80" useHttps="1")";
  SharedText encoded{EncodeLoginStringAt(login, -1, 0x01020304)};
  ASSERT_NE(encoded.text, nullptr);
  EXPECT_EQ(std::string(encoded.text).substr(0, 8), "01020304");
  EXPECT_EQ(std::strlen(encoded.text), 2 * std::strlen(login) + 8);
  for (int pass = 0; pass < 2; ++pass) {
    int32_t length = -1;
    SharedText decoded{DecodeLoginString(encoded.text, &length)};
    EXPECT_STREQ(decoded.text, login);
    EXPECT_EQ(length, static_cast<int32_t>(std::strlen(login)));
  }
  SharedText later{EncodeLoginStringAt(login, -1, 0x01020305)};
  EXPECT_STRNE(later.text, encoded.text);

  SharedText zero_clock{EncodeLoginStringAt("x", -1, 0)};
  EXPECT_EQ(std::string(zero_clock.text).substr(0, 8), "00000001");
}

TEST(LoginString, EmptyNullAndPlainTexts) {
  SharedText empty{EncodeLoginStringAt("", -1, 7)};
  EXPECT_STREQ(empty.text, "00000007e");
  int32_t length = -1;
  SharedText decoded_empty{DecodeLoginString(empty.text, &length)};
  ASSERT_NE(decoded_empty.text, nullptr);
  EXPECT_STREQ(decoded_empty.text, "");
  EXPECT_EQ(length, 0);

  SharedText null_input{EncodeLoginStringAt(nullptr, -1, 7)};
  EXPECT_STREQ(null_input.text, "00000007");
  SharedText decoded_null{DecodeLoginString(null_input.text, &length)};
  EXPECT_EQ(decoded_null.text, nullptr);
  EXPECT_EQ(DecodeLoginString(nullptr, &length), nullptr);

  for (const char* plain : {"username=\"u\" password=\"p\"", "xyz", "abc", "", "0011223g44"}) {
    SharedText same{DecodeLoginString(plain, &length)};
    EXPECT_STREQ(same.text, plain);
    EXPECT_EQ(length, static_cast<int32_t>(std::strlen(plain)));
  }
  // Cut and odd-length forms: an unpaired last digit is ignored, a short one comes back.
  SharedText odd{DecodeLoginString("0000000741a", &length)};
  EXPECT_EQ(length, 1);
  SharedText short_one{DecodeLoginString("000000", &length)};
  EXPECT_STREQ(short_one.text, "000000");
}

}  // namespace
}  // namespace feedprobe
