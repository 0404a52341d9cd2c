#include <gtest/gtest.h>

#include <string>

#include "scan/dirnode.h"

using namespace ostrel;

namespace {

DirNode* Node(TNodeArena& arena, const char* name, const DirNode* parent, int32_t kind, double size) {
  DirNode* node = arena.NewNode();
  node->Name = arena.CopyString(name);
  node->Parent = parent;
  node->Kind = kind;
  node->OwnSize = kind == NodeFile ? size : 0;
  node->TotalSize = size;
  return node;
}

}  // namespace

TEST(AddChild, AppendsInOrderAndAddsTheSizeAtTheMomentOfTheCall) {
  TNodeArena arena;
  DirNode* folder = Node(arena, "f", nullptr, NodeFolder, 0);
  folder->OwnSize = folder->TotalSize = 4096;  // its own blocks, before any child
  DirNode* a = Node(arena, "a", folder, NodeFile, 10);
  DirNode* b = Node(arena, "b", folder, NodeFile, 5);
  DirNode* c = Node(arena, "c", folder, NodeFile, 7);
  a->NextSibling = b;  // stale link: AddChild must clear it
  AddChild(folder, a);
  EXPECT_EQ(a->NextSibling, nullptr);
  AddChild(folder, b);
  b->TotalSize = 1000;  // later changes are not rolled up again
  DirNode* last = b;
  AppendChild(folder, last, c);
  EXPECT_EQ(last, c);
  EXPECT_EQ(folder->FirstChild, a);
  EXPECT_EQ(a->NextSibling, b);
  EXPECT_EQ(b->NextSibling, c);
  EXPECT_EQ(LastChildOf(*folder), c);
  EXPECT_EQ(c->NextSibling, nullptr);
  EXPECT_EQ(ChildrenSizeOf(*folder), 22);
  EXPECT_EQ(folder->TotalSize, 4096 + 22);
}

TEST(AddChild, WithoutParentOnlyClearsTheSibling) {
  TNodeArena arena;
  DirNode* root = Node(arena, "r", nullptr, NodeFolder, 0);
  root->NextSibling = root;
  AddChild(nullptr, root);
  EXPECT_EQ(root->NextSibling, nullptr);
}

TEST(FullPath, JoinsTheNamesUpToTheTopWithOneSeparatorEach) {
  TNodeArena arena;
  const DirNode* data = Node(arena, "/data", nullptr, NodeFolder, 0);
  EXPECT_EQ(FullPath(*data), "/data");
  EXPECT_EQ(ParentPathOf(*data), "");
  EXPECT_EQ(FullPath(*Node(arena, "All Drives", nullptr, NodeFolder, 0)), "All Drives");
  EXPECT_EQ(FullPath(*Node(arena, "b", data, NodeFolder, 0)), "/data/b");
  EXPECT_EQ(FullPath(*Node(arena, "b", Node(arena, "/data/", nullptr, NodeFolder, 0), NodeFolder, 0)), "/data/b");
  const DirNode* home = Node(arena, "home", Node(arena, "/", nullptr, NodeFolder, 0), NodeFolder, 0);
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
