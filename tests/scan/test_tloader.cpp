#include <gtest/gtest.h>

#include <atomic>

#include "platform/dirlist.h"
#include "platform/winmsg.h"
#include "scan/scansettings.h"
#include "scan/tloader.h"
#include "tests/support/fixture.h"
#include "tests/support/memlisting.h"
#include "tests/support/walk.h"

using namespace ostrel;

namespace {

using test::ChildNames;
using test::Find;

// Runs a one-path or all-drives walk over `drives` to its end on the loader's own thread.
std::unique_ptr<TThreadLoader> Scan(const std::string& path, std::vector<TDrive> drives = {}) {
  return test::Walk(path, nullptr, 0, 0, std::move(drives));
}

// A suspended one-path loader that reports to `window` with the window's message number.
std::unique_ptr<TThreadLoader> Attached(const std::string& path, THandle window) {
  auto loader = std::make_unique<TThreadLoader>(true);
  loader->Path = path;
  loader->DriveSource = [] { return std::vector<TDrive>{}; };
  loader->NotifyWindow = window;
  loader->NotifyMessage = ScanDoneMessage;
  return loader;
}

class CountingReceiver : public TMessageReceiver {
 public:
  std::intptr_t HandleMessage(uint32_t, std::uintptr_t, std::intptr_t) override {
    ++Calls;
    return 0;
  }
  int Calls = 0;
};

}  // namespace

// One tree, one scan: the cases below only read it. (Names that are not UTF-8 keep their bytes
// through the walk in scanfile-test.sh's round trip and the window's copied paths.)
class OneScan : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Tree = new test::TempTree;
    for (const char* name : {"B/big", "a", "..."}) Tree->Dir(name);
    Tree->File("zz", 1);
    Tree->File("aa", 2);
    Tree->File("Mm", 4);
    Tree->File("B/big/data", 1ull << 40);  // past 32 bits
    Tree->Link("B/tobig", Tree->Path("B/big"));  // a link to a large folder
    Tree->Link("B/loop/self", "..");             // a loop back up
    Tree->Link("B/dangling", "/nonexistent/target");
    Loader = Scan(Tree->Root()).release();
    Root = Loader->Result.Root;
  }
  static void TearDownTestSuite() {
    delete Loader;
    delete Tree;
  }
  static inline test::TempTree* Tree = nullptr;
  static inline TThreadLoader* Loader = nullptr;
  static inline const DirNode* Root = nullptr;
};

TEST_F(OneScan, FilesInListingOrderThenSubfoldersInByteOrder) {
  // The files' order is whatever the listing gives.
  std::vector<std::string> expected;
  TSearch* search = FindOpen(nullptr, Tree->Root().c_str());
  ASSERT_NE(search, nullptr);
  for (TSearchRec rec; FindNext(search, rec);)
    if (!(rec.Attr & FaDirectory)) expected.push_back(rec.Name);
  FindClose(search);
  ASSERT_NE(Root, nullptr);
  for (const char* name : {"...", "B", "a"}) expected.push_back(name);
  EXPECT_EQ(ChildNames(Root), expected);
  EXPECT_EQ(Loader->FolderCount, 6);
  EXPECT_EQ(Loader->FileCount, 7);
  EXPECT_EQ(Find(Root, "B")->Depth, 1);
  EXPECT_EQ(Find(Root, "B/big")->FirstChild->Depth, 3);
}

TEST_F(OneScan, SymbolicLinksAreFilesOfTheirOwnSizeAndNeverFollowed) {
  const DirNode* b = Find(Root, "B");
  const DirNode* link = Find(b, "tobig");
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->Kind, NodeFile);
  EXPECT_EQ(link->ApparentSize, Tree->Path("B/big").size());
  EXPECT_EQ(Find(b, "loop/self")->ApparentSize, 2);
  EXPECT_EQ(Find(b, "dangling")->Kind, NodeFile);
  EXPECT_EQ(b->ApparentSize, (1ull << 40) + Tree->Path("B/big").size() + 2 + 19);
}

// The root is named by the path exactly; an empty or missing folder and a file are one empty
// folder node.
TEST(ScanFolder, RootIsNamedByThePathExactlyAndWhatHoldsNothingIsOneEmptyFolder) {
  test::TempTree tree;
  tree.File("x/sub/f", 5);
  const std::string withSlash = tree.Path("x") + "/";
  auto loader = Scan(withSlash);
  const DirNode* root = loader->Result.Root;
  EXPECT_STREQ(root->Name, withSlash.c_str());
  EXPECT_EQ(FullPath(*root), withSlash);
  EXPECT_EQ(FullPath(*Find(root, "sub")->FirstChild), tree.Path("x/sub/f"));
  for (const std::string& path : {tree.Dir("empty"), tree.Path("missing"), tree.File("file", 9)}) {
    loader = Scan(path);
    ASSERT_NE(loader->Result.Root, nullptr) << path;
    EXPECT_EQ(loader->Result.Root->Kind, NodeFolder);
    EXPECT_EQ(loader->Result.Root->FirstChild, nullptr);
    EXPECT_EQ(loader->Result.Root->ApparentSize, 0);
    EXPECT_EQ(loader->FolderCount, 1);
    EXPECT_EQ(loader->FileCount, 0);
  }
}

// A stop before the walk makes no folder but still tells the window; a walk abandoned by its
// window (NoWindow, all bits set) tells nobody.
TEST(Stop, BeforeTheWalkMakesNoFolderButStillNotifiesUnlessTheWindowWentAway) {
  test::TempTree tree;
  tree.File("a/f", 1);
  auto receiver = std::make_shared<CountingReceiver>();
  const THandle window = RegisterWindow(receiver);
  for (int round = 0; round < 3; ++round) {  // stopped, stopped over all drives, abandoned
    const bool abandoned = round == 2;
    receiver->Calls = 0;
    auto attached = Attached(round == 1 ? std::string() : tree.Root(), window);
    TThreadLoader& loader = *attached;
    if (abandoned) loader.NotifyWindow = NoWindow;
    else loader.StopFlag = 1;
    loader.Resume();
    loader.WaitFor();
    EXPECT_EQ(receiver->Calls, abandoned ? 0 : 1);
    if (abandoned) continue;
    EXPECT_EQ(loader.Result.Root, nullptr);
    EXPECT_EQ(loader.FolderCount, 0);
    EXPECT_EQ(loader.StopFlag, 1) << "the walk never clears a stop";
  }
  UnregisterWindow(window);
}

TEST(Stop, DuringTheWalkKeepsBegunFoldersWholeAndDropsTheRest) {
  constexpr int kFolders = 500, kFiles = 4;
  auto listing = std::make_shared<test::TMemoryListing>();
  char name[16];
  for (int i = 0; i < kFolders; ++i)
    for (int j = 0; j < kFiles; ++j) {
      std::snprintf(name, sizeof name, "f%03d/x%d", i, j);
      listing->File(name, 1, 0);
    }
  for (const int threads : {1, 4}) {
    SCOPED_TRACE(threads);
    auto receiver = std::make_shared<CountingReceiver>();
    const THandle window = RegisterWindow(receiver);
    auto attached = Attached("/mem", window);
    TThreadLoader& loader = *attached;
    loader.Listing = listing;
    loader.Threads = threads;
    // Alone, the walk is stopped as f100 is opened: it has then begun f100 and nothing after
    // it. Threads that share the walk take folders from both ends, and may have taken every
    // other one by the time f100 comes: they are stopped as their first folder is opened, and
    // those already opening one then finish it.
    std::atomic<int> openedAfter{0};
    listing->OnOpen = [&](test::TMemoryListing::Entry& entry) {
      if (loader.StopFlag) ++openedAfter;
      if (threads == 1 ? entry.Name == "f100" : entry.Name.rfind('f', 0) == 0) loader.StopFlag = 1;
    };
    loader.Resume();
    loader.WaitFor();
    UnregisterWindow(window);
    EXPECT_EQ(receiver->Calls, 1);
    ASSERT_NE(loader.Result.Root, nullptr);
    int made = 0;
    for (const DirNode* c = loader.Result.Root->FirstChild; c; c = c->NextSibling) {
      ++made;
      EXPECT_EQ(ChildNames(c).size(), static_cast<size_t>(kFiles)) << "a begun folder lists all its files";
    }
    if (threads == 1) {
      EXPECT_EQ(made, 101);
    }
    EXPECT_LT(made, kFolders);
    EXPECT_LE(openedAfter, threads - 1) << "nothing is begun once the stop is seen";
    EXPECT_EQ(made + 1, loader.FolderCount);
    EXPECT_EQ(loader.FileCount, made * kFiles);
    EXPECT_EQ(loader.Result.Root->ApparentSize, made * kFiles);
    EXPECT_EQ(loader.Result.Ending, TScanEnd::Stopped);
  }
}

class AllDrives : public ::testing::Test {
 protected:
  void TearDown() override { ScanSettings.SetDefaults(); }
  test::TempTree tree;
};

TEST_F(AllDrives, WalksIncludedDrivesInOrderUnderTheAllDrivesRootAndNoneLeftOut) {
  const std::vector<TDrive> drives = {
      {tree.File("fixed/f", 10).substr(0, tree.Path("fixed").size()), DriveFixed, false},
      {tree.File("floppy/f", 20).substr(0, tree.Path("floppy").size()), DriveRemovable, true},
      {tree.File("usb/f", 40).substr(0, tree.Path("usb").size()), DriveRemovable, false},
      {tree.File("net/f", 80).substr(0, tree.Path("net").size()), DriveRemote, false},
      {tree.File("cd/f", 160).substr(0, tree.Path("cd").size()), DriveCdRom, false},
      {tree.File("ram/f", 320).substr(0, tree.Path("ram").size()), DriveRamDisk, false},
      {tree.Path("gone"), DriveNoRoot, false},
      {tree.File("odd/f", 640).substr(0, tree.Path("odd").size()), DriveUnknown, false},
  };
  auto loader = Scan("", drives);
  const DirNode* root = loader->Result.Root;
  ASSERT_NE(root, nullptr);
  EXPECT_STREQ(root->Name, "All Drives");
  EXPECT_EQ(ChildNames(root),
            (std::vector<std::string>{tree.Path("fixed"), tree.Path("usb"), tree.Path("ram"), tree.Path("odd")}));
  for (const DirNode* d = root->FirstChild; d; d = d->NextSibling) {
    EXPECT_EQ(d->Depth, 1);
    EXPECT_EQ(d->Parent, nullptr) << "a drive is named by its whole path";
  }
  EXPECT_EQ(root->ApparentSize, 10 + 40 + 320 + 640);
  EXPECT_EQ(loader->FolderCount, 5);

  ScanSettings.includefloppy = 1;
  ScanSettings.includecd = 1;
  ScanSettings.includenet = 1;
  loader = Scan("", drives);
  EXPECT_EQ(loader->Result.Root->ApparentSize, 1270);
  EXPECT_EQ(loader->FolderCount, 8);

  // Every drive left out: the root alone.
  loader = Scan("", {drives[6]});
  ASSERT_NE(loader->Result.Root, nullptr);
  EXPECT_EQ(loader->Result.Root->FirstChild, nullptr);
  EXPECT_EQ(loader->Result.Root->ApparentSize, 0);
  EXPECT_EQ(loader->FolderCount, 1);
}

TEST_F(AllDrives, EachDriveStaysOnItsOwnFileSystem) {
  tree.File("disk/f", 1);
  tree.File("disk/home/g", 2);      // another drive mounted inside the first
  tree.File("disk/proc/h", 4);      // a virtual one
  tree.File("disk/home/net/n", 8);  // a network one inside the second
  const std::vector<TDrive> drives = {{tree.Path("disk"), DriveFixed, false},
                {tree.Path("disk/home"), DriveFixed, false},
                {tree.Path("disk/home/net"), DriveRemote, false},
                {tree.Path("disk/proc"), DriveNoRoot, false}};
  auto loader = Scan("", drives);
  EXPECT_EQ(ChildNames(loader->Result.Root), (std::vector<std::string>{tree.Path("disk"), tree.Path("disk/home")}));
  EXPECT_EQ(ChildNames(loader->Result.Root->FirstChild), (std::vector<std::string>{"f"}));
  EXPECT_EQ(loader->Result.Root->ApparentSize, 1 + 2) << "nothing counted twice, no virtual or network file system";
}

TEST_F(AllDrives, OnePathScanEntersOnlyMountsThatWouldBeDrives) {
  tree.File("top/f", 1);
  tree.File("top/disk/g", 2);
  tree.File("top/net/n", 4);
  tree.File("top/virt/v", 8);
  tree.File("top/cd/c", 16);
  const std::vector<TDrive> drives = {{tree.Path("top/disk"), DriveFixed, false},
                {tree.Path("top/net"), DriveRemote, false},
                {tree.Path("top/virt"), DriveNoRoot, false},
                {tree.Path("top/cd"), DriveCdRom, false}};
  auto loader = Scan(tree.Path("top") + "/", drives);
  EXPECT_EQ(ChildNames(loader->Result.Root), (std::vector<std::string>{"f", "disk"}));
  EXPECT_EQ(loader->Result.Root->ApparentSize, 3);
  ScanSettings.includenet = 1;
  ScanSettings.includecd = 1;
  loader = Scan(tree.Path("top"), drives);
  EXPECT_EQ(loader->Result.Root->ApparentSize, 1 + 2 + 4 + 16);
}
