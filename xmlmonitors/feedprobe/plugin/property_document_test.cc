#include "feedprobe/plugin/property_document.h"

#include <gtest/gtest.h>

namespace feedprobe {
namespace {

constexpr char kProperties[] = R"(<MonitorProperties>
  <prop name="port"><value>8443</value></prop>
  <prop name="useHttps"><value>1</value></prop>
  <group><prop name="account"><value>ops</value></prop></group>
  <prop name="O'Brien"><value>apostrophe</value></prop>
  <prop name='say "x"'><value>double</value></prop>
  <prop name="novalue"/>
  <prop name="port"><value>second</value></prop>
</MonitorProperties>)";

TEST(PropertyDocument, ReadsPropertiesByName) {
  PropertyDocument properties;
  ASSERT_TRUE(properties.Load(kProperties)) << properties.ErrorText();
  struct Case {
    const char* name;
    const char* value;
  } cases[] = {
      {"port", "8443"},  // the first of two
      {"account", "ops"},
      {"O'Brien", "apostrophe"},
      {"say \"x\"", "double"},
      {"novalue", ""},
      {"missing", ""},
      // Both quotation marks cannot be quoted in the query: no property, and no injection.
      {"x' or '1'='1\"", ""},
      {"' or @name='port", ""},
  };
  for (const Case& c : cases) {
    std::string value = "stale";
    EXPECT_TRUE(properties.GetProperty(c.name, value)) << c.name;
    EXPECT_EQ(value, c.value) << c.name;
  }
  std::string port, use_https, account;
  EXPECT_TRUE(properties.GetConnectionProperties(port, use_https));
  EXPECT_EQ(port, "8443");
  EXPECT_EQ(use_https, "1");
  EXPECT_TRUE(properties.GetAccountProperty(account));
  EXPECT_EQ(account, "ops");
}

TEST(PropertyDocument, TextThatIsNotXml) {
  for (const char* text : {"", "not xml at all", "<MonitorProperties><prop>"}) {
    PropertyDocument properties;
    EXPECT_FALSE(properties.Load(text)) << text;
    EXPECT_EQ(properties.ErrorText(), "Error Loading XML.") << text;
    std::string port = "stale", use_https = "stale";
    EXPECT_FALSE(properties.GetConnectionProperties(port, use_https)) << text;
    EXPECT_EQ(port, "");
    EXPECT_EQ(use_https, "");
  }
  // A good load after a bad one reads normally; a bad one after a good one reads nothing.
  PropertyDocument properties;
  EXPECT_FALSE(properties.Load("<broken"));
  ASSERT_TRUE(properties.Load("<p><prop name=\"account\"><value>a</value></prop></p>"));
  std::string account;
  EXPECT_TRUE(properties.GetAccountProperty(account));
  EXPECT_EQ(account, "a");
  EXPECT_FALSE(properties.Load("<broken"));
  EXPECT_FALSE(properties.GetAccountProperty(account));
  EXPECT_EQ(account, "");
}

TEST(PropertyDocument, WellFormedWithoutProperties) {
  PropertyDocument properties;
  ASSERT_TRUE(properties.Load("<MonitorProperties/>"));
  std::string port = "stale", use_https = "stale", account = "stale";
  EXPECT_TRUE(properties.GetConnectionProperties(port, use_https));
  EXPECT_TRUE(properties.GetAccountProperty(account));
  EXPECT_EQ(port + use_https + account, "");
}

}  // namespace
}  // namespace feedprobe
