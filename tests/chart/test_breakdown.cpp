#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/handtree.h"
#include "chart/breakdown.h"

using namespace ostrel;

namespace {

std::vector<std::string> Labels(const std::vector<TChartPoint>& points) {
  std::vector<std::string> labels;
  for (const auto& p : points) labels.push_back(p.Label);
  return labels;
}

// The points as "label=value@child" joined by spaces, the child -1 for the files, -2 for others.
std::string Show(const std::vector<TChartPoint>& points) {
  std::string out;
  for (const auto& p : points)
    out += (out.empty() ? "" : " ") + p.Label + "=" + std::to_string(p.Value) + "@" + std::to_string(p.Child);
  return out;
}

// `count` subfolders "d00".. of `each` bytes inside a folder of `folder` bytes.
std::vector<TChartItem> Even(int count, uint64_t each) {
  std::vector<TChartItem> items;
  for (int i = 0; i < count; ++i) items.push_back({"d" + std::to_string(100 + i).substr(1), each});
  return items;
}

}  // namespace

TEST(Breakdown, TwelveSmallSubfoldersAreAllDrawnThirteenFoldThree) {
  // (files) and all twelve: only two could fold.
  EXPECT_EQ(Show(ComputeBreakdown(Even(12, 1), 10000, 1)),
            "(files)=9988@-1 d00=1@0 d01=1@1 d02=1@2 d03=1@3 d04=1@4 d05=1@5 d06=1@6 d07=1@7 d08=1@8 d09=1@9 "
            "d10=1@10 d11=1@11");

  // Equal sizes fold in label order.
  EXPECT_EQ(Show(ComputeBreakdown(Even(13, 1), 10000, 1)),
            "(files)=9987@-1 (other: 3 dirs)=3@-2 d03=1@3 d04=1@4 d05=1@5 d06=1@6 d07=1@7 d08=1@8 d09=1@9 "
            "d10=1@10 d11=1@11 d12=1@12");
}

TEST(Breakdown, FortySmallOfFiftyFoldIntoEightPercent) {
  std::vector<TChartItem> items = Even(40, 2);  // 0.2 % each of 1000
  for (int i = 0; i < 10; ++i) items.push_back({"big" + std::to_string(i), 92});
  EXPECT_EQ(Show(ComputeBreakdown(items, 1000, 1)),
            "(other: 40 dirs)=80@-2 big0=92@40 big1=92@41 big2=92@42 big3=92@43 big4=92@44 big5=92@45 "
            "big6=92@46 big7=92@47 big8=92@48 big9=92@49");
}

TEST(Breakdown, ExactlyOnePercentNeverFoldsAndCombiningOffFoldsNothing) {
  EXPECT_EQ(ComputeBreakdown(Even(14, 10), 1000, 1).size(), 1u + 14u);  // 1 % each of 1000
  EXPECT_EQ(ComputeBreakdown(Even(20, 1), 1000, 0).size(), 1u + 20u);
}

// Files only, nothing, an empty subfolder (still a point) and "All Drives", an item without a
// node. The "(files)" point is the folder less its subfolders to the byte, however large they
// are; a folder whose total was capped holds what its subfolders' capped sum leaves.
TEST(Breakdown, FilesAreTheRestExactPastTwoToThe53AndNeverNegativeAtTheCap) {
  EXPECT_EQ(Show(ComputeBreakdown({}, 1536, 1)), "(files)=1536@-1");
  EXPECT_EQ(Show(ComputeBreakdown({}, 0, 1)), "");
  EXPECT_EQ(Show(ComputeBreakdown({{"empty", 0}}, 0, 1)), "empty=0@0");
  EXPECT_EQ(Show(ComputeBreakdown({{"All Drives", 5000000000}}, 0, 1)), "All Drives=5000000000@0");
  EXPECT_EQ(Show(ComputeBreakdown({{"a", 1152921504606846976}, {"b", 1}}, 1152921504606846980, 1)),  // 2^60
            "(files)=3@-1 a=1152921504606846976@0 b=1@1");
  EXPECT_EQ(Show(ComputeBreakdown({{"a", 18446744073709551615u}, {"b", 7}}, 18446744073709551615u, 1)),
            "a=18446744073709551615@0 b=7@1");
}

TEST(Breakdown, LabelsSortWithoutCaseDigitsFirstUnderscoreLast) {
  auto points = ComputeBreakdown({{"cherry", 1}, {"_tmp", 1}, {"Banana", 1}, {"9lives", 1}, {"apple", 1}}, 5, 1);
  EXPECT_EQ(Labels(points), (std::vector<std::string>{"9lives", "apple", "Banana", "cherry", "_tmp"}));
  EXPECT_EQ(points[2].Child, 2);
  // Past the first eight bytes, a prefix before what it begins, bytes above 127 after letters.
  auto longer = ComputeBreakdown({{"abcdefghZ", 1}, {"\xe9t\xe9", 1}, {"ABCDEFGHa", 1}, {"abcdefgh", 1}, {"abc", 1}}, 5, 1);
  EXPECT_EQ(Labels(longer), (std::vector<std::string>{"abc", "abcdefgh", "ABCDEFGHa", "abcdefghZ", "\xe9t\xe9"}));
}

TEST(Breakdown, EqualShortenedLabelsEachGetTheirOwnPoint) {
  const std::string base(25, 'x');
  std::vector<TChartItem> items = {{base + "_first_long", 10}, {base + "_second_long", 20}, {"(files)", 5}};
  // The folder's own files leave out every subfolder; a subfolder named (files) is still that
  // subfolder; the two cut names stay two points, the shorter full name first.
  EXPECT_EQ(Show(ComputeBreakdown(items, 100, 1)),
            "(files)=65@-1 (files)=5@2 " + base + "...=10@0 " + base + "...=20@1");
}

TEST(Breakdown, OrderDoesNotDependOnTheChildrensOrder) {
  // Equal shortened labels, and names equal but for case: the window's tree order and the
  // scan's own order of names must give the same chart.
  const std::string base(25, 'x');
  std::vector<TChartItem> items = {{base + "_tail", 1}, {base + "atail", 2}, {"Foo", 3}, {"foo", 4}, {base + "B", 5}};
  auto reference = ComputeBreakdown(items, 100, 1);
  std::sort(items.begin(), items.end(), [](const TChartItem& a, const TChartItem& b) { return a.Name > b.Name; });
  auto reordered = ComputeBreakdown(items, 100, 1);
  EXPECT_EQ(Labels(reference), Labels(reordered));
  EXPECT_EQ(Labels(reference)[1], "Foo");
  EXPECT_EQ(Labels(reference)[2], "foo");
  for (size_t i = 0; i < reference.size(); ++i) EXPECT_EQ(reference[i].Value, reordered[i].Value) << i;
  // Each point names its own item, wherever the items put it.
  EXPECT_EQ(std::make_pair(reference[1].Child, reference[2].Child), std::make_pair(2, 3));
  EXPECT_EQ(std::make_pair(reordered[1].Child, reordered[2].Child), std::make_pair(4, 3));
}

TEST(ShortenLabel, CutsAfterTwentyFiveCharactersNotBytes) {
  EXPECT_EQ(ShortenLabel(std::string(28, 'a')), std::string(28, 'a'));
  EXPECT_EQ(ShortenLabel(std::string(29, 'a')), std::string(25, 'a') + "...");
  std::string e = "\xc3\xa9";  // é, two bytes
  std::string name;
  for (int i = 0; i < 28; ++i) name += e;
  EXPECT_EQ(ShortenLabel(name), name) << "28 characters stay whole, whatever their bytes";
  name += "z";
  std::string cut;
  for (int i = 0; i < 25; ++i) cut += e;
  EXPECT_EQ(ShortenLabel(name), cut + "...");
  EXPECT_EQ(ShortenLabel(""), "");
}

namespace {

// A folder of `size` bytes (both measures) below `parent`, or a root for a null one.
DirNode* Folder(TNodeArena& arena, DirNode* parent, const char* name, uint64_t size, uint64_t ownBlocks = 0) {
  DirNode* node = test::NewNode(arena, parent, name, NodeFolder, size + ownBlocks, size);
  node->OwnSize = ownBlocks;
  return node;
}

}  // namespace

TEST(BreakdownOf, NamesStayBytesAndOrderByTheCaseRuleOnBytes) {
  // A Latin-1 name (not UTF-8), a Hangul one and a UTF-8 "Ae" with an accent: the labels are
  // the names' bytes, in the case rule's order of those bytes (0xC3 < 0xE9 < 0xEC).
  TNodeArena arena;
  DirNode* root = Folder(arena, nullptr, "/data", 0, 4096);
  DirNode* hangul = Folder(arena, root, "aì", 300);
  DirNode* latin1 = Folder(arena, root, "aé", 200);
  DirNode* utf8 = Folder(arena, root, "AÃ©", 100);
  test::NewNode(arena, root, "f", NodeFile, 50, 50);

  EXPECT_EQ(Subfolders(*root), (std::vector<const DirNode*>{hangul, latin1, utf8})) << "files are not subfolders";
  // The folder's own blocks and its files, then the subfolders, indexed as given; the apparent
  // size of the files is their length alone.
  EXPECT_EQ(Show(BreakdownOf(root, Subfolders(*root), TMeasure::DiskUsage, 1)),
            "(files)=4146@-1 AÃ©=100@2 aé=200@1 aì=300@0");
  EXPECT_EQ(Show(BreakdownOf(root, Subfolders(*root), TMeasure::Apparent, 1)),
            "(files)=50@-1 AÃ©=100@2 aé=200@1 aì=300@0");
}

TEST(BreakdownOf, AFolderWithoutANodeHasSizeZero) {
  // "My Computer": no node of its own, the scan's root below it.
  TNodeArena arena;
  DirNode* root = Folder(arena, nullptr, "/data/", 700);
  EXPECT_EQ(Show(BreakdownOf(nullptr, {root}, TMeasure::Apparent, 1)), "/data/=700@0");
  // An item without a node is an empty name of size 0.
  EXPECT_EQ(Show(BreakdownOf(nullptr, {nullptr}, TMeasure::Apparent, 1)), "=0@0");
}

TEST(FormatSize, StrictThresholds) {
  const std::pair<uint64_t, const char*> cases[] = {
      {0, "0 B"},           {1024, "1024 B"},        {1025, "1.0 KB"},
      {1536, "1.5 KB"},     {1048576, "1024.0 KB"},  {1048577, "1.0 MB"},
      {5ull << 30, "5120.0 MB"},
      {18446744073709551615u, "17592186044416.0 MB"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(FormatSize(value), text) << value;
}

namespace {

std::vector<TChartPoint> Valued(const std::vector<uint64_t>& values) {
  std::vector<TChartPoint> points;
  for (size_t i = 0; i < values.size(); ++i) points.push_back({"p" + std::to_string(i), values[i], static_cast<int>(i)});
  return points;
}

}  // namespace

TEST(GroupPieSlices, SliversShareSlicesBigPointsStandAlone) {
  // 0.1 of the turn as the threshold: 50 and 30 stand alone, the slivers gather until a run
  // reaches 10, and a run ends early before a big point.
  const auto points = Valued({50, 4, 4, 4, 4, 30, 1, 2, 1});
  EXPECT_EQ(GroupPieSlices(points, 0.1), (std::vector<int>{0, 1, 4, 5, 6}));
  EXPECT_EQ(GroupPieSlices(Valued({5, 5}), 0.1), (std::vector<int>{0, 1}));
  EXPECT_EQ(GroupPieSlices(Valued({0, 0, 0}), 0.1), (std::vector<int>{0})) << "nothing to draw: one empty slice";
  EXPECT_TRUE(GroupPieSlices({}, 0.1).empty());
  // 10,000 equal subfolders never make more slices than a pie can show.
  const auto many = Valued(std::vector<uint64_t>(10000, 1));
  const auto slices = GroupPieSlices(many, 1.0 / 360);
  EXPECT_LE(slices.size(), 360u);
  EXPECT_GE(slices.size(), 300u);
}

TEST(PointAtPieFraction, FindsThePointOfARun) {
  const auto points = Valued({50, 10, 20, 20});  // turns: [0,.5) [.5,.6) [.6,.8) [.8,1)
  EXPECT_EQ(PointAtPieFraction(points, 1, 4, 0.55), 1);
  EXPECT_EQ(PointAtPieFraction(points, 1, 4, 0.6), 2);
  EXPECT_EQ(PointAtPieFraction(points, 1, 4, 0.99), 3);
  EXPECT_EQ(PointAtPieFraction(points, 1, 3, 0.99), 2) << "clamped to the run";
  EXPECT_EQ(PointAtPieFraction(points, 1, 3, 0.1), 1) << "clamped to the run";
  EXPECT_EQ(PointAtPieFraction(points, 2, 2, 0.5), -1);
  EXPECT_EQ(PointAtPieFraction(points, 0, 9, 0.5), -1);
}

TEST(PieLabelsShown, LargerSlicesWinCloseNeighboursOnTheSameHalf) {
  // Two equal halves: labels at 3 and 9 o'clock, far apart.
  EXPECT_EQ(PieLabelsShown({1, 1}, {true, true}, 100, 13), (std::vector<bool>{true, true}));
  // After a slice of nearly the whole turn, four slivers lie at the top of the left half, within
  // a line of each other: only the largest of them keeps its label.
  const std::vector<double> values{100, 0.4, 0.5, 0.3, 0.2};
  const auto shown = PieLabelsShown(values, std::vector<bool>(5, true), 100, 13);
  EXPECT_EQ(shown, (std::vector<bool>{true, false, true, false, false}));
  // A sliver on each side of the top: their labels would meet above the pie, so the larger
  // alone keeps one. Two thirds of the turn apart at the same height, both keep theirs.
  EXPECT_EQ(PieLabelsShown({0.01, 100, 0.02}, {true, false, true}, 100, 13), (std::vector<bool>{false, false, true}));
  EXPECT_EQ(PieLabelsShown({1, 1, 1}, {true, true, true}, 100, 13), (std::vector<bool>{true, true, true}));
  // Unwanted labels (shared slices) and empty slices get none.
  EXPECT_EQ(PieLabelsShown({1, 0, 1}, {false, true, true}, 100, 13), (std::vector<bool>{false, false, true}));
  EXPECT_EQ(PieLabelsShown({0, 0}, {true, true}, 100, 13), (std::vector<bool>{false, false}));
}

TEST(BarLabelsShown, EveryBarWhenThereIsRoomLargestFirstWhenNot) {
  EXPECT_EQ(BarLabelsShown({1, 2, 3}, 20, 13), (std::vector<bool>{true, true, true}));
  // Bars 5 apart with 13-pixel labels: kept labels are at least three bars apart.
  const auto shown = BarLabelsShown({1, 9, 1, 1, 1, 8, 1, 1}, 5, 13);
  EXPECT_EQ(shown, (std::vector<bool>{false, true, false, false, false, true, false, false}));
  EXPECT_TRUE(BarLabelsShown({}, 5, 13).empty());
}

TEST(BarsDrawn, EachPointItsOwnBarUntilTooManyThenTheLongestOfEachRun) {
  std::vector<TChartPoint> points;
  for (uint64_t v : {1, 5, 2, 2, 9, 3, 3, 0, 7, 7}) points.push_back({"p", v, 0});
  EXPECT_EQ(BarsDrawn(points, 10), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  // Runs [0,2) [2,5) [5,7) [7,10): the longest of each, the first of equal ones.
  EXPECT_EQ(BarsDrawn(points, 4), (std::vector<int>{1, 4, 5, 8}));
  EXPECT_EQ(BarsDrawn(points, 1), (std::vector<int>{4}));
  EXPECT_TRUE(BarsDrawn({}, 4).empty());
}
