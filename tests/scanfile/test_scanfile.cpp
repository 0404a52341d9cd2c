// Scan files read back under the walk's rules: a walk saved and read back is the same scan
// (tree, both measures, what could not be read, folders met twice), and files written by other
// tools are counted as a walk would count the tree they describe.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/scancli.h"
#include "scan/tloader.h"
#include "scanfile/entryids.h"
#include "scanfile/exportscan.h"
#include "scanfile/importscan.h"
#include "tests/support/fixture.h"
#include "tests/support/memlisting.h"
#include "tests/support/walk.h"

using namespace ostrel;

namespace {

// Every line of the listing at every depth, files included, in `measure`.
std::string Listing(const DirNode* root, TMeasure measure) {
  TScanOptions options;
  options.Files = true;
  options.MaxDepth = 1 << 30;
  options.Apparent = measure == TMeasure::Apparent;
  std::FILE* file = std::tmpfile();
  TOutput out(file);
  PrintTree(root, options, out);
  out.Flush();
  std::rewind(file);
  std::string text;
  char chunk[4096];
  for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, got);
  std::fclose(file);
  return text;
}

// What could not be read and the folders met twice, as paths.
std::string Troubles(const TScanView& scan) {
  std::string text;
  for (const TScanProblem& problem : *scan.Problems)
    text += std::to_string(problem.Kind) + " " + FullPath(*problem.Node) + " " + std::to_string(problem.Error) + "\n";
  for (const TRepeatedFolder& repeat : *scan.Repeats) text += FullPath(*repeat.Node) + " = " + FullPath(*repeat.First) + "\n";
  return text;
}

// Every node's time and path, in the tree's order.
std::string Times(const DirNode* root) {
  std::string text;
  std::vector<const DirNode*> stack{root};
  while (!stack.empty()) {
    const DirNode* node = stack.back();
    stack.pop_back();
    text += std::to_string(node->MTime) + " " + FullPath(*node) + "\n";
    const size_t at = stack.size();
    for (const DirNode* child = node->FirstChild; child; child = child->NextSibling) stack.push_back(child);
    std::reverse(stack.begin() + static_cast<std::ptrdiff_t>(at), stack.end());
  }
  return text;
}

std::string Save(const TScanView& scan, const TEntryIds* ids, test::TempTree& tree, const std::string& name) {
  const std::string path = tree.Path(name);
  std::FILE* file = std::fopen(path.c_str(), "w");
  EXPECT_EQ(WriteScanFile(scan, ids, file), 0);
  std::fclose(file);
  return path;
}

void ExpectSameScan(const TScanView& want, const TScanView& got) {
  EXPECT_EQ(Listing(got.Root, TMeasure::DiskUsage), Listing(want.Root, TMeasure::DiskUsage));
  EXPECT_EQ(Listing(got.Root, TMeasure::Apparent), Listing(want.Root, TMeasure::Apparent));
  EXPECT_EQ(Times(got.Root), Times(want.Root));
  EXPECT_EQ(Troubles(got), Troubles(want));
  EXPECT_EQ(got.Folders, want.Folders);
  EXPECT_EQ(got.Files, want.Files);
  EXPECT_EQ(got.Ending, want.Ending);
  EXPECT_EQ(got.Saturated, want.Saturated);
}

TEST(ScanFile, AWalkReadBackIsTheSameScan) {
  // Linked files across folders, a folder that cannot be opened, an entry that cannot be
  // examined, a folder whose inode is met twice, and sparse files whose sum passes 2^64: on
  // several threads, so that the numbers are recorded from helpers too.
  auto listing = std::make_shared<test::TMemoryListing>("/mem");
  auto& data = listing->File("a/data", 10000, 12288);
  data.Stat.MTime = 1500000000;
  data.Stat.Inode = 0x500000011;
  listing->Folder("a").Stat.MTime = 1400000000;
  listing->Folder("a").Stat.Inode = 0x100000007;
  listing->Folder("b").Stat.MTime = 1600000000;
  listing->Link("b/second", data);
  listing->Link("z/third", data);
  listing->File("a/sparse", 1 << 30, 4096);
  listing->File("huge/one", 9223372036854775808u, 4096);  // 2^63
  listing->File("huge/two", 9223372036854775808u, 4096);
  listing->Folder("locked").OpenError = EACCES;
  listing->File("b/hidden", 5, 512).ExamineError = EACCES;
  listing->Folder("m/x").Stat = listing->Folder("a").Stat;  // a bind mount of a
  for (int i = 0; i < 300; ++i) listing->File("wide/f" + std::to_string(i), i, 512 * (i % 3));
  listing->File("wide/f7", 7, 512).Stat.MTime = 1300000000;
  auto ids = std::make_shared<TIdListing>(listing);
  const auto walk = test::Walk("/mem", ids, 4);
  const TThreadLoader& loader = *walk;
  ASSERT_EQ(loader.Result.Problems.size(), 2u);
  ASSERT_EQ(loader.Result.Repeats.size(), 1u);
  ASSERT_TRUE(loader.Result.Saturated);

  test::TempTree tree;
  TImportedScan read;
  const std::string saved = Save(ViewOf(loader), ids.get(), tree, "walk.json");
  EXPECT_NE(test::ReadFile(saved).find("\"total_asize\":18446744073709551615,"), std::string::npos);
  ASSERT_EQ(ReadScanFile(saved, read), "");
  ExpectSameScan(ViewOf(loader), read.View());
  EXPECT_EQ(test::Find(read.Result.Root, "a")->MTime, 1500000000u) << "the newest below it";
  EXPECT_EQ(test::Find(read.Result.Root, "wide")->MTime, 1300000000u);
  EXPECT_EQ(test::Find(read.Result.Root, "a")->InodeTag, 7u);
  EXPECT_EQ(test::Find(read.Result.Root, "z/third")->InodeTag, 0x11u);
  // Saved again from what was read, nothing is lost: the numbers come from the file now.
  TImportedScan again;
  ASSERT_EQ(ReadScanFile(Save(read.View(), &read, tree, "again.json"), again), "");
  ExpectSameScan(ViewOf(loader), again.View());
}

TEST(ScanFile, OtherToolsFilesCountAsAWalkWould) {
  test::TempTree tree;
  // Entries in the file's order, not the tree's: the tree is the walk's all the same, and its
  // order decides which name of a linked file counts (f, not g met first) and which name of a
  // folder met twice keeps its contents (a, not again met first). Device numbers left out are
  // the folder's; a folder's asize counts nothing; an unreadable entry without a reason;
  // fields of later versions and excluded entries.
  tree.Write("ncdu.json", R"([1,2,{"progname":"ncdu","progver":"1.18","timestamp":1},
    [{"name":"/r","asize":4096,"dsize":4096,"dev":7,"ino":1,"mtime":100},
     [{"name":"b","dsize":4096,"ino":3,"read_error":true,"mtime":-7},
      {"name":"g","asize":100,"dsize":4096,"ino":9,"nlink":2,"mtime":50},
      {"name":"h","read_error":true}],
     [{"name":"again","dsize":4096,"ino":2,"mtime":400},{"name":"hidden","dsize":999999,"mtime":9999}],
     {"name":"top","asize":1,"dsize":512,"mtime":1.5},
     [{"name":"a","asize":4096,"dsize":4096,"ino":2,"mtime":300},
      [{"name":"sub","dsize":4096,"mtime":200}],
      {"name":"f","asize":100,"dsize":4096,"ino":9,"hlnkc":true,"future":{"x":[1,2]},"mtime":250},
      {"name":"mnt","excluded":"otherfs"}],
     [{"name":"elsewhere","dsize":4096,"dev":8,"ino":4294967305,"mtime":9000000000}]]])");
  TImportedScan scan;
  ASSERT_EQ(ReadScanFile(tree.Path("ncdu.json"), scan), "");
  EXPECT_EQ(Listing(scan.Result.Root, TMeasure::DiskUsage),
            "25088\t/r\n512\t/r/top\n12288\t/r/a\n4096\t/r/a/f\n0\t/r/a/mnt\n4096\t/r/a/sub\n0\t/r/again\n"
            "4096\t/r/b\n0\t/r/b/g\n0\t/r/b/h\n4096\t/r/elsewhere\n");
  EXPECT_EQ(Listing(scan.Result.Root, TMeasure::Apparent),
            "101\t/r\n1\t/r/top\n100\t/r/a\n100\t/r/a/f\n0\t/r/a/mnt\n0\t/r/a/sub\n0\t/r/again\n"
            "0\t/r/b\n0\t/r/b/g\n0\t/r/b/h\n0\t/r/elsewhere\n");
  EXPECT_EQ(Troubles(scan.View()), "0 /r/b 0\n1 /r/b/h 0\n/r/again = /r/a\n");
  EXPECT_EQ(scan.Result.Folders, 6);
  EXPECT_EQ(scan.Result.Files, 5) << "what the later name of a folder held is not counted";
  ASSERT_EQ(scan.Result.Links.size(), 2u);
  EXPECT_EQ(FullPath(*scan.Result.Links[1].Node), "/r/b/g");
  EXPECT_EQ(scan.Result.Links[1].DiskSize, 4096u) << "every name keeps the sizes it would carry";
  // Times: a folder's own (a) or its newest below (b, whose own is before 1970); the later name
  // of a folder keeps its own, not what it held; fractions dropped, times past 2^32 - 1 capped.
  EXPECT_EQ(Times(scan.Result.Root), "4294967295 /r\n1 /r/top\n300 /r/a\n250 /r/a/f\n0 /r/a/mnt\n200 /r/a/sub\n"
                                     "400 /r/again\n50 /r/b\n50 /r/b/g\n0 /r/b/h\n4294967295 /r/elsewhere\n");
  EXPECT_EQ(test::Find(scan.Result.Root, "elsewhere")->InodeTag, 9u);
  EXPECT_EQ(test::Find(scan.Result.Root, "b/g")->InodeTag, 9u);
}

TEST(ScanFile, AllDrivesAndAStoppedScanKeepTheirShape) {
  test::TempTree tree;
  tree.Write("drives.json", R"([1,2,{"state":"stopped","alldrives":true},
    [{"name":"All Drives"},[{"name":"/","dsize":4096,"dev":1,"ino":2},{"name":"f","dsize":512}],
     [{"name":"/mnt/usb","dsize":4096,"dev":3,"ino":2}]]])");
  TImportedScan scan;
  ASSERT_EQ(ReadScanFile(tree.Path("drives.json"), scan), "");
  EXPECT_EQ(Listing(scan.Result.Root, TMeasure::DiskUsage), "8704\tAll Drives\n4608\t/\n512\t/f\n4096\t/mnt/usb\n");
  EXPECT_EQ(scan.Result.Ending, TScanEnd::Stopped);
  TImportedScan again;
  ASSERT_EQ(ReadScanFile(Save(scan.View(), &scan, tree, "again.json"), again), "");
  ExpectSameScan(scan.View(), again.View());
  EXPECT_TRUE(again.Result.AllDrives);
}

TEST(ScanFile, AStopRequestKeepsWhatWasReadAsAStoppedScan) {
  test::TempTree tree;
  std::string json = R"([1,2,{},[{"name":"r"})";
  for (int i = 0; i < 20000; ++i) json += R"(,{"name":"f)" + std::to_string(i) + R"(","dsize":512})";
  tree.Write("big.json", json + "]]");
  std::atomic<int> stop{2};
  TImportedScan scan;
  ASSERT_EQ(ReadScanFile(tree.Path("big.json"), scan, &stop), "");
  EXPECT_EQ(scan.Result.Ending, TScanEnd::Stopped);
  ASSERT_NE(scan.Result.Root, nullptr);
  EXPECT_LT(scan.Result.Files, 20000);
  EXPECT_EQ(scan.Result.Root->TotalSize, 512.0 * scan.Result.Files);
}

// Names longer than a file system allows are refused where they pass the limit, counted in
// bytes once decoded; other strings are held to the top-level limit.
TEST(ScanFile, NamesPastTheLimitsAreRefusedWithTheirOffset) {
  test::TempTree tree;
  const auto read = [&](const std::string& json) {
    tree.Write("n.json", json);
    TImportedScan scan;
    const std::string error = ReadScanFile(tree.Path("n.json"), scan);
    if (!error.empty()) return error;
    std::string names;
    for (const DirNode* node = scan.Result.Root; node; node = node->FirstChild ? node->FirstChild : node->NextSibling)
      names += std::to_string(std::strlen(node->Name)) + " ";
    return names;
  };
  const std::string entry = R"([1,2,{},[{"name":"r"},{"name":")";
  EXPECT_EQ(read(entry + std::string(4096, 'n') + R"("}]])"), "1 4096 ");
  std::string escaped;
  for (int i = 0; i < 2048; ++i) escaped += "\\u00e9";
  EXPECT_EQ(read(entry + escaped + R"("}]])"), "1 4096 ");
  EXPECT_EQ(read(entry + std::string(4097, 'n') + R"("}]])"), "byte 4129: a name is longer than 4096 bytes");
  EXPECT_EQ(read(entry + escaped + R"(\u00e9"}]])"), "byte 12325: a name is longer than 4096 bytes");
  // A top-level name is a whole path: the root's, or a drive's below All Drives.
  const std::string root = R"([1,2,{},[{"name":")";
  EXPECT_EQ(read(root + std::string(1 << 20, 'r') + R"("}]])"), "1048576 ");
  EXPECT_EQ(read(root + std::string((1 << 20) + 1, 'r') + R"("}]])"),
            "byte 1048596: a top-level name is longer than 1048576 bytes");
  EXPECT_EQ(read(R"([1,2,{"alldrives":true},[{"name":"All Drives"},[{"name":")" + std::string(5000, 'd') + R"("}]]])"),
            "10 5000 ");
  EXPECT_EQ(read(entry + R"(x","excluded":")" + std::string(2 << 20, 'x') + R"("}]])"),
            "byte 1048624: a string is longer than 1048576 bytes");
  EXPECT_EQ(read(R"([1,2,{")" + std::string(2 << 20, 'k') + R"(":1},[{"name":"r"}]])"),
            "byte 1048585: a string is longer than 1048576 bytes");
}

}  // namespace
