#include <gtest/gtest.h>

#include <string>

#include "scan/textcase.h"

using namespace ostrel;

namespace {

struct TCase {
  const char* What;
  std::string A;
  std::string B;
  int Sign;  // of CompareNoCase(A, B)
};

int Sign(int v) { return (v > 0) - (v < 0); }

}  // namespace

TEST(CompareNoCase, OrdersByteByByteWithOnlyAToZFolded) {
  const TCase cases[] = {
      {"equal but for case", "Program Files", "PROGRAM files", 0},
      {"prefix first", "Temp", "temp2", -1},
      // Letters fold up, so '_' (0x5F) sorts after every letter and '@' (0x40) before.
      {"underscore after letters", "_cache", "zebra", 1},
      {"at before letters", "@home", "alpha", -1},
      // Other bytes count unsigned: a byte above 127 sorts after ASCII.
      {"high byte after ASCII", "\xc3\xa9t\xc3\xa9", "zz", 1},
      {"high bytes never fold", "\xc3\xa9", "\xc3\x89", 1},
      // Names that are not UTF-8 compare by their bytes like any other: Latin-1 "a\xE9" before
      // UTF-8 "a\xEC\x95\x88" (a and a Hangul syllable).
      {"Latin-1 before Hangul", "a\xe9", "A\xec\x95\x88", -1},
      {"empty first", "", "a", -1},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(Sign(CompareNoCase(c.A, c.B)), c.Sign) << c.What;
    EXPECT_EQ(Sign(CompareNoCase(c.B, c.A)), -c.Sign) << c.What;
    EXPECT_EQ(SameTextNoCase(c.A, c.B), c.Sign == 0) << c.What;
  }
}

TEST(ContainsNoCase, FindsAPartWithOnlyAToZFolded) {
  EXPECT_TRUE(ContainsNoCase("Holiday.JPG", "day.jp"));
  EXPECT_TRUE(ContainsNoCase("abc", ""));
  EXPECT_TRUE(ContainsNoCase("", ""));
  EXPECT_FALSE(ContainsNoCase("ab", "abc"));
  EXPECT_FALSE(ContainsNoCase("caf\xc3\xa9", "\xc3\x89"));  // é and É are different bytes
  EXPECT_TRUE(ContainsNoCase("x\xc3\xa9y", "\xc3\xa9Y"));
}
