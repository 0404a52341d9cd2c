#include <gtest/gtest.h>

#include <string>

#include "scan/dirnode.h"
#include "tests/support/handtree.h"

using namespace ostrel;

using test::NewNode;

// Byte-exact where a double would round (past 2^53), capped at 2^64 - 1 where a sum would
// wrap, and the capping told.
TEST(AddUpTotals, SumsToTheBytePastTwoToThe53AndCapsSumsPastTwoToThe64) {
  TNodeArena arena;
  DirNode* root = NewNode(arena, nullptr, "/r", NodeFolder, 0);
  root->OwnSize = 4096;
  DirNode* big = NewNode(arena, root, "big", NodeFolder, 0);
  for (const char* name : {"x", "y"}) {
    DirNode* file = NewNode(arena, big, name, NodeFile, 9007199254740993);  // 2^53 + 1
    file->ApparentSize = 9007199254740993;
  }
  EXPECT_FALSE(AddUpTotals(root, nullptr));
  EXPECT_EQ(big->TotalSize, 18014398509481986u);
  EXPECT_EQ(big->ApparentSize, 18014398509481986u);
  EXPECT_EQ(root->TotalSize, 18014398509486082u);
  EXPECT_EQ(ChildrenSizeOf(*root), 18014398509481986u);

  DirNode* huge = NewNode(arena, root, "huge", NodeFolder, 0);
  for (const char* name : {"a", "b", "c"}) {
    DirNode* file = NewNode(arena, huge, name, NodeFile, 1);
    file->ApparentSize = 6148914691236517206;  // three of them: 2^64 + 2
  }
  EXPECT_TRUE(AddUpTotals(root, nullptr));
  EXPECT_EQ(huge->ApparentSize, 18446744073709551615u);
  EXPECT_EQ(root->ApparentSize, 18446744073709551615u);
  EXPECT_EQ(root->TotalSize, 18014398509486085u) << "the other measure is exact still";

  // A size of exactly 2^64 - 1 is a size, not a capped sum.
  DirNode* exact = NewNode(arena, nullptr, "e", NodeFolder, 0);
  NewNode(arena, exact, "w", NodeFile, 18446744073709551615u);
  EXPECT_FALSE(AddUpTotals(exact, nullptr));
  EXPECT_EQ(exact->TotalSize, 18446744073709551615u);
  NewNode(arena, exact, "one", NodeFile, 1);
  EXPECT_TRUE(AddUpTotals(exact, nullptr));
  EXPECT_EQ(exact->TotalSize, 18446744073709551615u);
}

TEST(FullPath, JoinsTheNamesUpToTheTopWithOneSeparatorEach) {
  TNodeArena arena;
  DirNode* data = NewNode(arena, nullptr, "/data", NodeFolder, 0);
  EXPECT_EQ(FullPath(*data), "/data");
  EXPECT_EQ(ParentPathOf(*data), "");
  EXPECT_EQ(FullPath(*NewNode(arena, nullptr, "All Drives", NodeFolder, 0)), "All Drives");
  EXPECT_EQ(FullPath(*NewNode(arena, data, "b", NodeFolder, 0)), "/data/b");
  EXPECT_EQ(FullPath(*NewNode(arena, NewNode(arena, nullptr, "/data/", NodeFolder, 0), "b", NodeFolder, 0)), "/data/b");
  DirNode* home = NewNode(arena, NewNode(arena, nullptr, "/", NodeFolder, 0), "home", NodeFolder, 0);
  const DirNode* file = NewNode(arena, NewNode(arena, home, "me", NodeFolder, 0), "f.txt", NodeFile, 1);
  EXPECT_EQ(FullPath(*home), "/home");
  EXPECT_EQ(ParentPathOf(*file), "/home/me");
  EXPECT_EQ(FullPath(*file), "/home/me/f.txt");
}

TEST(NodeArena, KeepsEveryStringIntactAcrossBlocks) {
  TNodeArena arena;
  std::string big(1 << 20, 'x');  // larger than one block
  std::vector<const char*> copies;
  for (int i = 0; i < 20000; ++i) copies.push_back(arena.CopyString(std::to_string(i)));
  const char* large = arena.CopyString(big);
  DirNode* node = arena.NewNode();
  EXPECT_EQ(reinterpret_cast<uintptr_t>(node) % alignof(DirNode), 0u);
  EXPECT_EQ(node->FirstChild, nullptr);
  EXPECT_EQ(node->TotalSize, 0);
  for (int i = 0; i < 20000; ++i) ASSERT_EQ(copies[i], std::to_string(i));
  EXPECT_EQ(std::string(large), big);
  EXPECT_GE(arena.Reserved(), big.size());
}
