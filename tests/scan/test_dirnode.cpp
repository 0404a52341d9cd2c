#include <gtest/gtest.h>

#include <string>

#include "scan/dirnode.h"

using namespace ostrel;

namespace {

// A node joined as the last child of `parent` (when not null).
DirNode* Node(TNodeArena& arena, const char* name, DirNode* parent, int32_t kind, uint64_t size) {
  DirNode* node = arena.NewNode();
  node->Name = arena.CopyString(name);
  node->Parent = parent;
  node->Kind = kind;
  node->OwnSize = kind == NodeFile ? size : 0;
  node->TotalSize = size;
  if (parent) {
    DirNode* last = parent->FirstChild;
    while (last && last->NextSibling) last = last->NextSibling;
    LinkChild(parent, last, node);
  }
  return node;
}

}  // namespace

// Byte-exact where a double would round (past 2^53), capped at 2^64 - 1 where a sum would
// wrap, and the capping told.
TEST(AddUpTotals, SumsToTheBytePastTwoToThe53AndCapsSumsPastTwoToThe64) {
  TNodeArena arena;
  DirNode* root = Node(arena, "/r", nullptr, NodeFolder, 0);
  root->OwnSize = 4096;
  DirNode* big = Node(arena, "big", root, NodeFolder, 0);
  for (const char* name : {"x", "y"}) {
    DirNode* file = Node(arena, name, big, NodeFile, 9007199254740993);  // 2^53 + 1
    file->ApparentSize = 9007199254740993;
  }
  EXPECT_FALSE(AddUpTotals(root, nullptr));
  EXPECT_EQ(big->TotalSize, 18014398509481986u);
  EXPECT_EQ(big->ApparentSize, 18014398509481986u);
  EXPECT_EQ(root->TotalSize, 18014398509486082u);
  EXPECT_EQ(ChildrenSizeOf(*root), 18014398509481986u);

  DirNode* huge = Node(arena, "huge", root, NodeFolder, 0);
  for (const char* name : {"a", "b", "c"}) {
    DirNode* file = Node(arena, name, huge, NodeFile, 1);
    file->ApparentSize = 6148914691236517206;  // three of them: 2^64 + 2
  }
  EXPECT_TRUE(AddUpTotals(root, nullptr));
  EXPECT_EQ(huge->ApparentSize, 18446744073709551615u);
  EXPECT_EQ(root->ApparentSize, 18446744073709551615u);
  EXPECT_EQ(root->TotalSize, 18014398509486085u) << "the other measure is exact still";

  // A size of exactly 2^64 - 1 is a size, not a capped sum.
  DirNode* exact = Node(arena, "e", nullptr, NodeFolder, 0);
  Node(arena, "w", exact, NodeFile, 18446744073709551615u);
  EXPECT_FALSE(AddUpTotals(exact, nullptr));
  EXPECT_EQ(exact->TotalSize, 18446744073709551615u);
  Node(arena, "one", exact, NodeFile, 1);
  EXPECT_TRUE(AddUpTotals(exact, nullptr));
  EXPECT_EQ(exact->TotalSize, 18446744073709551615u);
}

TEST(FullPath, JoinsTheNamesUpToTheTopWithOneSeparatorEach) {
  TNodeArena arena;
  DirNode* data = Node(arena, "/data", nullptr, NodeFolder, 0);
  EXPECT_EQ(FullPath(*data), "/data");
  EXPECT_EQ(ParentPathOf(*data), "");
  EXPECT_EQ(FullPath(*Node(arena, "All Drives", nullptr, NodeFolder, 0)), "All Drives");
  EXPECT_EQ(FullPath(*Node(arena, "b", data, NodeFolder, 0)), "/data/b");
  EXPECT_EQ(FullPath(*Node(arena, "b", Node(arena, "/data/", nullptr, NodeFolder, 0), NodeFolder, 0)), "/data/b");
  DirNode* home = Node(arena, "home", Node(arena, "/", nullptr, NodeFolder, 0), NodeFolder, 0);
  const DirNode* file = Node(arena, "f.txt", Node(arena, "me", home, NodeFolder, 0), NodeFile, 1);
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
