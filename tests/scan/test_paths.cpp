#include <gtest/gtest.h>

#include "scan/paths.h"
#include "tests/support/fixture.h"

using namespace ostrel;

TEST(AddPathSeparator, BothStyles) {
  struct Case {
    std::string in;
    TPathStyle style;
    std::string out;
  } cases[] = {
      {"C:\\Data", TPathStyle::DriveLetters, "C:\\Data\\"},
      {"C:\\", TPathStyle::DriveLetters, "C:\\"},
      {"D:", TPathStyle::DriveLetters, "D:.\\"},
      {"", TPathStyle::DriveLetters, ""},
      {"/home/u", TPathStyle::Posix, "/home/u/"},
      {"/", TPathStyle::Posix, "/"},
      {"", TPathStyle::Posix, ""},
      {"D:", TPathStyle::Posix, "D:/"},  // no drive letters here: a colon is just a character
  };
  for (const Case& c : cases) {
    std::string path = c.in;
    EXPECT_EQ(AddPathSeparator(path, c.style), c.out) << c.in;
    EXPECT_EQ(path, c.out) << "changed in place: " << c.in;
  }
}

// IsDirectory is FolderExists (test_files) as the folder attribute, 16, which the checks below read.
TEST(EnsureDirs, TestsOrMakesEachFolderUpToTheLastSeparator) {
  test::TempTree tree;
  tree.Dir("A");
  const std::string ab = tree.Path("A/B/");
  EXPECT_EQ(EnsureDirs(ab, 0), 0) << "B does not exist";
  EXPECT_EQ(IsDirectory(tree.Path("A/B").c_str()), 0) << "nothing made without create";
  EXPECT_EQ(EnsureDirs(ab, 1), 1);
  EXPECT_EQ(IsDirectory(tree.Path("A/B").c_str()), 16);

  EXPECT_EQ(EnsureDirs(tree.Path("A/C"), 0), 1) << "the last part counts only after a separator";
  EXPECT_EQ(EnsureDirs(tree.Path("X/Y/Z/"), 1), 1);
  EXPECT_EQ(IsDirectory(tree.Path("X/Y/Z").c_str()), 16);
}

TEST(EnsureDirs, StopsAtAFileInTheWayAndKeepsWhatWasMade) {
  test::TempTree tree;
  tree.File("A/F");
  EXPECT_EQ(EnsureDirs(tree.Path("A/N/F/G/"), 1), 1);
  EXPECT_EQ(EnsureDirs(tree.Path("A/F/G/"), 1), 0) << "a file is not a folder and cannot become one";
  EXPECT_EQ(IsDirectory(tree.Path("A/N/F/G").c_str()), 16);
}
