// The numbers a user trusts: disk usage and apparent size, each inode once, what could not be
// read recorded with its reason, out of memory and stops ending the walk cleanly, and depth
// that costs neither stack nor a descriptor per level. Real trees on the real file system;
// cases that need a mount namespace or another user run in a child process.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <thread>

#include "scan/tloader.h"
#include "tests/support/fixture.h"

using namespace ostrel;

namespace {

std::vector<TDrive> NoDrives() { return {}; }

std::unique_ptr<TThreadLoader> Scan(const std::string& path, std::vector<TDrive> (*drives)() = NoDrives,
                                    size_t memoryLimit = 0) {
  auto loader = std::make_unique<TThreadLoader>(true);
  loader->Path = path;
  loader->DriveSource = drives;
  loader->MemoryLimit = memoryLimit;
  loader->Resume();
  loader->WaitFor();
  return loader;
}

const DirNode* Find(const DirNode* node, const std::string& rel) {
  size_t start = 0;
  while (node && start <= rel.size()) {
    const size_t slash = std::min(rel.find('/', start), rel.size());
    const std::string part = rel.substr(start, slash - start);
    const DirNode* found = nullptr;
    for (const DirNode* c = node->FirstChild; c && !found; c = c->NextSibling)
      if (part == c->Name) found = c;
    node = found;
    start = slash + 1;
  }
  return node;
}

struct Counts {
  double Disk = 0, Apparent = 0;
};

// An independent count: every inode under `path` once, folders' blocks included in disk usage.
Counts CountEachInodeOnce(const std::string& path) {
  Counts counts;
  std::set<std::pair<dev_t, ino_t>> seen;
  auto add = [&](const std::string& p) {
    struct stat st {};
    if (lstat(p.c_str(), &st) != 0 || !seen.insert({st.st_dev, st.st_ino}).second) return;
    counts.Disk += static_cast<double>(st.st_blocks) * 512;
    if (!S_ISDIR(st.st_mode)) counts.Apparent += static_cast<double>(st.st_size);
  };
  add(path);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) add(entry.path());
  return counts;
}

double Blocks(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return static_cast<double>(st.st_blocks) * 512;
}

// Every folder's sizes add up, in both measures, however the walk ended.
void ExpectSizesAddUp(const DirNode* node) {
  std::vector<const DirNode*> stack{node};
  while (!stack.empty()) {
    const DirNode* n = stack.back();
    stack.pop_back();
    double sum = 0, apparent = 0;
    for (const DirNode* c = n->FirstChild; c; c = c->NextSibling) {
      sum += c->TotalSize;
      apparent += c->ApparentSize;
      stack.push_back(c);
    }
    ASSERT_EQ(n->ChildrenSize, sum) << FullPath(*n);
    ASSERT_EQ(n->TotalSize, n->OwnSize + n->ChildrenSize) << FullPath(*n);
    if (n->Kind == NodeFolder) {
      ASSERT_EQ(n->ApparentSize, apparent) << FullPath(*n);
    }
  }
}

void SkipOrExpectClean(const std::string& result) {
  if (result.rfind("SKIP: ", 0) == 0) GTEST_SKIP() << result.substr(6);
  EXPECT_EQ(result, "");
}

}  // namespace

TEST(Counting, DiskUsageByDefaultApparentSizeBesideItEachInodeOnce) {
  test::TempTree tree;
  tree.Write("data/real", std::string(100000, 'x'));
  const std::string sparse = tree.File("data/sparse", 10ull << 30);
  const std::string first = tree.Write("links/a/one", std::string(1 << 20, 'y'));
  // Three more names for the same file: the one met first in the tree's order carries it, and
  // a folder's own files come before its subfolders.
  ASSERT_EQ(link(first.c_str(), tree.Path("links/a/two").c_str()), 0);
  tree.Dir("links/b");
  ASSERT_EQ(link(first.c_str(), tree.Path("links/b/three").c_str()), 0);
  ASSERT_EQ(link(first.c_str(), tree.Path("links/zero").c_str()), 0);

  auto loader = Scan(tree.Root());
  const DirNode* root = loader->Root;
  ASSERT_NE(root, nullptr);
  ExpectSizesAddUp(root);
  const Counts expected = CountEachInodeOnce(tree.Root());
  EXPECT_EQ(root->TotalSize, expected.Disk);
  EXPECT_EQ(root->ApparentSize, expected.Apparent);
  EXPECT_EQ(SizeOf(*root, TMeasure::DiskUsage), root->TotalSize);
  EXPECT_EQ(SizeOf(*root, TMeasure::Apparent), root->ApparentSize);

  const DirNode* zero = Find(root, "links/zero");
  ASSERT_NE(zero, nullptr);
  EXPECT_EQ(zero->ApparentSize, 1 << 20);
  EXPECT_EQ(zero->TotalSize, Blocks(first));
  for (const char* later : {"links/a/one", "links/a/two", "links/b/three"}) {
    const DirNode* node = Find(root, later);
    ASSERT_NE(node, nullptr) << later;
    EXPECT_EQ(node->TotalSize + node->ApparentSize, 0) << later;
  }

  const DirNode* data = Find(root, "data");
  EXPECT_EQ(data->OwnSize, Blocks(tree.Path("data"))) << "a folder's own blocks count on disk";
  EXPECT_EQ(OwnSizeOf(*data, TMeasure::Apparent), 0);
  const DirNode* sparseNode = Find(root, "data/sparse");
  EXPECT_EQ(sparseNode->ApparentSize, 10.0 * (1ull << 30));
  EXPECT_EQ(sparseNode->TotalSize, Blocks(sparse));
  EXPECT_LT(sparseNode->TotalSize, 1 << 20) << "the file system here is expected to keep holes";
  EXPECT_TRUE(loader->Problems.empty());
  EXPECT_EQ(loader->Ending, TScanEnd::Complete);
}

TEST(Counting, AFolderMetTwiceIsWalkedOnceByTheNameMetFirst) {
  test::TempTree tree;
  tree.Write("top/a/f", std::string(50000, 'z'));
  tree.Dir("top/a/loop");
  tree.Dir("top/m");
  const double expected = Blocks(tree.Path("top")) + Blocks(tree.Path("top/a")) + Blocks(tree.Path("top/a/f"));
  const std::string top = tree.Path("top");
  SkipOrExpectClean(test::InChild([&]() -> std::string {
    // A private mount namespace: the mounts go with this process, never outliving the test.
    if (unshare(CLONE_NEWNS) != 0) return "SKIP: no mount namespace here: " + std::string(strerror(errno));
    if (mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount((top + "/a").c_str(), (top + "/m").c_str(), nullptr, MS_BIND, nullptr) != 0 ||
        mount(top.c_str(), (top + "/a/loop").c_str(), nullptr, MS_BIND, nullptr) != 0)
      return "SKIP: bind mounts refused: " + std::string(strerror(errno));
    auto loader = Scan(top, &ListDrives);
    const DirNode* root = loader->Root;
    CHILD_CHECK(root && root->TotalSize == expected);
    CHILD_CHECK(root->ApparentSize == 50000);
    CHILD_CHECK(loader->Repeats.size() == 2);
    const DirNode* loop = Find(root, "a/loop");
    const DirNode* m = Find(root, "m");
    CHILD_CHECK(loop && !loop->FirstChild && loop->TotalSize == 0 && loop->Kind == NodeFolder);
    CHILD_CHECK(m && !m->FirstChild && m->TotalSize == 0);
    CHILD_CHECK(loader->Repeats[0].Node == loop && loader->Repeats[0].First == root);
    CHILD_CHECK(loader->Repeats[1].Node == m && loader->Repeats[1].First == Find(root, "a"));
    CHILD_CHECK(loader->Problems.empty());
    return "";
  }));
}

TEST(Counting, DeepCombIsWalkedWholeUnderASmallDescriptorLimit) {
  // Each level holds "a", which goes on, and "b", which waits until "a" is done: a walk that
  // kept one descriptor per waiting level would need 300.
  constexpr int kDepth = 300;
  test::TempTree tree;
  std::string rel;
  for (int i = 0; i < kDepth; ++i) {
    tree.File(rel + "b/x", 1);
    rel += "a/";
  }
  auto unlimited = Scan(tree.Root());
  ASSERT_EQ(unlimited->FolderCount, 2 * kDepth);
  ASSERT_EQ(unlimited->Root->ApparentSize, kDepth);
  const double disk = unlimited->Root->TotalSize;
  const std::string root = tree.Root();
  EXPECT_EQ(test::InChild([&]() -> std::string {
              rlimit low{48, 48};
              CHILD_CHECK(setrlimit(RLIMIT_NOFILE, &low) == 0);
              auto loader = Scan(root);
              CHILD_CHECK(loader->Problems.empty());
              CHILD_CHECK(loader->FolderCount == 2 * kDepth);
              CHILD_CHECK(loader->FileCount == kDepth);
              CHILD_CHECK(loader->Root->ApparentSize == kDepth && loader->Root->TotalSize == disk);
              const DirNode* level = loader->Root;
              for (int i = 1; i < kDepth; ++i) {
                CHILD_CHECK(Find(level, "b/x"));
                level = Find(level, "a");
                CHILD_CHECK(level);
              }
              CHILD_CHECK(level->Depth == kDepth - 1 && Find(level, "b/x") && !Find(level, "a"));
              return "";
            }),
            "");
}

TEST(Counting, WhatCouldNotBeReadIsRecordedInTheTreesOrderWithItsReason) {
  test::TempTree tree;
  tree.File("locked/secret", 100);
  tree.File("nosearch/f", 5);
  tree.File("nosearch/sub/g", 6);
  tree.File("open/h", 7);
  ASSERT_EQ(chmod(tree.Root().c_str(), 0755), 0);
  ASSERT_EQ(chmod(tree.Path("locked").c_str(), 0), 0);
  ASSERT_EQ(chmod(tree.Path("nosearch").c_str(), 0444), 0);  // names readable, entries not
  const double lockedBlocks = Blocks(tree.Path("locked"));
  const std::string root = tree.Root();
  SkipOrExpectClean(test::InChild([&]() -> std::string {
    // Root reads everything: look as an ordinary user does.
    if (std::string skip = test::BecomeOrdinaryUser(); !skip.empty()) return skip;
    auto loader = Scan(root);
    const DirNode* top = loader->Root;
    const auto& p = loader->Problems;
    CHILD_CHECK(p.size() == 3);
    CHILD_CHECK(p[0].Kind == TScanProblem::ReadFolder && p[0].Node == Find(top, "locked") && p[0].Error == EACCES);
    CHILD_CHECK(p[1].Kind == TScanProblem::Examine && p[1].Node == Find(top, "nosearch/f") && p[1].Error == EACCES);
    CHILD_CHECK(p[2].Kind == TScanProblem::ReadFolder && p[2].Node == Find(top, "nosearch/sub"));
    CHILD_CHECK(p[1].Node->Kind == NodeFile && p[1].Node->TotalSize == 0 && p[1].Node->ApparentSize == 0);
    const DirNode* locked = Find(top, "locked");
    CHILD_CHECK(!locked->FirstChild && locked->OwnSize == lockedBlocks && locked->ApparentSize == 0);
    CHILD_CHECK(top->ApparentSize == 7);
    CHILD_CHECK(loader->Ending == TScanEnd::Complete);
    return "";
  }));
}

TEST(Counting, RunningOutOfMemoryEndsTheWalkLikeAStop) {
  test::TempTree tree;
  for (int i = 0; i < 200; ++i)
    for (int j = 0; j < 50; ++j) tree.File("d" + std::to_string(i) + "/f" + std::to_string(j), 1);
  auto loader = Scan(tree.Root(), NoDrives, 300 * 1024);
  EXPECT_EQ(loader->Ending, TScanEnd::OutOfMemory);
  ASSERT_NE(loader->Root, nullptr);
  ExpectSizesAddUp(loader->Root);
  EXPECT_GT(loader->FileCount, 0);
  EXPECT_LT(loader->FileCount, 200 * 50);
  double files = 0;
  for (const DirNode* d = loader->Root->FirstChild; d; d = d->NextSibling) files += d->ApparentSize;
  EXPECT_EQ(loader->Root->ApparentSize, files);
}

TEST(Counting, StopActsWithinAFolderOfManyEntries) {
  constexpr int kFiles = 20000;
  test::TempTree tree;
  for (int i = 0; i < kFiles; ++i) tree.File("big/f" + std::to_string(i), 1);
  auto loader = std::make_unique<TThreadLoader>(true);
  loader->Path = tree.Path("big");
  loader->DriveSource = NoDrives;
  loader->Resume();
  // The root is counted before its listing begins.
  while (loader->FolderCount < 1 && !loader->Finished()) std::this_thread::yield();
  loader->StopFlag = 1;
  loader->WaitFor();
  if (loader->FileCount == kFiles) GTEST_SKIP() << "the listing ended before the stop arrived";
  EXPECT_EQ(loader->Ending, TScanEnd::Stopped);
  EXPECT_EQ(loader->Root->ApparentSize, loader->FileCount);
  EXPECT_EQ(loader->FileCount % 1000, 999) << "checked every thousand entries";
}
