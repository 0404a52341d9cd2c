// A scanned tree edited after the walk must end as a fresh scan of the changed disk would: the
// totals above the edit in both measures, the counts, the records and which name of a file with
// several names carries it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/handtree.h"
#include "scan/tloader.h"
#include "scan/treeedit.h"
#include "tests/support/fixture.h"
#include "tests/support/walk.h"

using namespace ostrel;
using test::Find;

namespace {

TScanResult Scan(const std::string& path) { return std::move(test::Walk(path)->Result); }

// A node's total in both measures: disk usage, apparent size.
using TSizes = std::pair<uint64_t, uint64_t>;
TSizes SizesOf(const DirNode* node) { return {node->TotalSize, node->ApparentSize}; }

// Both trees node by node, in order: names, kinds, depths, parents and both measures.
void ExpectSameTree(const DirNode* edited, const DirNode* fresh) {
  std::vector<std::pair<const DirNode*, const DirNode*>> next{{edited, fresh}};
  while (!next.empty()) {
    const auto [a, b] = next.back();
    next.pop_back();
    const std::string path = FullPath(*b);
    ASSERT_STREQ(a->Name, b->Name) << path;
    EXPECT_EQ(a->Kind, b->Kind) << path;
    EXPECT_EQ(a->Depth, b->Depth) << path;
    EXPECT_EQ((std::vector{a->OwnSize, a->TotalSize, a->ApparentSize}),
              (std::vector{b->OwnSize, b->TotalSize, b->ApparentSize})) << path;
    const DirNode *x = a->FirstChild, *y = b->FirstChild;
    for (; x && y; x = x->NextSibling, y = y->NextSibling) {
      EXPECT_EQ(x->Parent, a) << FullPath(*y);
      next.emplace_back(x, y);
    }
    EXPECT_EQ(x == nullptr, y == nullptr) << "children differ in " << path;
  }
}

// A small tree in memory: `Add` links nodes, `Settle` adds up the totals.
struct TMemTree {
  TScanResult Result;
  DirNode* Add(DirNode* parent, const char* name, int32_t kind, uint64_t disk = 0, uint64_t size = 0) {
    DirNode* node = test::NewNode(*Result.Arena, parent, name, kind, disk, kind == NodeFile ? size : 0);
    ++(kind == NodeFile ? Result.Files : Result.Folders);
    if (!parent) Result.Root = node;
    return node;
  }
  void Settle() { Result.Saturated = AddUpTotals(Result.Root, nullptr); }
};

}  // namespace

TEST(TreeEdit, TakeOutAndRescanEndAsAFreshScanOfTheChangedDisk) {
  test::TempTree tree;
  const auto write = [&](const std::string& rel, size_t bytes) { return tree.Write(rel, std::string(bytes, 'x')); };
  const auto hardLink = [&](const std::string& from, const std::string& to) {
    ASSERT_EQ(link(tree.Path(from).c_str(), tree.Path(to).c_str()), 0) << to;
  };
  for (const auto& [rel, bytes] : {std::pair{"top", 6000}, {"a/x", 50000}, {"a/sub/y", 3000}, {"b/f", 9000},
                                    {"b/old", 20000}, {"b/grow", 100}, {"c/c", 10}, {"d/d", 10}})
    write(rel, bytes);
  hardLink("a/x", "c/x2");   // first name in a, which goes: c/x2 takes over
  hardLink("top", "b/t2");   // the rescan's own first name, yet "top" comes before it
  hardLink("b/old", "d/o2"); // b/old goes from the disk: d/o2 takes over
  hardLink("b/f", "d/f2");   // stays with b/f
  TScanResult result = Scan(tree.Root());
  ASSERT_EQ(result.Links.size(), 8u);

  std::filesystem::remove_all(tree.Path("a"));
  const TTreeEdit out = TakeOut(result, Find(result.Root, "a"));
  ASSERT_EQ(out.Refused, TEditRefusal::None);
  EXPECT_EQ(out.Changed, (std::vector<DirNode*>{Find(result.Root, "c"), result.Root}));

  std::filesystem::remove(tree.Path("b/old"));
  write("b/added", 12000);
  write("b/new/deep/z", 4000);
  std::ofstream(tree.Path("b/grow"), std::ios::app) << std::string(30000, 'y');
  hardLink("c/x2", "b/c0");  // comes before c/x2: carries it
  DirNode* b = Find(result.Root, "b");
  const TTreeEdit put = PutRescan(result, b, Scan(FullPath(*b)));
  ASSERT_EQ(put.Refused, TEditRefusal::None);
  EXPECT_EQ(Find(result.Root, "b"), b);
  EXPECT_EQ(put.Changed.back(), result.Root);
  EXPECT_EQ(result.Grafts.size(), 1u);

  const TScanResult fresh = Scan(tree.Root());
  ExpectSameTree(result.Root, fresh.Root);
  EXPECT_EQ(TSizes(result.Files, result.Folders), TSizes(fresh.Files, fresh.Folders));
  EXPECT_FALSE(result.Saturated);
  // Every name in the tree's order; d/o2 stays listed though its other name left the disk.
  const auto names = [&](const TScanResult& scan) {
    std::vector<std::string> paths;
    for (const TLinkedName& name : scan.Links) paths.push_back(FullPath(*name.Node).substr(tree.Root().size()));
    return paths;
  };
  std::vector<std::string> edited = names(result);
  EXPECT_EQ(std::erase(edited, "/d/o2"), 1u);
  EXPECT_EQ(edited, names(fresh));
  // What the comparison above stands on: each hand-over happened.
  EXPECT_EQ(Find(b, "t2")->ApparentSize, 0u);
  EXPECT_EQ(Find(result.Root, "d/o2")->ApparentSize, 20000u);
  EXPECT_EQ(Find(b, "c0")->ApparentSize, 50000u);
  EXPECT_EQ(Find(result.Root, "c/x2")->ApparentSize, 0u);

  // The root walked afresh: the whole tree is the new walk's.
  ASSERT_EQ(PutRescan(result, result.Root, Scan(tree.Root())).Refused, TEditRefusal::None);
  ExpectSameTree(result.Root, fresh.Root);
  EXPECT_EQ(names(result), names(fresh));
}

TEST(TreeEdit, CappedTotalsAreAddedUpAgainFromTheirChildren) {
  TMemTree mem;
  DirNode* root = mem.Add(nullptr, "/r", NodeFolder);
  mem.Add(root, "f0", NodeFile, 5, 5);
  DirNode* a = mem.Add(root, "A", NodeFolder);
  mem.Add(a, "a1", NodeFile, MaxBytes - 10, 100);
  DirNode* a2 = mem.Add(a, "a2", NodeFile, 20, 1);
  DirNode* b = mem.Add(root, "B", NodeFolder);
  mem.Add(b, "b1", NodeFile, 30, 7);
  mem.Settle();
  ASSERT_TRUE(mem.Result.Saturated);

  // A was capped and stays capped above it: root still passes MaxBytes.
  EXPECT_EQ(TakeOut(mem.Result, a2).Refused, TEditRefusal::None);
  EXPECT_EQ(a->TotalSize, MaxBytes - 10);
  EXPECT_EQ(SizesOf(root), TSizes(MaxBytes, 112));
  EXPECT_TRUE(mem.Result.Saturated);
  // Subtracting B's 30 from the cap would leave MaxBytes - 30; the sum is MaxBytes - 5.
  TTreeEdit edit = TakeOut(mem.Result, b);
  EXPECT_EQ(edit.Changed, std::vector<DirNode*>{root});
  EXPECT_EQ(SizesOf(root), TSizes(MaxBytes - 5, 105));
  EXPECT_FALSE(mem.Result.Saturated);

  // A rescan of A that grew: the sum passes MaxBytes again.
  TMemTree walk;
  DirNode* w = walk.Add(nullptr, "/r/A", NodeFolder);
  walk.Add(walk.Add(w, "n", NodeFolder), "n1", NodeFile, MaxBytes - 1, 9);
  walk.Settle();
  ASSERT_EQ(PutRescan(mem.Result, a, std::move(walk.Result)).Refused, TEditRefusal::None);
  EXPECT_EQ(a->TotalSize, MaxBytes - 1);
  EXPECT_EQ(SizesOf(root), TSizes(MaxBytes, 14));
  EXPECT_TRUE(mem.Result.Saturated);
}

TEST(TreeEdit, TheCarryingNamePassesOnAndRecordsFollowTheEdit) {
  TMemTree mem;
  TScanResult& r = mem.Result;
  DirNode* root = mem.Add(nullptr, "/r", NodeFolder);
  DirNode* top = mem.Add(root, "top", NodeFile, 8, 3);
  DirNode* a = mem.Add(root, "A", NodeFolder);
  DirNode* a1 = mem.Add(a, "a1", NodeFile, 40, 33);
  DirNode* a2 = mem.Add(a, "a2", NodeFile);
  DirNode* b = mem.Add(root, "B", NodeFolder);
  DirNode* b1 = mem.Add(b, "b1", NodeFile);
  DirNode* rep = mem.Add(mem.Add(root, "C", NodeFolder), "rep", NodeFolder);
  DirNode* d = mem.Add(root, "D", NodeFolder);
  DirNode* d1 = mem.Add(d, "d1", NodeFile, 16, 16);
  mem.Settle();
  r.Links = {{top, 1, 1, 8, 3}, {a1, 1, 2, 40, 33}, {a2, 1, 1, 8, 3}, {b1, 1, 2, 40, 33}, {d1, 1, 3, 16, 16}};
  r.Problems = {{TScanProblem::Examine, a2, 5}, {TScanProblem::ReadFolder, d, 13}};
  r.Repeats = {{rep, a}};
  EXPECT_EQ(PutRescan(r, rep, TScanResult{}).Refused, TEditRefusal::Repeated);
  EXPECT_EQ(PutRescan(r, b, TScanResult{}).Refused, TEditRefusal::NoWalk);
  EXPECT_EQ(TakeOut(r, root).Refused, TEditRefusal::TopOfTree);

  // a1 carried inode 2: b1 does now. rep showed A's contents: it has none left to show.
  TTreeEdit edit = TakeOut(r, a);
  EXPECT_EQ(edit.Changed, (std::vector<DirNode*>{b, root}));
  EXPECT_EQ(edit.Unwalked, std::vector<DirNode*>{rep});
  EXPECT_EQ(TakeOut(r, a).Refused, TEditRefusal::NotInTree);
  EXPECT_EQ(SizesOf(b1), TSizes(40, 33));
  EXPECT_EQ(SizesOf(root), TSizes(64, 52));
  EXPECT_TRUE(r.Repeats.empty());
  ASSERT_EQ(r.Problems.size(), 1u);
  EXPECT_EQ(r.Problems[0].Node, d);
  EXPECT_EQ(r.Links.size(), 3u);
  EXPECT_EQ(r.Files, 3);
  EXPECT_EQ(r.Folders, 5);

  // B walked afresh: n1 is inode 1 again, after top, so 0; n3 comes before d1 and carries 3.
  TMemTree walk;
  DirNode* w = walk.Add(nullptr, "/r/B", NodeFolder, 4);
  DirNode* n1 = walk.Add(w, "n1", NodeFile, 8, 3);
  DirNode* n3 = walk.Add(w, "n3", NodeFile, 16, 16);
  walk.Add(walk.Add(w, "sub", NodeFolder), "s1", NodeFile, 5, 2);
  walk.Settle();
  walk.Result.Links = {{n1, 1, 1, 8, 3}, {n3, 1, 3, 16, 16}};
  walk.Result.Problems = {{TScanProblem::ReadFolder, w, 2}};
  edit = PutRescan(r, b, std::move(walk.Result));
  ASSERT_EQ(edit.Refused, TEditRefusal::None);
  EXPECT_EQ(edit.Changed.size(), 3u);
  EXPECT_EQ(edit.Changed.back(), root);
  EXPECT_EQ(n1->TotalSize + n1->ApparentSize + d1->TotalSize + d->TotalSize, 0u);
  EXPECT_EQ(n3->Parent, b);
  EXPECT_EQ(SizesOf(b), TSizes(25, 18));
  EXPECT_EQ(SizesOf(root), TSizes(33, 21));
  ASSERT_EQ(r.Links.size(), 4u);
  EXPECT_EQ(r.Links[1].Node, n1);
  EXPECT_EQ(r.Links[3].Node, d1);
  ASSERT_EQ(r.Problems.size(), 2u);
  EXPECT_EQ(r.Problems[0].Node, b);
  EXPECT_EQ(r.Files, 5);
  EXPECT_EQ(r.Folders, 6);
}

TEST(TreeEdit, DrivesBelowAllDrivesAreEditedInTheirOrder) {
  TMemTree mem;
  TScanResult& r = mem.Result;
  r.AllDrives = true;
  DirNode* root = mem.Add(nullptr, "All Drives", NodeFolder);
  DirNode* x = mem.Add(root, "/x", NodeFolder, 4);
  DirNode* y = mem.Add(root, "/y", NodeFolder, 4);
  x->Parent = y->Parent = nullptr;  // a drive is named by its whole path
  mem.Add(x, "x1", NodeFile, 10, 10);
  DirNode* y1 = mem.Add(y, "y1", NodeFile, 6, 6);
  mem.Settle();
  r.Links = {{y1, 1, 7, 6, 6}};
  EXPECT_EQ(PutRescan(r, root, TScanResult{}).Refused, TEditRefusal::TopOfTree);

  // A new name of inode 7 on the first drive comes before y1.
  TMemTree walk;
  DirNode* n = walk.Add(walk.Add(nullptr, "/x", NodeFolder, 8), "n", NodeFile, 6, 6);
  walk.Settle();
  walk.Result.Links = {{n, 1, 7, 6, 6}};
  ASSERT_EQ(PutRescan(r, x, std::move(walk.Result)).Refused, TEditRefusal::None);
  EXPECT_EQ(x->Parent, nullptr);
  EXPECT_EQ(n->Depth, 2);
  EXPECT_EQ(r.Links.front().Node, n);
  EXPECT_EQ(y->TotalSize, 4u);
  EXPECT_EQ(root->TotalSize, 18u);

  const TTreeEdit edit = TakeOut(r, x);
  EXPECT_EQ(edit.Changed, (std::vector<DirNode*>{y, root}));
  EXPECT_EQ(SizesOf(root), TSizes(10, 6));
}

TEST(TreeEdit, TheNewestTimeAboveAnEditFollowsIt) {
  TMemTree mem;
  DirNode* root = mem.Add(nullptr, "/r", NodeFolder);
  DirNode* d = mem.Add(root, "d", NodeFolder);
  DirNode* e = mem.Add(d, "e", NodeFolder);
  DirNode* newest = mem.Add(e, "new", NodeFile);
  DirNode* mid = mem.Add(e, "mid", NodeFile);
  DirNode* f = mem.Add(d, "f", NodeFile);
  DirNode* g = mem.Add(root, "g", NodeFile);
  for (const auto& [node, seconds] : {std::pair{root, 100u}, {d, 200u}, {e, 300u}, {newest, 900u}, {mid, 500u},
                                      {f, 400u}, {g, 600u}})
    node->MTime = seconds;
  mem.Settle();
  ASSERT_EQ(root->MTime, 900u);

  TTreeEdit edit = TakeOut(mem.Result, newest);
  EXPECT_EQ(edit.Changed, (std::vector<DirNode*>{e, d, root}));
  EXPECT_EQ((std::vector{e->MTime, d->MTime, root->MTime}), (std::vector{500u, 500u, 600u}));
  edit = TakeOut(mem.Result, f);  // not the newest in d: nothing above changes
  EXPECT_EQ(edit.Changed, std::vector<DirNode*>{d});
  EXPECT_EQ(d->MTime, 500u);

  // Walked afresh, newer, then older: the folder takes the walk's time, those above follow.
  for (const auto& [seconds, above] : {std::pair{700u, 700u}, {250u, 600u}}) {
    TMemTree walk;
    DirNode* w = walk.Add(nullptr, "/r/d", NodeFolder);
    w->MTime = seconds;
    w->InodeTag = seconds + 1;
    walk.Settle();
    ASSERT_EQ(PutRescan(mem.Result, d, std::move(walk.Result)).Refused, TEditRefusal::None);
    EXPECT_EQ(d->MTime, seconds);
    EXPECT_EQ(d->InodeTag, seconds + 1);
    EXPECT_EQ(root->MTime, above);
  }
}
