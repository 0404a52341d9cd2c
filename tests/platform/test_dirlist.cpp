#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <string>

#include "platform/dirlist.h"
#include "tests/support/fixture.h"

namespace ostrel {
namespace {

using test::TempTree;

struct Entry {
  uint32_t Attr;
  uint64_t Size;
  uint64_t Device;
};

// Every entry of the listing by name; a name reported twice fails the test.
std::map<std::string, Entry> ListAll(TSearch* search) {
  std::map<std::string, Entry> out;
  TSearchRec rec;
  while (FindNext(search, rec)) {
    bool fresh = out.emplace(rec.Name, Entry{rec.Attr, rec.Size, rec.Device}).second;
    EXPECT_TRUE(fresh) << "listed twice: " << rec.Name;
  }
  return out;
}

// Names come back byte-exact, whatever their bytes.
TEST(DirList, ListsEveryEntryOnceWithAttributeAndSize) {
  TempTree tree;
  const std::string odd = "dir \xc3\x28 bad";
  for (const char* name : {"caf\xe9", "\xff\xfe\x80", " lead and trail ", "tab\there", "new\nline"}) tree.File(name, 1);
  tree.File(odd + "/in\xe9", 2);
  tree.File("empty");
  tree.File("small", 123);
  tree.File("big", (5ull << 30) + 10);
  tree.File(".hidden", 7);
  tree.Dir("sub");
  tree.File("sub/inner", 99);
  tree.Dir("...");
  tree.Link("tofolder", "sub");
  tree.Link("dangling", "no/such/target");

  TSearch* search = FindOpen(nullptr, tree.Root().c_str());
  ASSERT_NE(search, nullptr);
  struct stat st {};
  ASSERT_EQ(stat(tree.Root().c_str(), &st), 0);
  EXPECT_EQ(FindSelf(search).Device, static_cast<uint64_t>(st.st_dev));

  const std::map<std::string, std::pair<uint32_t, uint64_t>> expected = {
      {"empty", {0, 0}},          {"small", {0, 123}},      {"big", {0, 5368709130ull}},
      {".hidden", {0, 7}},        {"sub", {FaDirectory, 0}}, {"...", {FaDirectory, 0}},
      {"tofolder", {0, 3}},       {"dangling", {0, 14}},     {"caf\xe9", {0, 1}},
      {"\xff\xfe\x80", {0, 1}},   {" lead and trail ", {0, 1}}, {"tab\there", {0, 1}},
      {"new\nline", {0, 1}},      {odd, {FaDirectory, 0}},
  };
  std::map<std::string, Entry> listed = ListAll(search);
  EXPECT_EQ(listed.size(), expected.size());
  for (const auto& [name, want] : expected) {
    auto it = listed.find(name);
    ASSERT_NE(it, listed.end()) << name;
    EXPECT_EQ(it->second.Attr, want.first) << name;
    EXPECT_EQ(it->second.Size, want.second) << name;
    EXPECT_EQ(it->second.Device, static_cast<uint64_t>(st.st_dev)) << name;
  }
  TSearchRec rec;
  EXPECT_FALSE(FindNext(search, rec)) << "the end stays the end";
  TSearch* sub = FindOpen(search, odd.c_str());
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(ListAll(sub).count("in\xe9"), 1u);
  FindClose(sub);
  FindClose(search);
  FindClose(nullptr);
}

// What is no folder, or no longer one, gives null, by a full path or relative to an open folder.
// (Depth past PATH_MAX on few descriptors, level by level, is scan-test.sh's deep case.)
TEST(DirList, OpensSubfoldersRelativelyAndNeverThroughLinks) {
  TempTree tree;
  tree.File("sub/inner", 5);
  std::string plain = tree.File("plain", 1);
  tree.Link("tofolder", "sub");
  std::string gone = tree.Dir("gone");
  tree.Dir("gone-too");
  TSearch* root = FindOpen(nullptr, tree.Root().c_str());
  ASSERT_NE(root, nullptr);
  ASSERT_EQ(rmdir(gone.c_str()), 0);
  ASSERT_EQ(rmdir(tree.Path("gone-too").c_str()), 0);
  for (const std::string& path : {plain, gone, tree.Path("never"), std::string()})
    EXPECT_EQ(FindOpen(nullptr, path.c_str()), nullptr) << path;
  EXPECT_EQ(FindOpen(nullptr, nullptr), nullptr);

  TSearch* sub = FindOpen(root, "sub");
  ASSERT_NE(sub, nullptr);
  std::map<std::string, Entry> inner = ListAll(sub);
  ASSERT_EQ(inner.size(), 1u);
  EXPECT_EQ(inner.begin()->first, "inner");
  FindClose(sub);

  for (const char* name : {"tofolder", "tofolder/.", "sub/.", "plain", "missing", "", "gone-too"})
    EXPECT_EQ(FindOpen(root, name), nullptr) << '"' << name << '"';
  FindClose(root);

  // A link that the caller names as the start is followed.
  TSearch* viaLink = FindOpen(nullptr, tree.Path("tofolder").c_str());
  ASSERT_NE(viaLink, nullptr);
  EXPECT_EQ(ListAll(viaLink).count("inner"), 1u);
  FindClose(viaLink);
}

TEST(DirList, UnreadableFolderGivesNullAndSaysWhy) {
  TempTree tree;
  std::string locked = tree.Dir("locked");
  tree.File("locked/inside", 1);
  std::string noSearch = tree.Dir("nosearch");
  tree.File("nosearch/file", 5);
  tree.Dir("nosearch/folder");
  ASSERT_EQ(chmod(tree.Root().c_str(), 0755), 0);
  ASSERT_EQ(chmod(locked.c_str(), 0), 0);
  ASSERT_EQ(chmod(noSearch.c_str(), 0444), 0);  // names readable, entries not
  const std::string result = test::InChild([&]() -> std::string {
    if (std::string skip = test::BecomeOrdinaryUser(); !skip.empty()) return skip;
    int error = 0;
    CHILD_CHECK(FindOpen(nullptr, locked.c_str(), &error) == nullptr && error == EACCES);
    TSearch* root = FindOpen(nullptr, tree.Root().c_str());
    CHILD_CHECK(root != nullptr);
    error = 0;
    CHILD_CHECK(FindOpen(root, "locked", &error) == nullptr && error == EACCES);
    TEntryStat stat;
    CHILD_CHECK(FindExamine(root, "locked", stat) == 0 && stat.Folder);
    FindClose(root);

    // Listed but not examinable: each name comes with the reason, nothing is dropped.
    TSearch* listing = FindOpen(nullptr, noSearch.c_str());
    CHILD_CHECK(listing != nullptr);
    std::map<std::string, TSearchRec> names;
    for (TSearchRec rec; FindNext(listing, rec);) names[rec.Name] = rec;
    CHILD_CHECK(FindError(listing) == 0);
    FindClose(listing);
    CHILD_CHECK(names.size() == 2);
    CHILD_CHECK(names["file"].Error == EACCES && names["file"].Size == 0 && !names["file"].Examined);
    CHILD_CHECK(names["folder"].Attr == FaDirectory);
    return "";
  });
  if (result.rfind("SKIP: ", 0) == 0) GTEST_SKIP() << result.substr(6);
  EXPECT_EQ(result, "");
}

TEST(DirList, EntriesRemovedWhileListingAreSkipped) {
  TempTree tree;
  for (int i = 0; i < 50; ++i) tree.File("f" + std::to_string(i), 1);
  TSearch* search = FindOpen(nullptr, tree.Root().c_str());
  ASSERT_NE(search, nullptr);
  TSearchRec rec;
  ASSERT_TRUE(FindNext(search, rec));
  std::string kept = rec.Name;
  // The first read has buffered the remaining names; their files now go.
  for (int i = 0; i < 50; ++i) {
    std::string name = "f" + std::to_string(i);
    if (name != kept) {
      ASSERT_EQ(unlink(tree.Path(name).c_str()), 0);
    }
  }
  std::map<std::string, Entry> rest = ListAll(search);
  EXPECT_TRUE(rest.empty()) << rest.size() << " removed entries reported, e.g. " << rest.begin()->first;
  FindClose(search);
}

}  // namespace
}  // namespace ostrel
