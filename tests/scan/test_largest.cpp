#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan/largest.h"
#include "tests/support/handtree.h"

using namespace ostrel;

namespace {

DirNode* Node(TNodeArena& arena, const char* name, DirNode* parent, int32_t kind, uint64_t disk, uint64_t apparent = 0) {
  return test::NewNode(arena, parent, name, kind, disk, apparent);
}

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
  DirNode* root = Node(arena, "/r", nullptr, NodeFolder, 4096);
  Node(arena, "b.txt", root, NodeFile, 100, 900);
  Node(arena, "a.txt", root, NodeFile, 300, 10);
  DirNode* sub = Node(arena, "sub", root, NodeFolder, 0);
  Node(arena, "x", sub, NodeFile, 300, 0);
  Node(arena, "zero", sub, NodeFile, 0, 0);
  Node(arena, "y", Node(arena, "deep", sub, NodeFolder, 0), NodeFile, 50, 10);
  Node(arena, "w", Node(arena, "sub.d", root, NodeFolder, 0), NodeFile, 300, 20);
  Node(arena, "Z", root, NodeFile, 100, 10);

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
  EXPECT_TRUE(LargestFilesBelow(*Node(arena, "f", root, NodeFile, 5), 10, TMeasure::DiskUsage).empty());
}

// 100,000 levels: neither the walk nor the order of two paths may take a call per level.
TEST(LargestFilesBelow, DeepChainCostsNoStack) {
  TNodeArena arena;
  DirNode* root = Node(arena, "/deep", nullptr, NodeFolder, 0);
  DirNode* first = Node(arena, "d", root, NodeFolder, 0);
  Node(arena, "g", first, NodeFile, 7);
  DirNode* folder = first;
  for (int level = 1; level < 100000; ++level) folder = Node(arena, "d", folder, NodeFolder, 0);
  const DirNode* bottom = Node(arena, "f", folder, NodeFile, 7);
  const std::vector<const DirNode*> found = LargestFilesBelow(*root, 5, TMeasure::DiskUsage);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0], bottom);  // "/deep/d/d/..." before "/deep/d/g"
  EXPECT_STREQ(found[1]->Name, "g");
}
