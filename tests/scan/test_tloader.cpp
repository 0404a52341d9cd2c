#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <map>
#include <set>

#include "platform/dirlist.h"
#include "platform/winmsg.h"
#include "scan/scansettings.h"
#include "scan/tloader.h"
#include "tests/support/fixture.h"
#include "tests/support/memlisting.h"

using namespace ostrel;

namespace {

std::vector<TDrive> NoDrives() { return {}; }

// Runs a one-path or all-drives walk over `drives` to its end on the loader's own thread.
std::unique_ptr<TThreadLoader> Scan(const std::string& path, std::vector<TDrive> drives = {}) {
  auto loader = std::make_unique<TThreadLoader>(true);
  loader->Path = path;
  loader->DriveSource = [drives] { return drives; };
  loader->Resume();
  loader->WaitFor();
  return loader;
}

std::vector<std::string> ChildNames(const DirNode* node) {
  std::vector<std::string> names;
  for (const DirNode* c = node->FirstChild; c; c = c->NextSibling) names.push_back(c->Name);
  return names;
}

const DirNode* Child(const DirNode* node, const std::string& name) {
  for (const DirNode* c = node->FirstChild; c; c = c->NextSibling)
    if (name == c->Name) return c;
  return nullptr;
}

// Checks the invariants of a finished tree; returns the number of nodes.
int CheckTree(const DirNode* node, int32_t depth) {
  EXPECT_EQ(node->Depth, depth) << FullPath(*node);
  if (node->Kind == NodeFile) {
    EXPECT_EQ(node->FirstChild, nullptr);
    EXPECT_EQ(ChildrenSizeOf(*node), 0);
    return 1;
  }
  double sum = 0, apparent = 0;
  int count = 1;
  bool folderSeen = false;
  const DirNode* last = nullptr;
  for (const DirNode* c = node->FirstChild; c; c = c->NextSibling) {
    sum += c->TotalSize;
    apparent += c->ApparentSize;
    if (c->Kind == NodeFolder) {
      if (folderSeen) {
        EXPECT_LT(std::string(last->Name), std::string(c->Name)) << "byte order";
      }
      folderSeen = true;
      last = c;
    } else {
      EXPECT_FALSE(folderSeen) << "files come before subfolders in " << FullPath(*node);
    }
    count += CheckTree(c, depth + 1);
  }
  EXPECT_EQ(ChildrenSizeOf(*node), sum) << FullPath(*node);
  EXPECT_EQ(node->ApparentSize, apparent) << "folders themselves count 0 in apparent size";
  return count;
}

// Makes a file at the end of a chain deeper than any path limit, walking down relatively.
void FileAtBottom(const std::string& top, int depth, const char* name, off_t size) {
  int fd = open(top.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  for (int i = 0; i < depth; ++i) {
    int next = openat(fd, "dd", O_RDONLY | O_DIRECTORY);
    close(fd);
    ASSERT_GE(next, 0);
    fd = next;
  }
  int file = openat(fd, name, O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(file, 0);
  ASSERT_EQ(ftruncate(file, size), 0);
  close(file);
  close(fd);
}

// A suspended one-path loader that reports to `window` with the window's message number.
std::unique_ptr<TThreadLoader> Attached(const std::string& path, THandle window) {
  auto loader = std::make_unique<TThreadLoader>(true);
  loader->Path = path;
  loader->DriveSource = NoDrives;
  loader->NotifyWindow = window;
  loader->NotifyMessage = ScanDoneMessage;
  return loader;
}

class CountingReceiver : public TMessageReceiver {
 public:
  std::intptr_t HandleMessage(uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override {
    ++Calls;
    Msg = msg;
    WParam = wParam;
    Sender = reinterpret_cast<TThreadLoader*>(lParam);
    RootAtNotice = Sender ? Sender->Result.Root : nullptr;
    return 0;
  }
  int Calls = 0;
  uint32_t Msg = 0;
  std::uintptr_t WParam = 99;
  TThreadLoader* Sender = nullptr;
  DirNode* RootAtNotice = nullptr;
};

}  // namespace

TEST(ScanFolder, FilesInListingOrderThenSubfoldersInByteOrder) {
  test::TempTree tree;
  tree.Dir("B");
  tree.Dir("a");
  tree.Dir("C");
  tree.Dir("...");
  tree.File("zz", 1);
  tree.File("aa", 2);
  tree.File("Mm", 4);
  // The files' order is whatever the listing gives.
  std::vector<std::string> listed;
  TSearch* search = FindOpen(nullptr, tree.Root().c_str());
  ASSERT_NE(search, nullptr);
  for (TSearchRec rec; FindNext(search, rec);)
    if (!(rec.Attr & FaDirectory)) listed.push_back(rec.Name);
  FindClose(search);

  auto loader = Scan(tree.Root());
  const DirNode* root = loader->Result.Root;
  ASSERT_NE(root, nullptr);
  std::vector<std::string> expected = listed;
  for (const char* name : {"...", "B", "C", "a"}) expected.push_back(name);
  EXPECT_EQ(ChildNames(root), expected);
  EXPECT_EQ(root->ApparentSize, 7);
  EXPECT_EQ(CheckTree(root, 0), 1 + 3 + 4);
  EXPECT_EQ(loader->FolderCount, 5);
  EXPECT_EQ(loader->FileCount, 3);
}

TEST(ScanFolder, RootIsNamedByThePathExactlyAndChildrenJoinItOnce) {
  test::TempTree tree;
  tree.File("x/sub/f", 5);
  const std::string withSlash = tree.Path("x") + "/";
  auto loader = Scan(withSlash);
  const DirNode* root = loader->Result.Root;
  EXPECT_STREQ(root->Name, withSlash.c_str());
  EXPECT_EQ(root->Parent, nullptr);
  EXPECT_EQ(FullPath(*root), withSlash);
  const DirNode* sub = Child(root, "sub");
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(FullPath(*sub), tree.Path("x/sub"));
  EXPECT_EQ(FullPath(*sub->FirstChild), tree.Path("x/sub/f"));
}

TEST(ScanFolder, EmptyMissingAndFileRootsAreOneEmptyFolderNode) {
  test::TempTree tree;
  tree.Dir("empty");
  for (const std::string& path : {tree.Path("empty"), tree.Path("missing"), tree.File("file", 9)}) {
    auto loader = Scan(path);
    ASSERT_NE(loader->Result.Root, nullptr) << path;
    EXPECT_EQ(loader->Result.Root->Kind, NodeFolder);
    EXPECT_EQ(loader->Result.Root->FirstChild, nullptr);
    EXPECT_EQ(loader->Result.Root->ApparentSize, 0);
    EXPECT_EQ(loader->FolderCount, 1);
    EXPECT_EQ(loader->FileCount, 0);
  }
}

TEST(ScanFolder, SizesCountInFullSixtyFourBits) {
  test::TempTree tree;
  const uint64_t GiB = 1ull << 30;
  tree.File("four", 4 * GiB);
  tree.File("fourplus", 4 * GiB + 10);
  tree.File("five", 5 * GiB + 10);
  tree.File("zero", 0);
  auto loader = Scan(tree.Root());
  EXPECT_EQ(Child(loader->Result.Root, "four")->ApparentSize, 4.0 * GiB);
  EXPECT_EQ(Child(loader->Result.Root, "fourplus")->ApparentSize, 4.0 * GiB + 10);
  EXPECT_EQ(Child(loader->Result.Root, "five")->ApparentSize, 5.0 * GiB + 10);
  const DirNode* zero = Child(loader->Result.Root, "zero");
  EXPECT_EQ(zero->OwnSize + zero->TotalSize + zero->ApparentSize, 0);
  EXPECT_EQ(loader->Result.Root->ApparentSize, 13.0 * GiB + 20);
}

TEST(ScanFolder, SymbolicLinksAreFilesOfTheirOwnSizeAndNeverFollowed) {
  test::TempTree tree;
  tree.File("big/data", 1ull << 40);
  tree.Link("tobig", tree.Path("big"));  // link to a large folder
  tree.Link("loop/self", "..");          // a loop back up
  tree.Link("dangling", "/nonexistent/target");
  auto loader = Scan(tree.Root());
  const DirNode* link = Child(loader->Result.Root, "tobig");
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->Kind, NodeFile);
  EXPECT_EQ(link->ApparentSize, tree.Path("big").size());
  EXPECT_EQ(Child(Child(loader->Result.Root, "loop"), "self")->ApparentSize, 2);
  EXPECT_EQ(Child(loader->Result.Root, "dangling")->Kind, NodeFile);
  EXPECT_EQ(loader->Result.Root->ApparentSize, (1ull << 40) + tree.Path("big").size() + 2 + 19);
  EXPECT_EQ(loader->FolderCount, 3);
}

TEST(ScanFolder, ChainBeyondThePathLimitIsWalkedWhole) {
  test::TempTree tree;
  const int depth = 2000;
  tree.Chain("", depth, "dd");
  FileAtBottom(tree.Root(), depth, "leaf", 12345);
  auto loader = Scan(tree.Root());
  EXPECT_EQ(loader->FolderCount, depth + 1);
  EXPECT_EQ(loader->FileCount, 1);
  EXPECT_EQ(loader->Result.Root->ApparentSize, 12345);
  const DirNode* node = loader->Result.Root;
  while (node->FirstChild) node = node->FirstChild;
  EXPECT_STREQ(node->Name, "leaf");
  EXPECT_EQ(node->Depth, depth + 1);
  EXPECT_GT(FullPath(*node).size(), 4096u);
}

TEST(ScanFolder, NamesStayByteExact) {
  test::TempTree tree;
  const std::string odd = "caf\xc3\xa9 \xff\xfe name";
  const std::string lone = "x\xc3";
  tree.File(odd, 3);
  tree.Dir(lone);
  tree.File(lone + "/in", 4);
  auto loader = Scan(tree.Root());
  ASSERT_NE(Child(loader->Result.Root, odd), nullptr);
  const DirNode* folder = Child(loader->Result.Root, lone);
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(FullPath(*folder->FirstChild), tree.Path(lone + "/in"));
}

TEST(Notice, SentOnceWithTheLoaderAfterTheTreeIsStored) {
  test::TempTree tree;
  tree.File("f", 1);
  auto receiver = std::make_shared<CountingReceiver>();
  const THandle window = RegisterWindow(receiver);
  auto attached = Attached(tree.Root(), window);
  TThreadLoader& loader = *attached;
  loader.Resume();
  loader.WaitFor();
  UnregisterWindow(window);
  EXPECT_EQ(receiver->Calls, 1);
  EXPECT_EQ(receiver->Msg, 1125u);
  EXPECT_EQ(receiver->WParam, 0u);
  EXPECT_EQ(receiver->Sender, &loader);
  EXPECT_EQ(receiver->RootAtNotice, loader.Result.Root);
  EXPECT_NE(loader.Result.Root, nullptr);
}

TEST(Notice, NobodyIsToldWhenTheWindowHasAllBitsSet) {
  test::TempTree tree;
  auto receiver = std::make_shared<CountingReceiver>();
  const THandle window = RegisterWindow(receiver);
  auto attached = Attached(tree.Root(), window);
  TThreadLoader& loader = *attached;
  loader.NotifyWindow = NoWindow;  // abandoned before it began
  loader.Resume();
  loader.WaitFor();
  UnregisterWindow(window);
  EXPECT_EQ(receiver->Calls, 0);
}

TEST(Stop, BeforeTheWalkMakesNoFolderButStillNotifies) {
  test::TempTree tree;
  tree.File("a/f", 1);
  auto receiver = std::make_shared<CountingReceiver>();
  const THandle window = RegisterWindow(receiver);
  for (const std::string& path : {tree.Root(), std::string()}) {
    receiver->Calls = 0;
    auto attached = Attached(path, window);
    TThreadLoader& loader = *attached;
    loader.StopFlag = 1;
    loader.Resume();
    loader.WaitFor();
    EXPECT_EQ(loader.Result.Root, nullptr);
    EXPECT_EQ(loader.FolderCount, 0);
    EXPECT_EQ(receiver->Calls, 1);
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
    // The stop comes as f100 is opened. Alone, the walk has then begun f100 and nothing after
    // it; threads that share the walk take folders from both ends, and those already opening
    // one when the stop came finish it.
    std::atomic<int> openedAfter{0};
    listing->OnOpen = [&](test::TMemoryListing::Entry& entry) {
      if (loader.StopFlag) ++openedAfter;
      if (entry.Name == "f100") loader.StopFlag = 1;
    };
    loader.Resume();
    loader.WaitFor();
    UnregisterWindow(window);
    EXPECT_EQ(receiver->Calls, 1);
    ASSERT_NE(loader.Result.Root, nullptr);
    CheckTree(loader.Result.Root, 0);
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

TEST_F(AllDrives, WalksIncludedDrivesInOrderUnderTheAllDrivesRoot) {
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
  EXPECT_EQ(FullPath(*root), "All Drives");
  EXPECT_EQ(ChildNames(root),
            (std::vector<std::string>{tree.Path("fixed"), tree.Path("usb"), tree.Path("ram"), tree.Path("odd")}));
  for (const DirNode* d = root->FirstChild; d; d = d->NextSibling) {
    EXPECT_EQ(d->Depth, 1);
    EXPECT_EQ(d->Parent, nullptr) << "a drive is named by its whole path";
    EXPECT_EQ(FullPath(*d), d->Name);
  }
  EXPECT_EQ(root->ApparentSize, 10 + 40 + 320 + 640);
  EXPECT_EQ(loader->FolderCount, 5);

  ScanSettings.includefloppy = 1;
  ScanSettings.includecd = 1;
  ScanSettings.includenet = 1;
  loader = Scan("", drives);
  EXPECT_EQ(loader->Result.Root->ApparentSize, 1270);
  EXPECT_EQ(loader->FolderCount, 8);
}

TEST_F(AllDrives, EveryDriveExcludedLeavesTheRootAlone) {
  const std::vector<TDrive> drives = {{tree.Dir("net"), DriveRemote, false}, {tree.Dir("x"), DriveNoRoot, false}};
  auto loader = Scan("", drives);
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
