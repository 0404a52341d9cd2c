#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/handtree.h"
#include "scan/treecompare.h"

using namespace ostrel;

namespace {

// A tree from (path, size) pairs in the order given, which is each folder's child order; a path
// ending in "*" is a file. Apparent sizes are the disk sizes plus 1, so that the measures differ.
struct TTree {
  TNodeArena Arena;
  DirNode* Root = nullptr;
  std::map<std::string, DirNode*> Nodes;

  TTree(const char* rootName, std::vector<std::pair<std::string, double>> entries) {
    Root = test::NewNode(Arena, nullptr, rootName, NodeFolder);
    Nodes[""] = Root;
    for (auto& [path, size] : entries) {
      std::string name = path;
      const bool file = !name.empty() && name.back() == '*';
      if (file) name.pop_back();
      const size_t slash = name.rfind('/');
      DirNode* parent = Nodes.at(slash == std::string::npos ? "" : name.substr(0, slash));
      DirNode* node = test::NewNode(Arena, parent, name.substr(slash == std::string::npos ? 0 : slash + 1).c_str(),
                                    file ? NodeFile : NodeFolder);
      node->TotalSize = size;
      node->ApparentSize = size + 1;
      if (!file) Nodes[name] = node;
    }
  }
};

// The walk as lines "level name old new", with "-" for a missing side.
std::vector<std::string> Walk(const DirNode* oldRoot, const DirNode* newRoot, TMeasure measure = TMeasure::DiskUsage,
                              int32_t maxLevel = INT32_MAX) {
  std::vector<std::string> lines;
  TTreeComparison walk(oldRoot, newRoot, measure, maxLevel);
  TFolderChange c;
  while (walk.Next(c))
    lines.push_back(std::to_string(c.Level) + " " + c.Name() + " " + (c.Old ? std::to_string(int(c.OldSize)) : "-") +
                    " " + (c.New ? std::to_string(int(c.NewSize)) : "-"));
  return lines;
}

using Lines = std::vector<std::string>;

}  // namespace

TEST(TreeComparison, EachFolderBeforeItsSubfoldersInByteOrderAcrossBothScansWhateverTheListingOrder) {
  // Lists out of order, files between folders, as a scan file may give them; "c" is a file
  // then and a folder now, which is a new folder, not a changed one.
  TTree old("/old", {{"b", 30}, {"f*", 1}, {"C", 5}, {"b/x", 20}, {"b/x/deep", 7}, {"a", 10}, {"c*", 3}});
  TTree now("/new", {{"c", 4}, {"a", 12}, {"Z", 1}, {"b", 9}, {"g*", 1}, {"a/n", 2}});
  old.Root->TotalSize = 69;
  now.Root->TotalSize = 29;
  EXPECT_EQ(Walk(old.Root, now.Root), (Lines{"0 /new 69 29", "1 C 5 -", "1 Z - 1", "1 a 10 12", "2 n - 2",
                                             "1 b 30 9", "2 x 20 -", "3 deep 7 -", "1 c - 4"}));
  // The roots match whatever their names; the other way round, gone and new swap.
  EXPECT_EQ(Walk(now.Root, old.Root).front(), "0 /old 29 69");
  EXPECT_EQ(Walk(now.Root, old.Root)[1], "1 C - 5");
}

// The levels and measures asked, with an earlier scan, are compare-test.sh's changes case.
TEST(TreeComparison, WithoutAnEarlierScanEverythingIsNewToTheLevelAsked) {
  TTree now("/r", {{"a", 11}, {"a/b", 5}, {"n", 3}});
  EXPECT_EQ(Walk(nullptr, now.Root, TMeasure::DiskUsage, 1), (Lines{"0 /r - 0", "1 a - 11", "1 n - 3"}));
  EXPECT_TRUE(Walk(nullptr, nullptr).empty());
}

TEST(TreeComparison, WalksChainsFarDeeperThanAStackWouldAllow) {
  constexpr int levels = 200000;
  TNodeArena arena;
  DirNode* roots[2] = {};
  for (int tree = 0; tree < 2; ++tree) {
    DirNode* parent = nullptr;
    for (int level = 0; level <= levels; ++level) {
      DirNode* node = test::NewNode(arena, parent, "d", NodeFolder);
      if (!parent) roots[tree] = node;
      node->TotalSize = tree;  // the later chain is 1 byte larger at every level
      parent = node;
    }
  }
  TTreeComparison walk(roots[0], roots[1], TMeasure::DiskUsage);
  TFolderChange c;
  int count = 0, changed = 0;
  while (walk.Next(c)) {
    ++count;
    if (c.Old && c.New && c.Change() == TByteChange{1, false}) ++changed;
  }
  EXPECT_EQ(count, levels + 1);
  EXPECT_EQ(changed, levels + 1);
}

TEST(PairSubfolders, PairsOneFolderLevelByNameInByteOrder) {
  TTree old("/r", {{"b", 3}, {"a", 1}, {"a/deep", 1}, {"x*", 9}});
  TTree now("/r", {{"c", 2}, {"b", 5}, {"x*", 10}});
  std::vector<TFolderChange> pairs = PairSubfolders(old.Root, now.Root, TMeasure::DiskUsage);
  ASSERT_EQ(pairs.size(), 3u);
  EXPECT_STREQ(pairs[0].Name(), "a");
  EXPECT_EQ(pairs[0].Change(), (TByteChange{1, true}));
  EXPECT_EQ(pairs[1].Old, old.Nodes["b"]);
  EXPECT_EQ(pairs[1].New, now.Nodes["b"]);
  EXPECT_EQ(pairs[1].Change(), (TByteChange{2, false}));
  EXPECT_EQ(pairs[2].Old, nullptr);
  EXPECT_TRUE(PairSubfolders(nullptr, nullptr, TMeasure::DiskUsage).empty());
}
