#include <gtest/gtest.h>

#include "chart/growth.h"

using namespace ostrel;

namespace {

TChangeItem Item(const std::string& name, uint64_t then, uint64_t now) {
  TChangeItem item{name, then, now};
  item.New = then == 0 && now > 0;
  return item;
}

}  // namespace

// The growths fold and order exactly as sizes do, against the whole growth; points name their
// items by position among all the items, the shrunk ones included.
TEST(Growth, FoldsAndOrdersAsTheBreakdownAndPointsAtItsItems) {
  std::vector<TChangeItem> items{Item("a-shrank", 50, 10)};
  for (int i = 0; i < 13; ++i) items.push_back(Item("d" + std::to_string(10 + i), 100, 101));
  items.push_back(Item("Big", 0, 10000));
  const TChanges changes = ComputeChanges(items, 500, 500, 1);
  // 13 growths of 1 in 10013: four fold before only ten would remain.
  ASSERT_EQ(changes.Grown.size(), 1u + 10u);
  EXPECT_EQ(changes.Grown[0].Label, "(other: 4 dirs)");
  EXPECT_EQ(changes.Grown[0].Value, 4);
  EXPECT_EQ(changes.Grown[1].Label, "Big");
  EXPECT_EQ(changes.Grown[1].Value, 10000);
  EXPECT_EQ(changes.Grown[1].Child, 14);
  EXPECT_EQ(changes.Grown[2].Label, "d14");
  EXPECT_EQ(changes.Grown[2].Child, 5);
  for (const TChartPoint& point : changes.Grown) EXPECT_NE(point.Label, "(files)") << "the files did not grow";

  const TChanges unfolded = ComputeChanges(items, 500, 500, 0);
  EXPECT_EQ(unfolded.Grown.size(), 14u);
}

// The files' growth is a point of its own; what shrank or went is listed, the largest loss
// first; unchanged folders and empty new ones are in neither.
TEST(Growth, FilesGrowLossesListedLargestFirst) {
  std::vector<TChangeItem> items{Item("same", 70, 70), Item("small", 40, 30), Item("Empty", 0, 0),
                                 Item("grew", 5, 25)};
  TChangeItem gone = Item("gone", 300, 0);
  gone.Gone = true;
  items.push_back(gone);
  TChangeItem emptyGone = Item("was empty", 0, 0);
  emptyGone.Gone = true;
  items.push_back(emptyGone);

  const TChanges grew = ComputeChanges(items, 100, 160, 1);
  ASSERT_EQ(grew.Grown.size(), 2u);
  EXPECT_EQ(grew.Grown[0].Label, "(files)");
  EXPECT_EQ(grew.Grown[0].Value, 60);
  EXPECT_EQ(grew.Grown[0].Child, PointFiles);
  EXPECT_EQ(grew.Grown[1].Label, "grew");
  EXPECT_EQ(grew.Grown[1].Value, 20);
  ASSERT_EQ(grew.Lost.size(), 3u);
  EXPECT_EQ(grew.Lost[0].Label, "gone");
  EXPECT_TRUE(grew.Lost[0].Gone);
  EXPECT_EQ(grew.Lost[1].Label, "small");
  EXPECT_EQ(grew.Lost[1].Then - grew.Lost[1].Now, 10);
  EXPECT_EQ(grew.Lost[2].Label, "was empty");

  const TChanges shrank = ComputeChanges({Item("same", 70, 70)}, 100, 40, 1);
  EXPECT_TRUE(shrank.Grown.empty());
  ASSERT_EQ(shrank.Lost.size(), 1u);
  EXPECT_EQ(shrank.Lost[0].Label, "(files)");
  EXPECT_EQ(shrank.Lost[0].Child, PointFiles);
  EXPECT_EQ(shrank.FilesThen, 100);
  EXPECT_EQ(shrank.FilesNow, 40);
}

// A byte of growth on 2^60 is a growth; a folder capped at 2^64 - 1 that shrank is a loss of
// the exact difference.
TEST(Growth, ChangesAreExactPastTwoToThe53) {
  const TChanges changes = ComputeChanges({Item("huge", 1152921504606846976, 1152921504606846977),
                                           Item("capped", 18446744073709551615u, 1)},
                                          0, 0, 1);
  ASSERT_EQ(changes.Grown.size(), 1u);
  EXPECT_EQ(changes.Grown[0].Label, "huge");
  EXPECT_EQ(changes.Grown[0].Value, 1u);
  ASSERT_EQ(changes.Lost.size(), 1u);
  EXPECT_EQ(changes.Lost[0].Then - changes.Lost[0].Now, 18446744073709551614u);
}
