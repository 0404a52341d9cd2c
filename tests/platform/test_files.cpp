#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/files.h"
#include "tests/support/fixture.h"

namespace ostrel {
namespace {

using test::TempTree;

// MakeFolder makes one level only, and fails on an existing folder.
TEST(Files, FolderAndFileExistenceAndMakeFolder) {
  TempTree tree;
  tree.Dir("folder");
  tree.File("file", 3);
  tree.Link("link-folder", "folder");
  tree.Link("link-file", "file");
  tree.Link("dangling", "nothing");
  struct Row {
    std::string rel;
    bool folder, file;
  } rows[] = {
      {"folder", true, false},      {"file", false, true},      {"link-folder", true, false},
      {"link-file", false, true},   {"dangling", false, false}, {"missing", false, false},
      {"file/below", false, false},
  };
  for (const Row& row : rows) {
    std::string path = tree.Path(row.rel);
    EXPECT_EQ(FolderExists(path.c_str()), row.folder) << row.rel;
    EXPECT_EQ(FileExists(path.c_str()), row.file) << row.rel;
  }
  EXPECT_FALSE(FileExists("/dev/null")) << "a device is not a regular file";
  EXPECT_FALSE(FolderExists(""));
  EXPECT_FALSE(FolderExists(nullptr));
  EXPECT_FALSE(FileExists(nullptr));

  std::string fresh = tree.Path("fresh");
  EXPECT_TRUE(MakeFolder(fresh.c_str()));
  EXPECT_TRUE(FolderExists(fresh.c_str()));
  EXPECT_FALSE(MakeFolder(fresh.c_str())) << "an existing folder is a failure";
  EXPECT_FALSE(MakeFolder(tree.Path("a/b").c_str())) << "the parent is missing";
  EXPECT_FALSE(FolderExists(tree.Path("a").c_str()));
  EXPECT_FALSE(MakeFolder(""));
}

TEST(Files, WorkingDirectoryIsNotCutShort) {
  TempTree tree;
  // Longer than any small first buffer would hold.
  std::string deep = tree.Chain("", 60, "level-of-the-chain");
  char* real = realpath(deep.c_str(), nullptr);
  ASSERT_NE(real, nullptr);
  std::string expected = real;
  free(real);
  ASSERT_GT(expected.size(), 1000u);

  std::string before = WorkingDirectory();
  ASSERT_FALSE(before.empty());
  ASSERT_EQ(chdir(deep.c_str()), 0);
  std::string inside = WorkingDirectory();
  ASSERT_EQ(chdir(before.c_str()), 0);
  EXPECT_EQ(inside, expected);
}

TEST(Files, ProgramFilePathNamesThisTestProgram) {
  std::string self = ProgramFilePath();
  ASSERT_EQ(self.substr(0, 1), "/");
  EXPECT_TRUE(FileExists(self.c_str()));
  EXPECT_EQ(self.substr(self.rfind('/') + 1), "test_platform");
}

}  // namespace
}  // namespace ostrel
