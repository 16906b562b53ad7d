#include "feedprobe/plugin/last_error_record.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace feedprobe {
namespace {

std::string TakeOnce(LastErrorRecord& record) {
  std::string text;
  record.Take(text, true);
  return text;
}

TEST(LastErrorRecord, EachDistinctFailureIsHandedOutOnce) {
  unsetenv("QXV_MON_REPORT_ALWAYS");
  LastErrorRecord record;
  record.Set(2, "A");
  EXPECT_EQ(TakeOnce(record), "A");
  EXPECT_EQ(TakeOnce(record), "");
  record.Set(2, "A");
  EXPECT_EQ(TakeOnce(record), "");
  record.Set(2, "B");
  EXPECT_EQ(TakeOnce(record), "B");
  record.Set(4, "B");
  EXPECT_EQ(TakeOnce(record), "B");
  std::string text;
  EXPECT_EQ(record.Take(text, false), 4);
  EXPECT_EQ(text, "B");
  EXPECT_EQ(record.Take(text, false), 4);
  EXPECT_EQ(text, "B");
  record.Set(4, nullptr);  // same status, no text: stays reported, text empties
  EXPECT_EQ(TakeOnce(record), "");
  EXPECT_EQ(record.text(), "");
}

TEST(LastErrorRecord, ReportAlwaysHandsOutEveryTime) {
  setenv("QXV_MON_REPORT_ALWAYS", "", 1);
  LastErrorRecord record;
  record.Set(2, "A");
  EXPECT_EQ(TakeOnce(record), "A");
  EXPECT_EQ(TakeOnce(record), "A");
  unsetenv("QXV_MON_REPORT_ALWAYS");
  EXPECT_EQ(TakeOnce(record), "A");
  EXPECT_EQ(TakeOnce(record), "");
}

}  // namespace
}  // namespace feedprobe
