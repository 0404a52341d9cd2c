#include <gtest/gtest.h>

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <regex>

#include "tests/support/handtree.h"
#include "app/scancli.h"
#include "scan/tloader.h"
#include "tests/support/fixture.h"
#include "tests/support/walk.h"

using namespace ostrel;
using test::DiskBytes;

namespace {

// What a printing call wrote, through a stream in memory.
class TCapture {
 public:
  TCapture() : Stream(open_memstream(&Text, &Size)) {}
  ~TCapture() {
    if (Stream) std::fclose(Stream);
    std::free(Text);
  }
  std::FILE* File() { return Stream; }
  std::string Str() {
    std::fflush(Stream);
    return std::string(Text, Size);
  }

 private:
  char* Text = nullptr;
  size_t Size = 0;
  std::FILE* Stream;
};

std::string Printed(const DirNode* root, const TScanOptions& options) {
  TCapture capture;
  TOutput out(capture.File());
  if (options.Breakdown)
    PrintBreakdown(root, options, out);
  else
    PrintTree(root, options, out);
  EXPECT_EQ(out.Error(), 0);
  return capture.Str();
}

TScanOptions Options(int depth, bool files, bool apparent, bool null = false) {
  TScanOptions o;
  o.MaxDepth = depth;
  o.Files = files;
  o.Apparent = apparent;
  o.Null = null;
  return o;
}

std::string N(uint64_t bytes) { return std::to_string(bytes); }

}  // namespace

TEST(ParseScanOptions, AcceptsEveryOptionAndOnePath) {
  TScanOptions o;
  EXPECT_EQ(ParseScanOptions({"--max-depth", "3", "--files", "--include-floppy", "--include-cd",
                              "--include-net", "--apparent-size", "-0", "/data"}, o), "");
  EXPECT_EQ(o.MaxDepth, 3);
  EXPECT_TRUE(o.Files && o.IncludeFloppy && o.IncludeCd && o.IncludeNet && o.Apparent && o.Null);
  EXPECT_EQ(o.Path, "/data");

  TScanOptions d;
  EXPECT_EQ(ParseScanOptions({}, d), "");
  EXPECT_EQ(d.MaxDepth, 1);
  EXPECT_EQ(d.Path, "") << "no PATH: all drives";
  EXPECT_EQ(d.Measure(), TMeasure::DiskUsage) << "disk usage unless asked otherwise";
  EXPECT_EQ(d.RecordEnd(), '\n');

  TScanOptions e;
  EXPECT_EQ(ParseScanOptions({"--max-depth=0", "--null", "--breakdown", "--", "--odd-name"}, e), "");
  EXPECT_EQ(e.MaxDepth, 0);
  EXPECT_EQ(e.Path, "--odd-name");
  EXPECT_EQ(e.RecordEnd(), '\0');
}

TEST(ParseScanOptions, RejectsWhatItCannotRead) {
  for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
           {"--max-depth"}, {"--max-depth", "x"}, {"--max-depth", "-1"}, {"--max-depth=2x"},
           {"--frobnicate"}, {"-00"}, {"/a", "/b"}, {""}, {"--breakdown"}, {"--no-combine", "/a"}}) {
    TScanOptions o;
    EXPECT_NE(ParseScanOptions(args, o), "") << args[0];
  }
}

TEST(PrintTree, FoldersBeforeTheirSubfoldersDownToTheDepthNamesWhole) {
  test::TempTree tree;
  tree.File("b/deep/f", 4);  // sparse: lengths without blocks
  tree.File("a/g", 2);
  tree.File("top", 1);
  tree.File("two\nlines/x\tnew\nline", 3);
  auto loader = test::Walk(tree.Root());
  const std::string r = tree.Root(), nul(1, '\0');
  EXPECT_EQ(Printed(loader->Result.Root, Options(1, false, true)),
            "10\t" + r + "\n2\t" + r + "/a\n4\t" + r + "/b\n3\t" + r + "/two\nlines\n");
  EXPECT_EQ(Printed(loader->Result.Root, Options(0, false, true)), "10\t" + r + "\n");
  // NUL-ended records keep names with newlines and tabs whole.
  EXPECT_EQ(Printed(loader->Result.Root, Options(5, true, true, true)),
            "10\t" + r + nul + "1\t" + r + "/top" + nul + "2\t" + r + "/a" + nul + "2\t" + r + "/a/g" + nul + "4\t" + r +
                "/b" + nul + "4\t" + r + "/b/deep" + nul + "4\t" + r + "/b/deep/f" + nul + "3\t" + r + "/two\nlines" +
                nul + "3\t" + r + "/two\nlines/x\tnew\nline" + nul);
  EXPECT_EQ(Printed(nullptr, Options(3, true, false)), "");
}

TEST(PrintBreakdown, FollowsTheChosenMeasure) {
  test::TempTree tree;
  tree.File("image/disk.img", 10ull << 30);  // sparse: 10 GiB long, no blocks
  tree.Write("real/data", std::string(200000, 'x'));
  tree.File("loose", 5);
  auto loader = test::Walk(tree.Root());
  TScanOptions apparent = Options(1, false, true);
  apparent.Breakdown = true;
  EXPECT_EQ(Printed(loader->Result.Root, apparent), "(files)\t5\nimage\t10737418240\nreal\t200000\n");

  TScanOptions disk = Options(1, false, false);
  disk.Breakdown = true;
  disk.Null = true;
  const std::string nul(1, '\0');
  EXPECT_EQ(Printed(loader->Result.Root, disk), "(files)\t" + N(DiskBytes(tree.Root())) + nul + "image\t" +
                                             N(DiskBytes(tree.Path("image"))) + nul + "real\t" +
                                             N(DiskBytes(tree.Path("real")) + DiskBytes(tree.Path("real/data"))) + nul)
      << "the root's own blocks are its \"(files)\"";
}

TEST(ReportScan, AWriteErrorIsReportedAndPrintingStopsThere) {
  test::TempTree tree;
  for (int i = 0; i < 300; ++i) tree.Dir("folder-with-a-name-of-some-length-" + std::to_string(i));
  auto loader = test::Walk(tree.Root());
  std::FILE* full = std::fopen("/dev/full", "w");
  ASSERT_NE(full, nullptr);
  TCapture err;
  std::atomic<int> signal{0};
  EXPECT_EQ(ReportScan(ViewOf(*loader), nullptr, Options(1, false, false), 0.5, signal, full, err.File(), nullptr), ExitFailed);
  EXPECT_EQ(err.Str(), "ostrel-scan: write error: No space left on device\n"
                       "ostrel-scan: 301 folders, 0 files, 0.500 s\n");
  // The stream failed at its first flush and was not written to again.
  EXPECT_EQ(std::ftell(full), 0);

  TCapture err2;
  signal = SIGINT;
  std::rewind(full);
  EXPECT_EQ(ReportScan(ViewOf(*loader), nullptr, Options(1, false, false), 0.5, signal, full, err2.File(), nullptr), 130)
      << "an interruption outranks the failure";
  EXPECT_NE(err2.Str().find("0.500 s (interrupted)\n"), std::string::npos) << err2.Str();
  std::fclose(full);
}

TEST(ReportScan, OutOfMemoryPrintsWhatWasScannedAndSaysWhy) {
  test::TempTree tree;
  for (int i = 0; i < 60; ++i)
    for (int j = 0; j < 100; ++j) tree.File("d" + std::to_string(i) + "/f" + std::to_string(j), 1);
  auto loader = test::Walk(tree.Root(), nullptr, 0, 300 * 1024);
  ASSERT_EQ(loader->Result.Ending, TScanEnd::OutOfMemory);
  TCapture out, err;
  std::atomic<int> signal{0};
  EXPECT_EQ(ReportScan(ViewOf(*loader), nullptr, Options(0, false, true), 1, signal, out.File(), err.File(), nullptr), ExitFailed);
  EXPECT_EQ(out.Str(), std::to_string(loader->FileCount.load()) + "\t" + tree.Root() + "\n");
  const std::string n = std::to_string(loader->FolderCount.load());
  EXPECT_EQ(err.Str(), "ostrel-scan: out of memory: the scan stopped after " + n + " folders\nostrel-scan: " + n +
                           " folders, " + std::to_string(loader->FileCount.load()) +
                           " files, 1.000 s (out of memory)\n");
}

// Below All Drives the drives have no Parent and are named by their whole paths; their
// subfolders' paths, gone ones too, are built from them.
TEST(PrintChanges, PathsBelowAllDrivesStartFromEachDrivesWholePath) {
  TNodeArena arena;
  auto folder = [&](const char* name, DirNode* parent, const DirNode* link, uint64_t size) {
    DirNode* node = test::NewNode(arena, parent, name, NodeFolder);
    node->Parent = link;
    node->TotalSize = size;
    return node;
  };
  DirNode* then = folder("All Drives", nullptr, nullptr, 30);
  DirNode* thenHome = folder("/home", then, nullptr, 30);
  folder("old", thenHome, thenHome, 10);
  DirNode* now = folder("All Drives", nullptr, nullptr, 25);
  DirNode* nowHome = folder("/home", now, nullptr, 20);
  folder("keep", nowHome, nowHome, 0);
  folder("/srv", now, nullptr, 5);
  TScanOptions options;
  options.MaxDepth = 9;
  TCapture capture;
  TOutput out(capture.File());
  PrintChanges(then, now, options, out);
  EXPECT_EQ(capture.Str(), "-5\t30\t25\tAll Drives\n-10\t30\t20\t/home\n-10\t10\t0\t/home/old\n5\t0\t5\t/srv\n");
}
