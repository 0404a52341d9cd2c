#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "scan/hash.h"
#include "scan/strman.h"

namespace ostrel {
namespace {

constexpr int kEntry = static_cast<int>(sizeof(StrEntry));

std::vector<std::string> Walk(const StrEntry* head) {
  std::vector<std::string> out;
  for (const StrEntry* e = head; e != nullptr; e = e->ListNext) out.emplace_back(e->Str);
  return out;
}

uint32_t Bucket(const TStringManager& m, const std::string& s) {
  return HashName(s.c_str(), 0) & m.Mask;
}

// Two distinct strings that fall into one bucket of a 10-bit table.
std::pair<std::string, std::string> SameBucketPair() {
  std::vector<std::string> byBucket(1024);
  for (int i = 0;; ++i) {
    std::string s = "n" + std::to_string(i);
    std::string& other = byBucket[HashName(s.c_str(), 0) & 1023u];
    if (!other.empty()) return {other, s};
    other = s;
  }
}

// A string added twice is one entry counted twice; the string is copied, so the caller may
// reuse its buffer; null adds nothing and leaves a sorted list valid.
TEST(TStringManager, AddCopiesCountsOnceIgnoresNullAndFindNamesTheBucket) {
  TStringManager m(kEntry, 10, 0, nullptr);
  EXPECT_EQ(m.First(), nullptr);
  EXPECT_EQ(m.Sort(0, nullptr), nullptr);
  char buffer[16] = "alpha";
  StrEntry* a = m.Add(buffer);
  ASSERT_NE(a, nullptr);
  EXPECT_NE(a->Str, buffer);
  std::strcpy(buffer, "second");
  EXPECT_STREQ(a->Str, "alpha");
  EXPECT_EQ(m.Sort(0, nullptr), a);
  EXPECT_EQ(a->ListNext, nullptr);
  EXPECT_EQ(m.SortIdx, nullptr);
  EXPECT_EQ(a->RefCount, 1);
  EXPECT_EQ(a->Tag, 0u);
  EXPECT_EQ(a->Data, nullptr);
  EXPECT_EQ(m.Add("alpha"), a);
  EXPECT_EQ(m.Count, 1);
  EXPECT_EQ(a->RefCount, 2);
  EXPECT_EQ(m.Find("alpha"), a);
  EXPECT_EQ(a->RefCount, 3);
  EXPECT_EQ(m.Find("Alpha"), nullptr);
  EXPECT_EQ(m.Find("alph"), nullptr);
  StrEntry* second = m.Add(buffer);
  EXPECT_STREQ(second->Str, "second");
  EXPECT_EQ(m.ListValid, 0u);
  StrEntry* head = m.Sort(0, nullptr);
  EXPECT_EQ(Walk(head), (std::vector<std::string>{"alpha", "second"}));
  EXPECT_EQ(m.Add(nullptr), nullptr);
  EXPECT_EQ(m.ListValid, 1u);
  EXPECT_EQ(m.ListHead, head);
  EXPECT_EQ(m.Count, 2);
  // Find names the bucket's sentinel, found or not ("abc" falls in bucket 493).
  StrEntry* sentinel = nullptr;
  EXPECT_EQ(m.Find("abc", &sentinel), nullptr);
  EXPECT_EQ(sentinel, m.Table[493]);
  EXPECT_EQ(sentinel->Str, nullptr);
  StrEntry* abc = m.Add("abc");
  EXPECT_EQ(m.Table[493]->ChainNext, abc);
  sentinel = nullptr;
  EXPECT_EQ(m.Find("abc", &sentinel), abc);
  EXPECT_EQ(sentinel, m.Table[493]);
}

TEST(TStringManager, NewStringMakesTheListStaleAndFirstReturnsBucketOrder) {
  TStringManager m(kEntry, 10, 0, nullptr);
  for (const char* s : {"zeta", "alpha", "mid", "Beta", "\xC3\xA9t\xC3\xA9"}) m.Add(s);
  StrEntry* sortedHead = m.Sort(0, nullptr);

  // Existing strings keep the sorted list.
  m.Add("mid");
  EXPECT_EQ(m.ListValid, 1u);
  EXPECT_EQ(m.First(), sortedHead);
  EXPECT_EQ(Walk(m.First()),
            (std::vector<std::string>{"Beta", "alpha", "mid", "zeta", "\xC3\xA9t\xC3\xA9"}));

  const auto [older, newer] = SameBucketPair();
  m.Add(older.c_str());
  EXPECT_EQ(m.ListValid, 0u);
  EXPECT_EQ(m.ListHead, nullptr);
  m.Add(newer.c_str());

  const std::vector<std::string> walked = Walk(m.First());
  ASSERT_EQ(walked.size(), 7u);
  EXPECT_EQ(m.Count, 7);
  for (std::size_t k = 0; k + 1 < walked.size(); ++k) {
    EXPECT_LE(Bucket(m, walked[k]), Bucket(m, walked[k + 1]))
        << walked[k] << " / " << walked[k + 1];
  }
  // Within a bucket the newest string comes first.
  auto at = [&](const std::string& s) {
    return std::find(walked.begin(), walked.end(), s) - walked.begin();
  };
  EXPECT_EQ(at(newer) + 1, at(older));
}

// Orders by Data, ascending for param 0 and descending otherwise.
int ByData(StrEntry* a, StrEntry* b, int32_t descending) {
  const auto x = reinterpret_cast<intptr_t>(a->Data), y = reinterpret_cast<intptr_t>(b->Data);
  return descending ? x > y : x < y;
}

int Reverse(StrEntry* a, StrEntry* b, int32_t) { return std::strcmp(a->Str, b->Str) > 0; }

TEST(TStringManager, CustomComparatorGetsItsParamAndSortsCanFollowEachOther) {
  TStringManager m(kEntry, 10, 0, nullptr);
  const char* names[] = {"c", "a", "d", "b", "e"};
  const intptr_t data[] = {30, 50, 10, 40, 20};
  for (int k = 0; k < 5; ++k) m.Add(names[k])->Data = reinterpret_cast<void*>(data[k]);

  EXPECT_EQ(Walk(m.Sort(0, ByData)), (std::vector<std::string>{"d", "e", "c", "b", "a"}));
  EXPECT_EQ(Walk(m.Sort(1, ByData)), (std::vector<std::string>{"a", "b", "c", "e", "d"}));
  EXPECT_EQ(Walk(m.Sort(0, Reverse)), (std::vector<std::string>{"e", "d", "c", "b", "a"}));
  EXPECT_EQ(Walk(m.Sort(0, nullptr)), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
  EXPECT_EQ(m.Count, 5);
}

TEST(TStringManager, ClearEmptiesTheListAndReusesItsEntries) {
  TStringFreeList pool;
  TStringManager m(kEntry, 10, 0, &pool);
  // A few strings, then more than an eighth of the buckets, then a few again: every bucket
  // that held one is empty after each Clear, however the list kept track of them.
  for (const int n : {100, 300, 5}) {
    for (int k = 0; k < n; ++k) m.Add(("s" + std::to_string(k)).c_str());
    EXPECT_EQ(Walk(m.First()).size(), static_cast<size_t>(n));
    m.Sort(0, nullptr);
    m.Clear();
    EXPECT_EQ(m.Count, 0);
    EXPECT_EQ(m.ListValid, 0u);
    EXPECT_EQ(m.First(), nullptr);
    for (int k = 0; k < n; ++k) ASSERT_EQ(m.Find(("s" + std::to_string(k)).c_str()), nullptr) << n << " " << k;
  }
  const int32_t blocks = pool.Blocks;
  for (int k = 0; k < 100; ++k) m.Add(("t" + std::to_string(k)).c_str());
  EXPECT_EQ(pool.Blocks, blocks);
  EXPECT_EQ(m.Count, 100);
  EXPECT_EQ(m.Add("t7")->RefCount, 2);
  EXPECT_EQ(Walk(m.Sort(0, nullptr)).front(), "t0");
}

TEST(TStringFreeList, GrowsByBlocksHandingOutTheLastSlotFirst) {
  TStringFreeList pool;
  std::vector<char*> got;
  for (int k = 0; k < 4; ++k) got.push_back(static_cast<char*>(pool.Get(20, 4)));
  EXPECT_EQ(pool.Blocks, 1);
  EXPECT_EQ(pool.EntrySize, 20);
  EXPECT_EQ(pool.Head, nullptr);
  const std::ptrdiff_t stride = got[0] - got[1];
  EXPECT_GE(stride, 20);
  EXPECT_EQ(stride % static_cast<std::ptrdiff_t>(alignof(void*)), 0);
  for (int k = 1; k < 4; ++k) EXPECT_EQ(got[k - 1] - got[k], stride);
  for (char* e : got) EXPECT_EQ(reinterpret_cast<uintptr_t>(e) % alignof(void*), 0u);

  char* fifth = static_cast<char*>(pool.Get(20, 4));
  EXPECT_EQ(pool.Blocks, 2);

  // A returned entry is the next one handed out, zero-filled again.
  std::memset(got[2], 0xAB, 20);
  pool.Put(got[2]);
  EXPECT_EQ(pool.Get(20, 4), got[2]);
  EXPECT_EQ(std::vector<char>(got[2], got[2] + 20), std::vector<char>(20, 0));
  EXPECT_NE(fifth, got[2]);
  EXPECT_EQ(pool.Blocks, 2);
}

TEST(TStringFreeList, ListsTakeEntriesInBlocksOfAQuarterTable) {
  TStringFreeList pool;
  {
    TStringManager m(kEntry, 4, 0, &pool);  // 16 sentinels in blocks of 4
    EXPECT_EQ(m.BlockCount, 4);
    EXPECT_EQ(pool.Blocks, 4);
    m.Add("a");
    EXPECT_EQ(pool.Blocks, 5);
    for (const char* s : {"b", "c", "d"}) m.Add(s);
    EXPECT_EQ(pool.Blocks, 5);
    m.Add("e");
    EXPECT_EQ(pool.Blocks, 6);
  }
  EXPECT_EQ(TStringManager(kEntry, 1, 0, &pool).BlockCount, 1);
  // A 10-bit table: 32 blocks of sentinels, 2 more for 50 strings; all of them come back to a
  // shared pool, which the next list takes from.
  TStringFreeList big;
  {
    TStringManager m(kEntry, 10, 0, &big);
    EXPECT_EQ(m.BlockCount, 32);
    EXPECT_EQ(big.Blocks, 32);
    EXPECT_EQ(big.Head, nullptr);
    for (int k = 0; k < 50; ++k) m.Add(("k" + std::to_string(k)).c_str());
  }
  EXPECT_EQ(big.Blocks, 32 + 2);
  EXPECT_NE(big.Head, nullptr);
  TStringManager again(kEntry, 10, 0, &big);
  for (int k = 0; k < 64; ++k) again.Add(("j" + std::to_string(k)).c_str());
  EXPECT_EQ(big.Blocks, 32 + 2);
  EXPECT_EQ(again.Count, 64);
}

// 28 bytes is one StrEntry on a 32-bit platform only; the sanitizer build checks that writing
// every field stays inside the entry. Heap entries leave a given pool untouched. SM_NOCOPY keeps
// the caller's strings and never frees them: the names outlive the list, so a free of one would
// be an invalid or double free under the sanitizer.
TEST(TStringManager, SmallEntrySizeIsRaisedToAWholeEntry) {
  for (int flags : {0, SM_HEAPENTRIES, SM_NOCOPY}) {
    SCOPED_TRACE(flags);
    std::vector<std::string> names;
    for (int k = 0; k < 200; ++k) names.push_back("entry" + std::to_string(k));
    TStringFreeList pool;
    TStringManager m(28, 10, flags, flags == SM_HEAPENTRIES ? &pool : nullptr);
    EXPECT_GE(m.EntrySize, kEntry);
    for (const std::string& s : names) {
      StrEntry* e = m.Add(s.c_str());
      EXPECT_EQ(e->Str == s.c_str(), flags == SM_NOCOPY);
      e->Data = e;
      e->Tag = 0x80;
    }
    StrEntry* head = m.Sort(0, nullptr);
    int n = 0;
    for (StrEntry* e = head; e != nullptr; e = e->ListNext, ++n) {
      EXPECT_EQ(e->Data, e);
      EXPECT_EQ(e->Owner, &m);
    }
    EXPECT_EQ(n, 200);
    EXPECT_EQ(m.Add("entry7")->RefCount, 2);
    EXPECT_EQ(m.Count, 200);
    m.Clear();
    const char* z = "z";
    EXPECT_EQ(m.Add(z)->Str == z, flags == SM_NOCOPY);
    EXPECT_EQ(Walk(m.First()), std::vector<std::string>{"z"});
    EXPECT_EQ(pool.Blocks, 0);
    EXPECT_EQ(pool.EntrySize, 0);
  }
  EXPECT_EQ(TStringManager(kEntry + 8, 2, 0, nullptr).EntrySize, kEntry + 8);
}

// Counts the hooks: every public operation pairs Lock with Unlock, and only a new string or a
// Clear makes the list stale.
class HookedList : public TStringManager {
 public:
  HookedList() : TStringManager(kEntry, 10, 0, nullptr) {}
  void Lock() override { ++locks; }
  void Unlock() override { ++unlocks; }
  void Invalidate() override {
    ++invalidations;
    TStringManager::Invalidate();
  }
  void FreeEntry(StrEntry* entry, int freeString) override {
    ++freed;
    lastFreeString = freeString;
    TStringManager::FreeEntry(entry, freeString);
  }
  int locks = 0, unlocks = 0, invalidations = 0, freed = 0, lastFreeString = -1;
};

TEST(TStringManager, HooksArePairedAndVirtualsAreCalled) {
  HookedList m;
  m.Add("a");
  m.Add("b");
  EXPECT_EQ(m.invalidations, 2);
  m.Add("a");
  m.Find("c");
  m.Sort(0, nullptr);
  m.First();
  EXPECT_EQ(m.invalidations, 2);
  m.Clear();
  EXPECT_EQ(m.invalidations, 3);
  EXPECT_EQ(m.freed, 2);
  EXPECT_EQ(m.lastFreeString, 1);
  EXPECT_GT(m.locks, 0);
  EXPECT_EQ(m.locks, m.unlocks);
}

// The default order is that of unsigned bytes, a prefix first: that of std::string.
TEST(TStringManager, ManyRandomStringsSortIntoOrder) {
  std::mt19937 rng(20240601);
  std::uniform_int_distribution<int> len(0, 12), byte(1, 255);
  std::set<std::string> expected;
  TStringManager m(kEntry, 10, 0, nullptr);
  for (int k = 0; k < 5000; ++k) {
    std::string s(static_cast<std::size_t>(len(rng)), '\0');
    for (char& c : s) c = static_cast<char>(byte(rng) % 4 == 0 ? byte(rng) : 'a' + byte(rng) % 4);
    expected.insert(s);
    m.Add(s.c_str());
  }
  EXPECT_EQ(m.Count, static_cast<int32_t>(expected.size()));
  EXPECT_EQ(Walk(m.Sort(0, nullptr)), std::vector<std::string>(expected.begin(), expected.end()));

  // A comparator with many ties still yields a non-descending list holding every entry.
  auto byLength = [](StrEntry* a, StrEntry* b, int32_t) -> int {
    return std::strlen(a->Str) < std::strlen(b->Str);
  };
  const std::vector<std::string> byLen = Walk(m.Sort(0, byLength));
  ASSERT_EQ(byLen.size(), expected.size());
  for (std::size_t k = 0; k + 1 < byLen.size(); ++k)
    ASSERT_LE(byLen[k].size(), byLen[k + 1].size()) << k;
  EXPECT_EQ(std::set<std::string>(byLen.begin(), byLen.end()), expected);
}

TEST(TStringManagerDeathTest, ChecksFailWithTheirConditionText) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string where = ", file strman\\.cpp, line [0-9]+";
  for (int size : {0, -4}) EXPECT_DEATH(TStringManager(size, 10, 0, nullptr), "Assertion failed: entry_size>0" + where);
  EXPECT_DEATH(TStringManager(kEntry, 0, 0, nullptr), "Assertion failed: bits>0" + where);
  EXPECT_DEATH(TStringManager(kEntry, 31, 0, nullptr), "Assertion failed: bits<31" + where);
  const std::string entrySize = "Assertion failed: EntrySize==entrysize" + where;
  EXPECT_DEATH({ TStringFreeList pool; pool.Get(48, 4); pool.Get(64, 4); }, entrySize);
  EXPECT_DEATH({ TStringFreeList pool; TStringManager a(kEntry, 2, 0, &pool); TStringManager b(kEntry + 8, 2, 0, &pool); },
               entrySize);
  EXPECT_DEATH({ TStringManager m(kEntry, 2, 0, nullptr); m.FreeList = nullptr; m.Add("x"); },
               "Assertion failed: FreeList!=NULL" + where);
  EXPECT_DEATH(TStringManager(kEntry, 2, 0, nullptr).Find(nullptr), "Assertion failed: name, file hash\\.cpp, line [0-9]+");
}

}  // namespace
}  // namespace ostrel
