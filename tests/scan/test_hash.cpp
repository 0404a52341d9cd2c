#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <set>

#include "scan/check.h"
#include "scan/hash.h"

namespace ostrel::detail {
extern const std::array<uint32_t, 256> HashTable;
}

namespace ostrel {
namespace {

TEST(HashName, WorkedExampleStepByStep) {
  EXPECT_EQ(HashName("a", 0), 0x00000670u);
  EXPECT_EQ(HashName("ab", 0), 0xFFFF870Bu);
  EXPECT_EQ(HashName("abc", 0), 0xFFFEFDEDu);
  // The seed carries the state from one byte to the next.
  EXPECT_EQ(HashName("b", 0x00000670u), 0xFFFF870Bu);
  EXPECT_EQ(HashName("c", 0xFFFF870Bu), 0xFFFEFDEDu);
  EXPECT_EQ(HashName("abc", 0) & 0x3FFu, 493u);
  // The empty string gives the seed back.
  EXPECT_EQ(HashName("", 0), 0u);
  EXPECT_EQ(HashName("", 0xDEADBEEFu), 0xDEADBEEFu);
}

TEST(HashName, TableIsSignExtendedAndDistinct) {
  const auto& t = detail::HashTable;
  std::set<uint32_t> seen(t.begin(), t.end());
  EXPECT_EQ(seen.size(), 256u);
  for (uint32_t v : t) {
    const uint32_t upper = v >> 16;
    EXPECT_EQ(upper, (v & 0x8000u) ? 0xFFFFu : 0u) << std::hex << v;
  }
  EXPECT_EQ(t[0x00], 0x00004488u);
  EXPECT_EQ(t[0x05], 0xFFFF8E8Bu);
  EXPECT_EQ(t[0xFF], 0x00003C20u);
}

TEST(HashName, BytesAboveAsciiIndexTheTableAsUnsigned) {
  // From a zero state one byte gives its table entry: bytes above 127 must not index below it.
  EXPECT_EQ(HashName("\xE9", 0), 0x00005D69u);
  EXPECT_EQ(HashName("\x85", 0), 0xFFFFFEEEu);
}

// A null name, and the macro's condition text and file name, are checked through the list's
// own checks in test_strman.cpp.
TEST(AssertFailedDeathTest, ReportsConditionBaseNameAndLine) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(AssertFailed("x<y", "/src/ostrel/scan/strman.cpp", 42),
               "^Assertion failed: x<y, file strman\\.cpp, line 42\n$");
  EXPECT_DEATH(AssertFailed("p", "C:\\src\\hash.cpp", 7),
               "^Assertion failed: p, file hash\\.cpp, line 7\n$");
  EXPECT_DEATH(AssertFailed("q", "plain.cpp", 1),
               "^Assertion failed: q, file plain\\.cpp, line 1\n$");
}

}  // namespace
}  // namespace ostrel
