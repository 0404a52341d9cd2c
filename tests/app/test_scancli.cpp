#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "app/scancli.h"
#include "scan/tloader.h"
#include "tests/support/fixture.h"

using namespace ostrel;

namespace {

std::vector<TDrive> NoDrives() { return {}; }

std::string Printed(const DirNode* root, int depth, bool files) {
  char* text = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  PrintTree(root, depth, files, out);
  std::fclose(out);
  std::string result(text, size);
  std::free(text);
  return result;
}

}  // namespace

TEST(ParseScanOptions, AcceptsEveryOptionAndOnePath) {
  TScanOptions o;
  EXPECT_EQ(ParseScanOptions({"--max-depth", "3", "--files", "--include-floppy", "--include-cd",
                              "--include-net", "/data"}, o), "");
  EXPECT_EQ(o.MaxDepth, 3);
  EXPECT_TRUE(o.Files && o.IncludeFloppy && o.IncludeCd && o.IncludeNet);
  EXPECT_EQ(o.Path, "/data");

  TScanOptions d;
  EXPECT_EQ(ParseScanOptions({}, d), "");
  EXPECT_EQ(d.MaxDepth, 1);
  EXPECT_EQ(d.Path, "") << "no PATH: all drives";

  TScanOptions e;
  EXPECT_EQ(ParseScanOptions({"--max-depth=0", "--", "--odd-name"}, e), "");
  EXPECT_EQ(e.MaxDepth, 0);
  EXPECT_EQ(e.Path, "--odd-name");
}

TEST(ParseScanOptions, RejectsWhatItCannotRead) {
  for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
           {"--max-depth"}, {"--max-depth", "x"}, {"--max-depth", "-1"}, {"--max-depth=2x"},
           {"--frobnicate"}, {"/a", "/b"}, {""}}) {
    TScanOptions o;
    EXPECT_NE(ParseScanOptions(args, o), "") << args[0];
  }
}

TEST(PrintTree, FoldersBeforeTheirSubfoldersDownToTheDepth) {
  test::TempTree tree;
  tree.File("b/deep/f", 4);
  tree.File("a/g", 2);
  tree.File("top", 1);
  TThreadLoader loader(true);
  loader.Path = tree.Root();
  loader.DriveSource = NoDrives;
  loader.Resume();
  loader.WaitFor();
  const std::string r = tree.Root();
  EXPECT_EQ(Printed(loader.Root, 1, false), "7\t" + r + "\n2\t" + r + "/a\n4\t" + r + "/b\n");
  EXPECT_EQ(Printed(loader.Root, 0, false), "7\t" + r + "\n");
  EXPECT_EQ(Printed(loader.Root, 5, true), "7\t" + r + "\n1\t" + r + "/top\n2\t" + r + "/a\n2\t" + r +
                                               "/a/g\n4\t" + r + "/b\n4\t" + r + "/b/deep\n4\t" + r +
                                               "/b/deep/f\n");
  EXPECT_EQ(Printed(nullptr, 3, true), "");
}
