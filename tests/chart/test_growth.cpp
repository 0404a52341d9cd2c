#include <gtest/gtest.h>

#include "chart/growth.h"

using namespace ostrel;

namespace {

TChangeItem Item(const std::string& name, uint64_t then, uint64_t now, bool gone = false) {
  TChangeItem item{name, then, now, gone};
  item.New = then == 0 && now > 0;
  return item;
}

// Growths as "label=value@child", losses as "label=then>now@child", "!" after a gone one; the
// child -1 for the files, -2 for others.
std::string Show(const TChanges& changes) {
  std::string out;
  for (const TChartPoint& p : changes.Grown)
    out += p.Label + "=" + std::to_string(p.Value) + "@" + std::to_string(p.Child) + " ";
  out += "|";
  for (const TLoss& l : changes.Lost)
    out += " " + l.Label + "=" + std::to_string(l.Then) + ">" + std::to_string(l.Now) + "@" +
           std::to_string(l.Child) + (l.Gone ? "!" : "");
  return out;
}

}  // namespace

// The growths fold and order exactly as sizes do, against the whole growth; points name their
// items by position among all the items, the shrunk ones included.
TEST(Growth, FoldsAndOrdersAsTheBreakdownAndPointsAtItsItems) {
  std::vector<TChangeItem> items{Item("a-shrank", 50, 10)};
  for (int i = 0; i < 13; ++i) items.push_back(Item("d" + std::to_string(10 + i), 100, 101));
  items.push_back(Item("Big", 0, 10000));
  // 13 growths of 1 in 10013: four fold before only ten would remain; the files did not grow.
  EXPECT_EQ(Show(ComputeChanges(items, 500, 500, 1)),
            "(other: 4 dirs)=4@-2 Big=10000@14 d14=1@5 d15=1@6 d16=1@7 d17=1@8 d18=1@9 d19=1@10 d20=1@11 "
            "d21=1@12 d22=1@13 | a-shrank=50>10@0");
  EXPECT_EQ(ComputeChanges(items, 500, 500, 0).Grown.size(), 14u);
}

// The files' growth is a point of its own; what shrank or went is listed, the largest loss
// first; unchanged folders and empty new ones are in neither.
TEST(Growth, FilesGrowLossesListedLargestFirst) {
  const std::vector<TChangeItem> items{Item("same", 70, 70),        Item("small", 40, 30),
                                       Item("Empty", 0, 0),         Item("grew", 5, 25),
                                       Item("gone", 300, 0, true),  Item("was empty", 0, 0, true)};
  EXPECT_EQ(Show(ComputeChanges(items, 100, 160, 1)),
            "(files)=60@-1 grew=20@3 | gone=300>0@4! small=40>30@1 was empty=0>0@5!");
  const TChanges shrank = ComputeChanges({Item("same", 70, 70)}, 100, 40, 1);
  EXPECT_EQ(Show(shrank), "| (files)=100>40@-1");
  EXPECT_EQ(std::make_pair(shrank.FilesThen, shrank.FilesNow), std::make_pair(uint64_t{100}, uint64_t{40}));
}

// A byte of growth on 2^60 is a growth; a folder capped at 2^64 - 1 that shrank is a loss of
// the exact difference.
TEST(Growth, ChangesAreExactPastTwoToThe53) {
  EXPECT_EQ(Show(ComputeChanges({Item("huge", 1152921504606846976, 1152921504606846977),
                                 Item("capped", 18446744073709551615u, 1)},
                                0, 0, 1)),
            "huge=1@0 | capped=18446744073709551615>1@1");
}
