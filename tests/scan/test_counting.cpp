// The numbers a user trusts: disk usage and apparent size, each inode once, what could not be
// read recorded with its reason, out of memory and stops ending the walk cleanly, and depth
// that costs neither stack nor a descriptor per level. Real trees on the real file system;
// cases that need another user run in a child process (bind mounts: scan-test.sh).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "scan/tloader.h"
#include "tests/support/fixture.h"
#include "tests/support/memlisting.h"
#include "tests/support/walk.h"

using namespace ostrel;
using test::DiskBytes;

namespace {

using test::Find;

// Every folder's sizes add up, in both measures, however the walk ended.
void ExpectSizesAddUp(const DirNode* node) {
  std::vector<const DirNode*> stack{node};
  while (!stack.empty()) {
    const DirNode* n = stack.back();
    stack.pop_back();
    uint64_t sum = 0, apparent = 0;
    for (const DirNode* c = n->FirstChild; c; c = c->NextSibling) {
      sum = AddBytes(sum, c->TotalSize);
      apparent = AddBytes(apparent, c->ApparentSize);
      stack.push_back(c);
    }
    ASSERT_EQ(ChildrenSizeOf(*n), sum) << FullPath(*n);
    if (n->Kind == NodeFolder) {
      ASSERT_EQ(n->ApparentSize, apparent) << FullPath(*n);
    }
  }
}

}  // namespace

TEST(Counting, DiskUsageByDefaultApparentSizeBesideItEachInodeOnce) {
  test::TempTree tree;
  tree.Write("data/real", std::string(100000, 'x'));
  const std::string first = tree.Write("links/a/one", std::string(1 << 20, 'y'));
  // Three more names for the same file: the one met first in the tree's order carries it, and
  // a folder's own files come before its subfolders.
  ASSERT_EQ(link(first.c_str(), tree.Path("links/a/two").c_str()), 0);
  tree.Dir("links/b");
  ASSERT_EQ(link(first.c_str(), tree.Path("links/b/three").c_str()), 0);
  ASSERT_EQ(link(first.c_str(), tree.Path("links/zero").c_str()), 0);

  auto loader = test::Walk(tree.Root());
  const DirNode* root = loader->Result.Root;
  ASSERT_NE(root, nullptr);
  // The totals against du and an inode-once count, a 10 GiB sparse file's among them, are
  // scan-test.sh's; here, who carries what.
  ExpectSizesAddUp(root);

  const DirNode* zero = Find(root, "links/zero");
  ASSERT_NE(zero, nullptr);
  EXPECT_EQ(zero->ApparentSize, 1 << 20);
  EXPECT_EQ(zero->TotalSize, DiskBytes(first));
  for (const char* later : {"links/a/one", "links/a/two", "links/b/three"}) {
    const DirNode* node = Find(root, later);
    ASSERT_NE(node, nullptr) << later;
    EXPECT_EQ(node->TotalSize + node->ApparentSize, 0) << later;
  }

  const DirNode* data = Find(root, "data");
  EXPECT_EQ(data->OwnSize, DiskBytes(tree.Path("data"))) << "a folder's own blocks count on disk";
  EXPECT_EQ(OwnSizeOf(*data, TMeasure::Apparent), 0);
  EXPECT_TRUE(loader->Result.Problems.empty());
  EXPECT_EQ(loader->Result.Ending, TScanEnd::Complete);
}

TEST(Counting, EachEntryHasItsTimeAndInodeTagAFolderTheNewestAtOrBelowIt) {
  test::TempTree tree;
  const std::string later = tree.Path("z/later");
  for (const auto& [rel, seconds] : {std::pair<const char*, int64_t>{"a/old", 1000000000}, {"a/new", 1700000000},
                                     {"a/ancient", -5}, {"b/sub/f", 1600000000}, {"c/future", 5000000000}}) {
    test::SetTime(tree.File(rel, 10), seconds);
  }
  tree.Dir("z");
  ASSERT_EQ(link(tree.Path("a/new").c_str(), later.c_str()), 0);  // after "a/new": counts 0
  // Folders last: making their entries set their times.
  for (const auto& [rel, seconds] : {std::pair<const char*, int64_t>{"a", 1100000000}, {"b/sub", 1650000000},
                                     {"b", 1200000000}, {"c", 1000}, {"z", 1000}, {"", 1300000000}}) {
    test::SetTime(tree.Path(rel), seconds);
  }
  for (const int threads : {1, 4}) {
    auto loader = test::Walk(tree.Root(), nullptr, threads);
    const DirNode* root = loader->Result.Root;
    ASSERT_NE(root, nullptr);
    const auto timeOf = [&](const char* rel) { return *rel ? Find(root, rel)->MTime : root->MTime; };
    EXPECT_EQ(timeOf("a/old"), 1000000000u);
    EXPECT_EQ(timeOf("a/new"), 1700000000u);
    EXPECT_EQ(timeOf("a/ancient"), 0u) << "before 1970: unknown";
    EXPECT_EQ(timeOf("c/future"), 4294967295u) << "capped";
    EXPECT_EQ(timeOf("z/later"), 1700000000u) << "a later name keeps its time";
    EXPECT_EQ(Find(root, "z/later")->TotalSize, 0u);
    EXPECT_EQ(timeOf("a"), 1700000000u);
    EXPECT_EQ(timeOf("b/sub"), 1650000000u) << "its own time is newer than its file's";
    EXPECT_EQ(timeOf("b"), 1650000000u);
    EXPECT_EQ(timeOf("c"), 4294967295u);
    EXPECT_EQ(timeOf(""), 4294967295u);
    for (const char* rel : {"", "a", "a/old", "a/new", "b", "b/sub", "b/sub/f", "z/later"}) {
      struct stat st {};
      ASSERT_EQ(lstat(tree.Path(rel).c_str(), &st), 0);
      EXPECT_EQ((*rel ? Find(root, rel) : root)->InodeTag, st.st_ino & 0xffffffff) << rel << ", " << threads;
    }
  }
}

TEST(Counting, AFolderReplacedWhileTheWalkWasElsewhereIsNotWalkedOnAsIfItWereTheSame) {
  auto listing = std::make_shared<test::TMemoryListing>();
  listing->Budget = 2;
  listing->File("a/a/x/f", 1, 0);
  listing->File("a/b/g", 2, 0);
  listing->File("a/c/h", 4, 0);
  test::TMemoryListing::Entry& a = listing->Folder("a");
  int opened = 0;
  // Closed to make room while a/a was walked; by its reopening it is another folder.
  listing->OnOpen = [&](test::TMemoryListing::Entry& entry) {
    if (&entry == &a && ++opened == 2) entry.Stat.Inode = 999;
  };
  auto loader = test::Walk("/mem", listing);
  ASSERT_EQ(opened, 2) << "the budget made the walk reopen a";
  ASSERT_EQ(loader->Result.Problems.size(), 1u);
  EXPECT_EQ(loader->Result.Problems[0].Node, Find(loader->Result.Root, "a"));
  EXPECT_EQ(loader->Result.Problems[0].Error, ESTALE);
  EXPECT_EQ(loader->Result.Root->ApparentSize, 1) << "only what was walked before the change counts";
  ExpectSizesAddUp(loader->Result.Root);
}

TEST(Counting, AnUnreadableRootKeepsItsOwnBlocks) {
  test::TempTree tree;
  tree.Write("locked/secret", std::string(50000, 's'));
  const std::string locked = tree.Path("locked");
  const uint64_t own = DiskBytes(locked);
  ASSERT_GT(own, 0u);
  ASSERT_EQ(chmod(tree.Root().c_str(), 0755), 0);  // reachable by an ordinary user
  ASSERT_EQ(chmod(locked.c_str(), 0), 0);
  const std::string result = test::InChild([&]() -> std::string {
    if (std::string why = test::BecomeOrdinaryUser(); !why.empty()) return why;
    for (int threads : {1, 4}) {
      auto loader = test::Walk(locked, nullptr, threads);
      const DirNode* root = loader->Result.Root;
      CHILD_CHECK(root && !root->FirstChild);
      CHILD_CHECK(root->OwnSize == own && root->TotalSize == own);
      CHILD_CHECK(loader->Result.Problems.size() == 1 && loader->Result.Problems[0].Node == root);
      CHILD_CHECK(loader->Result.Problems[0].Kind == TScanProblem::ReadFolder && loader->Result.Problems[0].Error == EACCES);
      CHILD_CHECK(loader->Result.Ending == TScanEnd::Complete);
    }
    return "";
  });
  chmod(locked.c_str(), 0755);
  if (result.rfind("SKIP: ", 0) == 0) GTEST_SKIP() << result.substr(6);
  EXPECT_EQ(result, "");
}

// Everything a scan found, in the tree's order: each node's path and sizes, then what could
// not be read, the repeated folders and the counts.
std::string Describe(const TThreadLoader& loader) {
  std::string text;
  std::vector<const DirNode*> stack{loader.Result.Root};
  while (!stack.empty()) {
    const DirNode* node = stack.back();
    stack.pop_back();
    text += FullPath(*node) + " " + std::to_string(node->OwnSize) + " " + std::to_string(node->TotalSize) + " " +
            std::to_string(node->ApparentSize) + "\n";
    std::vector<const DirNode*> children;
    for (const DirNode* c = node->FirstChild; c; c = c->NextSibling) children.push_back(c);
    stack.insert(stack.end(), children.rbegin(), children.rend());
  }
  for (const TScanProblem& p : loader.Result.Problems)
    text += "problem " + std::to_string(p.Kind) + " " + FullPath(*p.Node) + " " + std::to_string(p.Error) + "\n";
  for (const TRepeatedFolder& r : loader.Result.Repeats) text += "repeat " + FullPath(*r.Node) + " " + FullPath(*r.First) + "\n";
  return text + std::to_string(loader.FolderCount) + " folders " + std::to_string(loader.FileCount) + " files\n";
}

TEST(Counting, TheTreeIsTheSameWhateverTheNumberOfThreads) {
  auto listing = std::make_shared<test::TMemoryListing>();
  char name[40];
  for (int i = 0; i < 120; ++i) {
    for (int j = 0; j < 12; ++j) {
      std::snprintf(name, sizeof name, "d%03d/f%02d", i, j);
      listing->File(name, static_cast<uint64_t>(i * 12 + j), 512u * static_cast<uint64_t>(j));
    }
    std::snprintf(name, sizeof name, "d%03d/sub/x", i);
    listing->File(name, 1, 4096);
  }
  // More files than one thread takes at once, in a folder read in several batches.
  for (int j = 0; j < 3000; ++j) {
    std::snprintf(name, sizeof name, "m-big/e%04d", j);
    listing->File(name, 3, 512);
  }
  // One file under four names, the first of them in the tree's order in the middle of the walk.
  test::TMemoryListing::Entry& target = listing->File("d050/sub/shared", 1000000, 1003520);
  for (const char* other : {"d010/sub/zlink", "d099/alink", "m-big/zz-link"}) listing->Link(other, target);
  listing->File("d020/f03", 0, 0).ExamineError = EACCES;
  listing->File("m-big/e1500", 0, 0).ExamineError = ENOENT;  // gone by its examination
  listing->Folder("d030/sub").OpenError = EACCES;
  listing->Folder("d030/sub").Stat.MTime = 1234;
  listing->Folder("d060/sub").OpenError = ENOENT;  // removed since the listing: nothing to count
  listing->Folder("d040").ReadError = EIO;  // what was listed before the failure stays
  listing->Folder("d040").ReadErrorAfter = 5;

  auto loader = test::Walk("/mem", listing, 1);
  const std::string alone = Describe(*loader);
  for (const int threads : {2, 8})
    for (int round = 0; round < 3; ++round)
      EXPECT_EQ(Describe(*test::Walk("/mem", listing, threads)), alone) << threads << " threads";
  ExpectSizesAddUp(loader->Result.Root);
  EXPECT_EQ(Find(loader->Result.Root, "d010/sub/zlink")->TotalSize, 1003520) << "the first name carries the size";
  EXPECT_EQ(Find(loader->Result.Root, "d050/sub/shared")->TotalSize, 0);
  EXPECT_EQ(Find(loader->Result.Root, "m-big/e1500"), nullptr);
  EXPECT_EQ(Find(loader->Result.Root, "d060/sub"), nullptr);
  // Less the one gone, the two in folders unopened or gone and the eight left unread.
  EXPECT_EQ(loader->FileCount, 120 * 13 + 3000 + 4 - 1 - 2 - 8);
  const auto& p = loader->Result.Problems;
  ASSERT_EQ(p.size(), 3u);
  EXPECT_EQ(p[0].Node, Find(loader->Result.Root, "d020/f03"));
  EXPECT_EQ(p[0].Kind, TScanProblem::Examine);
  EXPECT_EQ(p[0].Error, EACCES);
  EXPECT_EQ(Find(loader->Result.Root, "d020/f03")->TotalSize, 0);
  EXPECT_EQ(p[1].Node, Find(loader->Result.Root, "d030/sub"));
  EXPECT_EQ(p[1].Kind, TScanProblem::ReadFolder);
  EXPECT_EQ(p[1].Node->TotalSize, 4096) << "an unreadable folder keeps its own blocks";
  EXPECT_EQ(p[1].Node->MTime, 1234u) << "and its time";
  EXPECT_EQ(p[2].Node, Find(loader->Result.Root, "d040"));
  EXPECT_EQ(p[2].Error, EIO);
  EXPECT_EQ(p[2].Node->ApparentSize, 480 * 5 + 10);
}

TEST(Counting, DeepCombIsWalkedWholeWithinTheOpenFolderBudgetOnAnyNumberOfThreads) {
  // Each level holds "a", which goes on, and "b", which waits until "a" is done: a walk that
  // kept every waiting level open would hold 300 folders at once, and one that reached each
  // folder closed meanwhile from the top again, rather than from its nearest open folder, would
  // open some 45,000 (with room for a few, about 5,000 here).
  constexpr int kDepth = 300;
  auto listing = std::make_shared<test::TMemoryListing>();
  std::string rel;  // "a/" kDepth times
  for (int i = 0; i < kDepth; ++i, rel += "a/") listing->File(rel + "b/x", 1, 512);
  std::atomic<int> opens{0};
  listing->OnOpen = [&](test::TMemoryListing::Entry&) { ++opens; };
  std::string alone;
  for (const auto& [threads, budget] : {std::pair{1, 3}, std::pair{1, 16}, std::pair{4, 48}}) {
    SCOPED_TRACE(std::to_string(threads) + " threads, budget " + std::to_string(budget));
    listing->Budget = budget;
    listing->MostOpen = 0;
    opens = 0;
    auto loader = test::Walk("/mem", listing, threads);
    EXPECT_LE(listing->MostOpen, budget);
    EXPECT_EQ(listing->OpenNow, 0) << "every folder closed again";
    // Alone the walk takes the folders in one order; threads take each other's shallowest.
    if (threads == 1 && budget > 3) {
      EXPECT_LT(opens, 20 * kDepth);
    }
    EXPECT_TRUE(loader->Result.Problems.empty());
    EXPECT_EQ(loader->FolderCount, 2 * kDepth);
    EXPECT_EQ(loader->Result.Root->ApparentSize, kDepth);
    EXPECT_EQ(loader->Result.Root->TotalSize, 2 * kDepth * 4096 + kDepth * 512);
    const DirNode* deepest = Find(loader->Result.Root, rel.substr(0, rel.size() - 2) + "b/x");
    ASSERT_NE(deepest, nullptr);
    EXPECT_EQ(deepest->Depth, kDepth + 1);
    if (alone.empty()) alone = Describe(*loader);
    EXPECT_EQ(Describe(*loader), alone);
  }
}

TEST(Counting, AFolderMetTwiceIsWalkedUnderItsFirstNameInTheTreeWhicheverThreadGotThereFirst) {
  // "a" and "y/z" are one folder (as a bind mount makes them), but a mount below it shows under
  // "a" only, so that the two names do not list the same. The walk alone walks "a"; here the
  // thread that opens "a" is held until "y/z" has been walked into.
  auto listing = std::make_shared<test::TMemoryListing>();
  for (const std::string top : {"a", "y/z"}) {
    listing->File(top + "/f", 10, 4096);
    listing->File(top + "/sub/g", 20, 4096);
  }
  listing->File("a/mounted/h", 40, 4096);
  listing->Folder("y/z/mounted");
  listing->File("y/h", 5, 4096);
  listing->Folder("y/z").Stat.Inode = listing->Folder("a").Stat.Inode;
  listing->Folder("y/z").Stat.MTime = 77;
  const std::string alone = Describe(*test::Walk("/mem", listing, 1));

  test::TMemoryListing::Entry& a = listing->Folder("a");
  test::TMemoryListing::Entry& zsub = listing->Folder("y/z/sub");
  std::mutex lock;
  std::condition_variable reached;
  bool zWalked = false;
  listing->OnOpen = [&](test::TMemoryListing::Entry& entry) {
    std::unique_lock<std::mutex> hold(lock);
    if (&entry == &zsub) {
      zWalked = true;
      reached.notify_all();
    } else if (&entry == &a) {
      reached.wait_for(hold, std::chrono::seconds(20), [&] { return zWalked; });
    }
  };
  auto shared = test::Walk("/mem", listing, 2);
  listing->OnOpen = nullptr;
  ASSERT_TRUE(zWalked);
  EXPECT_EQ(Describe(*shared), alone);
  ASSERT_EQ(shared->Result.Repeats.size(), 1u);
  EXPECT_EQ(shared->Result.Repeats[0].Node, Find(shared->Result.Root, "y/z"));
  EXPECT_EQ(shared->Result.Repeats[0].First, Find(shared->Result.Root, "a"));
  EXPECT_EQ(shared->Result.Repeats[0].Node->MTime, 77u) << "an empty node keeps its own time";
  const DirNode* g = Find(shared->Result.Root, "a/sub/g");
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->Depth, 3) << "what moved up a level is a level higher";
  EXPECT_EQ(g->Parent, Find(shared->Result.Root, "a/sub"));
  ExpectSizesAddUp(shared->Result.Root);
}

TEST(Counting, RunningOutOfMemoryEndsTheWalkLikeAStop) {
  auto listing = std::make_shared<test::TMemoryListing>();
  for (int i = 0; i < 200; ++i)
    for (int j = 0; j < 50; ++j) listing->File("d" + std::to_string(i) + "/f" + std::to_string(j), 1, 0);
  auto loader = test::Walk("/mem", listing, 0, 300 * 1024);
  EXPECT_EQ(loader->Result.Ending, TScanEnd::OutOfMemory);
  ASSERT_NE(loader->Result.Root, nullptr);
  ExpectSizesAddUp(loader->Result.Root);
  EXPECT_GT(loader->FileCount, 0);
  EXPECT_LT(loader->FileCount, 200 * 50);
  EXPECT_EQ(listing->OpenNow, 0) << "every folder closed again";
}

TEST(Counting, StopActsWithinAFolderOfManyEntries) {
  constexpr int kFiles = 20000;
  auto listing = std::make_shared<test::TMemoryListing>();
  for (int i = 0; i < kFiles; ++i) listing->File("big/f" + std::to_string(i), 1, 0);
  listing->File("next/f", 1, 0);
  auto loader = std::make_unique<TThreadLoader>(true);
  loader->Path = "/mem";
  loader->DriveSource = [] { return std::vector<TDrive>{}; };
  loader->Listing = listing;
  loader->Threads = 1;  // with helpers the folder may be opened well before the walk reads it
  TThreadLoader* walk = loader.get();
  // The stop arrives just as the big folder is opened, before a single entry is read.
  listing->OnOpen = [&](test::TMemoryListing::Entry& entry) {
    if (entry.Name == "big") walk->StopFlag = 1;
  };
  loader->Resume();
  loader->WaitFor();
  EXPECT_EQ(loader->Result.Ending, TScanEnd::Stopped);
  EXPECT_EQ(loader->FileCount, 999) << "checked every thousand entries";
  EXPECT_EQ(Find(loader->Result.Root, "next"), nullptr) << "no folder is begun after a stop";
  EXPECT_EQ(loader->Result.Root->ApparentSize, 999);
}
