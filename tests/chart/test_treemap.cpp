#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

#include "chart/treemap.h"
#include "tests/support/handtree.h"

using namespace ostrel;
using ostrel::test::NewNode;

namespace {

std::string Show(const std::vector<TTreemapRect>& rects) {
  std::string out;
  for (const TTreemapRect& r : rects)
    out += std::string(r.Node->Name) + ":" + std::to_string(r.X) + "," + std::to_string(r.Y) + "," +
           std::to_string(r.W) + "," + std::to_string(r.H) + " ";
  return out;
}

double Ratio(double w, double h) { return std::max(w / h, h / w); }

// The worst aspect ratio of the files' rectangles.
double WorstOf(const std::vector<TTreemapRect>& rects) {
  double worst = 1;
  for (const TTreemapRect& r : rects)
    if (r.Node->Kind == NodeFile) worst = std::max(worst, Ratio(r.W, r.H));
  return worst;
}

// The worst aspect ratio of `sizes` sliced side by side across a w × h rectangle.
double SliceWorst(const std::vector<uint64_t>& sizes, double w, double h) {
  double total = 0, worst = 1;
  for (uint64_t s : sizes) total += static_cast<double>(s);
  for (uint64_t s : sizes) worst = std::max(worst, Ratio(w * static_cast<double>(s) / total, h));
  return worst;
}

bool Inside(const TTreemapRect& r, const TTreemapRect& outer) {
  return r.X >= outer.X && r.Y >= outer.Y && r.X + r.W <= outer.X + outer.W && r.Y + r.H <= outer.Y + outer.H;
}

}  // namespace

// The example of squarified treemaps, ten times larger so that rounding leaves the rows
// visible: 6,6 in a column at the left, 4,3 along the top of the rest, then 2, 2 and 1 as
// columns. Every slice of the same sizes is far thinner.
TEST(Treemap, SquarifiesRowsAsTheClassicExample) {
  TNodeArena arena;
  DirNode* root = NewNode(arena, nullptr, "root", NodeFolder);
  const std::vector<uint64_t> sizes{2, 6, 1, 4, 6, 2, 3};
  const char* names[] = {"e", "a", "g", "c", "b", "f", "d"};
  for (size_t i = 0; i < sizes.size(); ++i) NewNode(arena, root, names[i], NodeFile, sizes[i]);
  const std::vector<TTreemapRect> rects = LayoutTreemap(*root, TMeasure::DiskUsage, 0, 0, 62, 42, 1);
  EXPECT_EQ(Show(rects),
            "root:0,0,62,42 a:1,1,30,20 b:1,21,30,20 c:31,1,17,23 d:48,1,13,23 e:31,24,12,17 f:43,24,12,17 "
            "g:55,24,6,17 ");
  EXPECT_NEAR(WorstOf(rects), 17.0 / 6, 1e-9);
  EXPECT_EQ(SliceWorst(sizes, 60, 40), 16);
}

// A nested tree: every node gets a rectangle inside its folder's outline, siblings never
// overlap, each area is the node's share of its folder's inside to within the edges' rounding
// (a folder's own blocks take their share too, undrawn), and the files are squarer than a
// slice layout would make them. The pixel under a point is the deepest node there.
TEST(Treemap, NestedAreasProportionalInsideTheirFoldersNoOverlap) {
  TNodeArena arena;
  DirNode* root = NewNode(arena, nullptr, "root", NodeFolder, 4000);
  DirNode* sub = NewNode(arena, root, "sub", NodeFolder, 4000);
  DirNode* deep = NewNode(arena, sub, "deep", NodeFolder);
  std::vector<uint64_t> rootSizes;
  for (int i = 0; i < 30; ++i) {
    NewNode(arena, root, ("r" + std::to_string(i)).c_str(), NodeFile, 1000 + (i * 3709) % 20000);
    NewNode(arena, sub, ("s" + std::to_string(i)).c_str(), NodeFile, 500 + (i * 1931) % 7000);
    if (i < 10) NewNode(arena, deep, ("d" + std::to_string(i)).c_str(), NodeFile, 100 + i * 400);
  }
  AddUpTotals(root, nullptr);
  for (const DirNode* c = root->FirstChild; c; c = c->NextSibling) rootSizes.push_back(c->TotalSize);
  rootSizes.push_back(root->OwnSize);

  const std::vector<TTreemapRect> rects = LayoutTreemap(*root, TMeasure::DiskUsage, 0, 0, 400, 300, 1);
  ASSERT_EQ(rects.size(), 73u);  // all 70 files and the 3 folders
  std::map<const DirNode*, TTreemapRect> of;
  for (const TTreemapRect& r : rects) of[r.Node] = r;
  for (const TTreemapRect& r : rects) {
    if (r.Node == root) continue;
    ASSERT_TRUE(of.count(r.Node->Parent));
    const TTreemapRect outline = of[r.Node->Parent];
    const TTreemapRect inner{static_cast<int16_t>(outline.X + 1), static_cast<int16_t>(outline.Y + 1),
                             static_cast<int16_t>(outline.W - 2), static_cast<int16_t>(outline.H - 2), nullptr};
    EXPECT_TRUE(Inside(r, inner)) << r.Node->Name;
    const double share = double(inner.W) * inner.H * double(r.Node->TotalSize) / double(r.Node->Parent->TotalSize);
    EXPECT_NEAR(double(r.W) * r.H, share, r.W + r.H + 1) << r.Node->Name;
    for (const TTreemapRect& o : rects) {
      if (&o == &r || o.Node->Parent != r.Node->Parent) continue;
      EXPECT_TRUE(o.X >= r.X + r.W || r.X >= o.X + o.W || o.Y >= r.Y + r.H || r.Y >= o.Y + o.H)
          << r.Node->Name << " " << o.Node->Name;
    }
  }
  std::vector<TTreemapRect> rootFiles;
  for (const TTreemapRect& r : rects)
    if (r.Node->Parent == root) rootFiles.push_back(r);
  EXPECT_LT(WorstOf(rootFiles), 4);
  EXPECT_GT(SliceWorst(rootSizes, 398, 298), 30);

  const DirNode* d9 = deep->FirstChild;
  while (d9->NextSibling) d9 = d9->NextSibling;
  const TTreemapRect at = of[d9], around = of[deep];
  EXPECT_EQ(TreemapRectAt(rects, at.X + at.W / 2, at.Y + at.H / 2)->Node, d9);
  EXPECT_EQ(TreemapRectAt(rects, around.X, around.Y + around.H - 1)->Node, deep);
  EXPECT_EQ(TreemapRectAt(rects, 0, 299)->Node, root);
  EXPECT_EQ(TreemapRectAt(rects, 400, 0), nullptr);
}

// Beside a huge file a thousand tiny ones have no room of their own and are left to the
// folder's area; a folder too thin for the least side gets its rectangle but no children;
// nothing of size 0 is drawn, not even a top folder of size 0.
TEST(Treemap, TinyEntriesMergedZeroSizesSkipped) {
  TNodeArena arena;
  DirNode* root = NewNode(arena, nullptr, "root", NodeFolder);
  NewNode(arena, root, "zero", NodeFile, 0);
  NewNode(arena, root, "empty", NodeFolder, 0);
  for (int i = 0; i < 1000; ++i) NewNode(arena, root, ("t" + std::to_string(i)).c_str(), NodeFile, 1);
  DirNode* mid = NewNode(arena, root, "mid", NodeFolder);
  NewNode(arena, mid, "m1", NodeFile, 3000);
  NewNode(arena, mid, "m2", NodeFile, 3000);
  NewNode(arena, root, "big", NodeFile, 1000000);
  AddUpTotals(root, nullptr);
  EXPECT_EQ(Show(LayoutTreemap(*root, TMeasure::DiskUsage, 0, 0, 102, 102, 4)),
            "root:0,0,102,102 big:1,1,99,100 mid:100,1,1,86 ");
  EXPECT_TRUE(LayoutTreemap(*root->FirstChild->NextSibling, TMeasure::DiskUsage, 0, 0, 50, 50, 1).empty());
  // Stopped, it gives up with nothing rather than a part of the layout.
  const std::atomic<bool> stop{true};
  EXPECT_TRUE(LayoutTreemap(*root, TMeasure::DiskUsage, 0, 0, 102, 102, 4, &stop).empty());
}

// A folder of 200,000 files, each size twice: laid out largest first, equal sizes by name,
// however its children are sorted.
TEST(Treemap, LargeFolderLargestFirstTiesByName) {
  TNodeArena arena;
  DirNode* root = NewNode(arena, nullptr, "root", NodeFolder);
  char name[16];
  DirNode* last = nullptr;
  for (int i = 0; i < 200000; ++i) {
    std::snprintf(name, sizeof name, "n%06d", i);
    DirNode* file = arena.NewNode();  // linked here: appending one by one would walk the list
    file->Name = arena.CopyString(name);
    file->Parent = root;
    file->Kind = NodeFile;
    file->Depth = 1;
    file->OwnSize = file->TotalSize = static_cast<uint64_t>(i) * 7919 % 100003 + 1;
    LinkChild(root, last, file);
  }
  AddUpTotals(root, nullptr);
  const std::vector<TTreemapRect> rects = LayoutTreemap(*root, TMeasure::DiskUsage, 0, 0, 2000, 2000, 1);
  ASSERT_GT(rects.size(), size_t(10000));
  EXPECT_STREQ(rects[1].Node->Name, "n052685");  // 100003, the largest
  EXPECT_STREQ(rects[2].Node->Name, "n152688");
  for (size_t i = 2; i < rects.size(); ++i) {
    const DirNode &a = *rects[i - 1].Node, &b = *rects[i].Node;
    ASSERT_TRUE(a.TotalSize > b.TotalSize || (a.TotalSize == b.TotalSize && std::string(a.Name) < b.Name)) << i;
  }
}

// A chain of 100,000 folders: each level one pixel inside the one above until there is no
// inside left, without recursion; the pixel under a point is the deepest level there.
TEST(Treemap, DeepChainStopsWhereThereIsNoRoom) {
  TNodeArena arena;
  DirNode* root = NewNode(arena, nullptr, "d", NodeFolder);
  DirNode* node = root;
  for (int i = 0; i < 100000; ++i) node = NewNode(arena, node, "d", NodeFolder);
  NewNode(arena, node, "f", NodeFile, 1);
  AddUpTotals(root, nullptr);
  const std::vector<TTreemapRect> rects = LayoutTreemap(*root, TMeasure::DiskUsage, 0, 0, 1000, 600, 1);
  ASSERT_EQ(rects.size(), 300u);  // a level's inside is 2 pixels less each way: 600, 598 ... 2
  EXPECT_EQ(Show({rects.back()}), "d:299,299,402,2 ");
  EXPECT_EQ(rects.back().Node->Depth, 299);
  EXPECT_EQ(TreemapRectAt(rects, 500, 299)->Node->Depth, 299);
  EXPECT_EQ(TreemapRectAt(rects, 500, 298)->Node->Depth, 298);
  EXPECT_EQ(TreemapRectAt(rects, 999, 0)->Node, root);
  EXPECT_EQ(TreemapRectAt(rects, 0, 600), nullptr);
}
