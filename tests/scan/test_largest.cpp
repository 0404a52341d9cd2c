#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan/largest.h"
#include "tests/support/handtree.h"

using namespace ostrel;
using test::NewNode;

namespace {

std::vector<std::string> Paths(const std::vector<const DirNode*>& nodes) {
  std::vector<std::string> paths;
  for (const DirNode* node : nodes) paths.push_back(FullPath(*node));
  return paths;
}

}  // namespace

// Largest first; equal sizes by the bytes of the full path, where "sub.d/" sorts before "sub/"
// ('.' < '/') and "Z" before "b"; a size of 0 is left out; the walk stays below the folder.
TEST(LargestFilesBelow, LargestFirstThenByFullPathBytesWithoutEmptyFiles) {
  TNodeArena arena;
  DirNode* root = NewNode(arena, nullptr, "/r", NodeFolder, 4096);
  NewNode(arena, root, "b.txt", NodeFile, 100, 900);
  NewNode(arena, root, "a.txt", NodeFile, 300, 10);
  DirNode* sub = NewNode(arena, root, "sub", NodeFolder, 0);
  NewNode(arena, sub, "x", NodeFile, 300, 0);
  NewNode(arena, sub, "zero", NodeFile, 0, 0);
  NewNode(arena, NewNode(arena, sub, "deep", NodeFolder, 0), "y", NodeFile, 50, 10);
  NewNode(arena, NewNode(arena, root, "sub.d", NodeFolder, 0), "w", NodeFile, 300, 20);
  NewNode(arena, root, "Z", NodeFile, 100, 10);

  EXPECT_EQ(Paths(LargestFilesBelow(*root, 100, TMeasure::DiskUsage)),
            (std::vector<std::string>{"/r/a.txt", "/r/sub.d/w", "/r/sub/x", "/r/Z", "/r/b.txt", "/r/sub/deep/y"}));
  EXPECT_EQ(Paths(LargestFilesBelow(*root, 2, TMeasure::DiskUsage)),
            (std::vector<std::string>{"/r/a.txt", "/r/sub.d/w"}));
  EXPECT_EQ(Paths(LargestFilesBelow(*root, 4, TMeasure::Apparent)),
            (std::vector<std::string>{"/r/b.txt", "/r/sub.d/w", "/r/Z", "/r/a.txt"}));
  EXPECT_EQ(Paths(LargestFilesBelow(*sub, 100, TMeasure::DiskUsage)),
            (std::vector<std::string>{"/r/sub/x", "/r/sub/deep/y"}));
  EXPECT_EQ(Paths(LargestFilesBelow(*root, 100, TMeasure::DiskUsage, "X")),
            (std::vector<std::string>{"/r/a.txt", "/r/sub/x", "/r/b.txt"}));
  EXPECT_TRUE(LargestFilesBelow(*root, 0, TMeasure::DiskUsage).empty());
  EXPECT_TRUE(LargestFilesBelow(*NewNode(arena, root, "f", NodeFile, 5), 10, TMeasure::DiskUsage).empty());
}

// 100,000 levels: neither the walk nor the order of two paths may take a call per level.
TEST(LargestFilesBelow, DeepChainCostsNoStack) {
  TNodeArena arena;
  DirNode* root = NewNode(arena, nullptr, "/deep", NodeFolder, 0);
  DirNode* first = NewNode(arena, root, "d", NodeFolder, 0);
  NewNode(arena, first, "g", NodeFile, 7);
  DirNode* folder = first;
  for (int level = 1; level < 100000; ++level) folder = NewNode(arena, folder, "d", NodeFolder, 0);
  const DirNode* bottom = NewNode(arena, folder, "f", NodeFile, 7);
  const std::vector<const DirNode*> found = LargestFilesBelow(*root, 5, TMeasure::DiskUsage);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0], bottom);  // "/deep/d/d/..." before "/deep/d/g"
  EXPECT_STREQ(found[1]->Name, "g");
}
