#include <gtest/gtest.h>

#include <thread>

#include "xmlmonitorshared/cstring.h"
#include "xmlmonitorshared/exceptions.h"
#include "xmlmonitorshared/format_string.h"
#include "xmlmonitorshared/replace_all.h"
#include "xmlmonitorshared/thread_slot.h"

namespace {

TEST(CString, NullTolerantConventions) {
  CString empty(static_cast<const char*>(nullptr));
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_EQ(TextLength(nullptr), 0u);
  CString text("abc");
  EXPECT_EQ(text.Mid(5).str(), "");
  EXPECT_EQ(text.Mid(1, 1).str(), "b");
  EXPECT_EQ(text.GetAt(3), '\0');
  EXPECT_EQ(text.GetAt(-1), '\0');
}

TEST(FormatString, IsNeverCut) {
  CString target;
  std::string long_text(5000, 'x');
  FormatString(target, "%s-%d", long_text.c_str(), 42);
  EXPECT_EQ(target.str(), long_text + "-42");
}

TEST(ReplaceAll, InPlace) {
  CString text("a$quot;b$quot;");
  EXPECT_TRUE(ReplaceAllInPlace(text, "$quot;", "\""));
  EXPECT_EQ(text.str(), "a\"b\"");
  CString plain("nothing");
  EXPECT_FALSE(ReplaceAllInPlace(plain, "$quot;", "\""));
  EXPECT_EQ(plain.str(), "nothing");
  EXPECT_FALSE(ReplaceAllInPlace(plain, "", "x"));
}

TEST(ReplaceAll, CopyDoesNotRescanTheReplacement) {
  EXPECT_EQ(ReplacedCopy("/a/%h/b/%h", "%h", "12:srv"), "/a/12:srv/b/12:srv");
  EXPECT_EQ(ReplacedCopy("/plain", "%h", "x"), "/plain");
  EXPECT_EQ(ReplacedCopy("%h%h", "%h", "[%h]"), "[%h][%h]");
  EXPECT_EQ(ReplacedCopy("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplacedCopy(nullptr, "%h", "x"), "");
}

TEST(Exceptions, MtlsExceptionHasNoText) {
  CMtlsException e;
  EXPECT_EQ(*e, nullptr);
  CMtlsException copy(e);
  CVkBaseException& base = copy;
  EXPECT_EQ(*base, nullptr);
}

int cleaned_up = 0;
void CountCleanup(void* value) {
  delete static_cast<int*>(value);
  ++cleaned_up;
}

TEST(ThreadSlot, ValuesArePerThreadAndCleanedUpWhenTheThreadEnds) {
  ThreadSlot slot(&CountCleanup);
  EXPECT_EQ(slot.Get(), nullptr);
  int mine = 1;
  EXPECT_EQ(slot.Set(&mine), 0);
  void* seen_on_other = &mine;
  cleaned_up = 0;
  std::thread other([&] {
    seen_on_other = slot.Get();
    slot.Set(new int(2));
  });
  other.join();
  EXPECT_EQ(seen_on_other, nullptr);
  EXPECT_EQ(cleaned_up, 1);
  EXPECT_EQ(slot.Get(), &mine);
  slot.Set(nullptr);
  slot.Release();
  EXPECT_EQ(slot.Get(), nullptr);
  EXPECT_EQ(slot.Set(&mine), -1);
}

}  // namespace
