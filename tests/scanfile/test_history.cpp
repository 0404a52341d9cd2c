// Kept scans: written compressed and whole, read back as the same scan, rotated per root,
// listed newest first past files that are not kept scans, never left half-written when the
// disk refuses (nor left behind by a writer that died), and handed to a thread without waiting
// for it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <thread>

#include "scan/tloader.h"
#include "scanfile/entryids.h"
#include "scanfile/history.h"
#include "scanfile/importscan.h"
#include "tests/support/fixture.h"
#include "tests/support/memlisting.h"
#include "tests/support/walk.h"

using namespace ostrel;

namespace {

// A walk of an in-memory tree rooted at `root`, with its numbers.
std::shared_ptr<TIdListing> MemTree(const std::string& root, int files, bool unreadable) {
  auto listing = std::make_shared<test::TMemoryListing>(root);
  listing->Link("b/again", listing->File("a/data", 10000, 12288));
  for (int i = 0; i < files; ++i) listing->File("c/f" + std::to_string(i), 100 + i, 4096);
  if (unreadable) listing->Folder("locked").OpenError = EACCES;
  return std::make_shared<TIdListing>(listing);
}
struct TWalk {
  explicit TWalk(const std::string& root, int files = 3, bool unreadable = false)
      : Ids(MemTree(root, files, unreadable)), Loader(test::Walk(root, Ids)) {}
  TScanView View() const { return ViewOf(*Loader); }
  std::shared_ptr<TIdListing> Ids;
  std::unique_ptr<TThreadLoader> Loader;
};

// The times of the kept scans of "/mem/one" in `folder`, as listed.
std::vector<int64_t> Times(const std::string& folder) {
  std::vector<int64_t> times;
  for (const TKeptScan& scan : ListKeptScans(folder, "/mem/one")) times.push_back(scan.Time);
  return times;
}

// Every name in `folder`.
std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST(History, KeysNameOneRootOneWay) {
  EXPECT_EQ(HistoryKey(""), "All Drives");
  EXPECT_EQ(HistoryKey("/srv/data/"), "/srv/data");
  EXPECT_EQ(HistoryKey("/srv/./x/../data//"), "/srv/data");
  EXPECT_EQ(HistoryKey("/"), "/");
  EXPECT_EQ(HistoryKey("rel"), HistoryKey(std::filesystem::current_path().string() + "/rel/"));
}

TEST(History, AKeptScanReadsBackAsTheSameScanAndSaysHowItEnded) {
  test::TempTree tree;
  const std::string folder = tree.Path("cache/deeper");  // made when missing
  TWalk walk("/mem/root/");
  ASSERT_EQ(KeepScan(folder, HistoryKey("/mem/root/"), 1000, walk.View(), walk.Ids.get()), "");
  const std::vector<TKeptScan> kept = ListKeptScans(folder, "/mem/root");
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0].Time, 1000);
  EXPECT_TRUE(kept[0].Complete);
  // The totals come from the metadata, without reading the tree.
  EXPECT_TRUE(kept[0].HasTotals);
  EXPECT_EQ(kept[0].TotalDisk, walk.Loader->Result.Root->TotalSize);
  EXPECT_EQ(kept[0].TotalApparent, walk.Loader->Result.Root->ApparentSize);
  EXPECT_EQ(Entries(folder).size(), 1u);  // no temporary file left
  std::ifstream raw(kept[0].Path, std::ios::binary);
  EXPECT_EQ(raw.get(), 0x1f);  // gzip
  EXPECT_EQ(raw.get(), 0x8b);

  TImportedScan read;
  ASSERT_EQ(ReadScanFile(kept[0].Path, read), "");
  EXPECT_EQ(read.Result.Root->TotalSize, walk.Loader->Result.Root->TotalSize);
  EXPECT_EQ(read.Result.Root->ApparentSize, walk.Loader->Result.Root->ApparentSize);
  EXPECT_EQ(read.Result.Files, walk.Loader->FileCount.load());
  EXPECT_EQ(read.Result.Folders, walk.Loader->FolderCount.load());

  // A scan that could not read a folder, and one stopped: kept, marked incomplete, the
  // stopped one also in its metadata.
  TWalk unreadable("/mem/root/", 3, true);
  ASSERT_EQ(KeepScan(folder, "/mem/root", 2000, unreadable.View(), unreadable.Ids.get()), "");
  TScanView stopped = walk.View();
  stopped.Ending = TScanEnd::Stopped;
  ASSERT_EQ(KeepScan(folder, "/mem/root", 3000, stopped, walk.Ids.get()), "");
  const std::vector<TKeptScan> all = ListKeptScans(folder, "/mem/root");
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].Time, 3000);
  EXPECT_FALSE(all[0].Complete);
  EXPECT_FALSE(all[1].Complete);
  EXPECT_TRUE(all[2].Complete);
  TImportedScan again;
  ASSERT_EQ(ReadScanFile(all[0].Path, again), "");
  EXPECT_EQ(again.Result.Ending, TScanEnd::Stopped);

  // A scan kept before totals were recorded is listed still, its totals unknown.
  const std::string hash = std::filesystem::path(all[0].Path).filename().string().substr(0, 16);
  tree.Write("cache/deeper/" + hash + "-00000000000000004000-c.json.gz",
             R"([1,2,{"state":"complete"},[{"name":"/mem/root","dsize":4096},{"name":"f","asize":5}]])");
  const std::vector<TKeptScan> older = ListKeptScans(folder, "/mem/root");
  ASSERT_EQ(older.size(), 4u);
  EXPECT_EQ(older[0].Time, 4000);
  EXPECT_FALSE(older[0].HasTotals);
  EXPECT_TRUE(older[1].HasTotals);

  // A header padded with megabytes of blanks is not read to its end (a window waits on the
  // listing): it is passed over as no kept scan. A root's name far longer than any header
  // still reads, so such a root's scans are listed and rotated.
  tree.Write("cache/deeper/" + hash + "-00000000000000005000-c.json.gz",
             "[1,2,{\"state\":\"complete\"" + std::string(4 << 20, ' ') + "},[{\"name\":\"/mem/root\",\"dsize\":4096}]]");
  EXPECT_EQ(ListKeptScans(folder, "/mem/root").size(), 4u);
  const std::string longRoot = "/mem/" + std::string(200000, '\x01');
  TWalk deep(longRoot);
  ASSERT_EQ(KeepScan(folder, longRoot, 6000, deep.View(), deep.Ids.get()), "");
  ASSERT_EQ(ListKeptScans(folder, longRoot).size(), 1u);
  EXPECT_TRUE(ListKeptScans(folder, longRoot)[0].HasTotals);
}

TEST(History, SixScansKeepFiveEachRootApartPastStrangeFiles) {
  test::TempTree tree;
  const std::string folder = tree.Dir("cache");
  TWalk one("/mem/one");
  TWalk two("/mem/two");
  TWalk drives("");
  // What a listing must pass over: another program's file, a file with the name of a kept scan
  // of "/mem/one" that is not gzip, one that is a scan of another root, a folder so named.
  ASSERT_EQ(KeepScan(folder, "/mem/one", 10, one.View(), one.Ids.get()), "");
  const std::string name = std::filesystem::path(ListKeptScans(folder, "/mem/one")[0].Path).filename();
  const std::string hash = name.substr(0, 16);
  std::filesystem::rename(folder + "/" + name, folder + "/" + hash + "-00000000000000000009-c.json.gz");
  tree.Write("cache/" + name, "not a scan");
  tree.Write("cache/notes.txt", "mine");
  tree.Write("cache/" + hash + "-00000000000000000099-c.json.gz", "");
  tree.Dir("cache/" + hash + "-00000000000000000098-c.json.gz");
  // Temporary files: one of a writer that died two days ago, one being written now.
  const timespec old[2] = {{::time(nullptr) - 2 * 86400, 0}, {::time(nullptr) - 2 * 86400, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, tree.Write("cache/.keep-abcdef", "part").c_str(), old, 0), 0);
  tree.Write("cache/.keep-ghijkl", "part");
  ASSERT_EQ(KeepScan(folder, "/mem/two", 1, two.View(), two.Ids.get()), "");
  std::filesystem::copy_file(ListKeptScans(folder, "/mem/two")[0].Path,
                             folder + "/" + hash + "-00000000000000000097-c.json.gz");
  EXPECT_EQ(ListKeptScans(folder, "/mem/one").size(), 1u);

  for (int64_t time = 11; time <= 16; ++time)
    ASSERT_EQ(KeepScan(folder, "/mem/one", time, one.View(), one.Ids.get()), "");
  ASSERT_EQ(KeepScan(folder, "All Drives", 5, drives.View(), drives.Ids.get()), "");
  // The newest four, and the oldest: the "before" of a clean-up survives any number of rescans.
  EXPECT_EQ(Times(folder), (std::vector<int64_t>{16, 15, 14, 13, 9}));
  ASSERT_EQ(ListKeptScans(folder, "/mem/two").size(), 1u);
  ASSERT_EQ(ListKeptScans(folder, "All Drives").size(), 1u);
  EXPECT_TRUE(ListKeptScans(folder, "/mem").empty());
  EXPECT_TRUE(ListKeptScans(tree.Path("missing"), "/mem/one").empty());
  // The strange files are still there: rotation removes only kept scans of the root.
  for (const std::string& strange : {name, std::string("notes.txt"), hash + "-00000000000000000099-c.json.gz",
                                     hash + "-00000000000000000097-c.json.gz", std::string(".keep-ghijkl")})
    EXPECT_TRUE(std::filesystem::exists(folder + "/" + strange)) << strange;
  EXPECT_FALSE(std::filesystem::exists(folder + "/.keep-abcdef"));

  // Two scans in one microsecond both stay.
  ASSERT_EQ(KeepScan(folder, "/mem/two", 1, two.View(), two.Ids.get()), "");
  EXPECT_EQ(ListKeptScans(folder, "/mem/two").size(), 2u);
}

TEST(History, ScansDatedAheadByAWrongClockNeverCrowdOutNewOnes) {
  test::TempTree tree;
  TWalk one("/mem/one");
  // Kept while the clock was set to 2100, then back to 2023 (2023-11-14 22:13:20 UTC).
  const std::string ahead = tree.Dir("ahead");
  for (int64_t time : {4102444800000001, 4102444800000002, 4102444800000003, 4102444800000004, 4102444800000005})
    ASSERT_EQ(KeepScan(ahead, "/mem/one", time, one.View(), one.Ids.get()), "");
  const int64_t now = 1700000000000000;
  for (int64_t i = 0; i < 2; ++i) ASSERT_EQ(KeepScan(ahead, "/mem/one", now + i, one.View(), one.Ids.get()), "");
  // Dated more than a day ahead, they count as the oldest: the new ones stay, newest first.
  EXPECT_EQ(Times(ahead), (std::vector<int64_t>{now + 1, now, 4102444800000005, 4102444800000004, 4102444800000001}));
  for (int64_t i = 2; i < 5; ++i) ASSERT_EQ(KeepScan(ahead, "/mem/one", now + i, one.View(), one.Ids.get()), "");
  EXPECT_EQ(Times(ahead), (std::vector<int64_t>{now + 4, now + 3, now + 2, now + 1, 4102444800000001}));

  // Dated up to five hours ahead (a clock set back a little): the scan just written stays all
  // the same, and the oldest with it.
  const std::string hours = tree.Dir("hours");
  const int64_t hour = 3600000000;
  for (int64_t i = 1; i <= 5; ++i) ASSERT_EQ(KeepScan(hours, "/mem/one", now + i * hour, one.View(), one.Ids.get()), "");
  for (int64_t i = 0; i < 2; ++i) ASSERT_EQ(KeepScan(hours, "/mem/one", now + i, one.View(), one.Ids.get()), "");
  EXPECT_EQ(Times(hours), (std::vector<int64_t>{now + 5 * hour, now + 4 * hour, now + 3 * hour, now + 1, now}));
}

TEST(History, ARefusedWriteLeavesNothing) {
  test::TempTree tree;
  TWalk walk("/mem/root", 3000);
  // The cache folder's place taken by a file.
  tree.Write("file", "x");
  EXPECT_NE(KeepScan(tree.Path("file/cache"), "/mem/root", 1, walk.View(), walk.Ids.get()), "");

  // A disk that fills part-way, and a folder that cannot be written in.
  const std::string folder = tree.Dir("full");
  const std::string report = test::InChild([&]() -> std::string {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = 2000;
    CHILD_CHECK(setrlimit(RLIMIT_FSIZE, &limit) == 0);
    CHILD_CHECK(KeepScan(folder, "/mem/root", 1, walk.View(), walk.Ids.get()).find("File too large") !=
                std::string::npos);
    return {};
  });
  EXPECT_EQ(report, "");
  EXPECT_TRUE(Entries(folder).empty());

  ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
  const std::string locked = test::InChild([&]() -> std::string {
    if (std::string why = test::BecomeOrdinaryUser(); !why.empty()) return why;
    CHILD_CHECK(KeepScan(folder, "/mem/root", 1, walk.View(), walk.Ids.get()) != "");
    return {};
  });
  ::chmod(folder.c_str(), 0755);
  if (locked.rfind("SKIP: ", 0) != 0) {
    EXPECT_EQ(locked, "");
  }
  EXPECT_TRUE(Entries(folder).empty());
}

namespace {

// Numbers that are given only once the gate opens, so that a write is held part-way.
class TGatedIds : public TEntryIds {
 public:
  explicit TGatedIds(const TEntryIds& inner) : Inner(inner) {}
  bool Find(const DirNode& node, const TEntryId* parent, TEntryId& id) const override {
    std::unique_lock<std::mutex> lock(Lock);
    ++Asked;
    Changed.notify_all();
    Changed.wait(lock, [this] { return Open; });
    return Inner.Find(node, parent, id);
  }
  void WaitAsked() {
    std::unique_lock<std::mutex> lock(Lock);
    Changed.wait(lock, [this] { return Asked > 0; });
  }
  void Release() {
    std::lock_guard<std::mutex> guard(Lock);
    Open = true;
    Changed.notify_all();
  }

 private:
  const TEntryIds& Inner;
  mutable std::mutex Lock;
  mutable std::condition_variable Changed;
  mutable int Asked = 0;
  bool Open = false;
};

}  // namespace

TEST(History, TheKeeperWritesWhileTheCallerGoesOn) {
  test::TempTree tree;
  const std::string folder = tree.Dir("cache");
  TWalk walk("/mem/root");
  TGatedIds gated(*walk.Ids);
  {
    TScanKeeper keeper;
    keeper.Keep(folder, "/mem/root", 1, walk.View(), &gated);
    keeper.Keep(folder, "/mem/root", 2, walk.View(), walk.Ids.get());
    gated.WaitAsked();  // the first write is under way and held; Keep has returned
    EXPECT_EQ(keeper.Pending(), 2);
    EXPECT_TRUE(ListKeptScans(folder, "/mem/root").empty());
    gated.Release();
    while (keeper.Pending() > 0) std::this_thread::yield();
    EXPECT_EQ(ListKeptScans(folder, "/mem/root").size(), 2u);
    EXPECT_EQ(keeper.LastError(), "");

  }
  EXPECT_EQ(Entries(folder).size(), 2u);
}
