#include "platform/os/number.h"

#include <gtest/gtest.h>

#include <clocale>

namespace platform {
namespace {

TEST(ParseDoubleC, LeadingNumberInTheCLocale) {
  struct Case {
    const char* text;
    double value;
  } cases[] = {{"12.5", 12.5}, {"12,5", 12}, {" 7", 7}, {"?x", 0}, {"", 0}, {"-3e2x", -300},
               {"0x10", 16}};
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(ParseDoubleC(c.text), c.value) << c.text;
  // A process locale with a decimal comma changes nothing.
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) {
    EXPECT_DOUBLE_EQ(ParseDoubleC("12.5"), 12.5);
    std::setlocale(LC_NUMERIC, "C");
  }
  EXPECT_DOUBLE_EQ(ParseDoubleC(nullptr), 0);
}

}  // namespace
}  // namespace platform
