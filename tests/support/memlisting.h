// A listing of an in-memory tree, for walks that must meet what a real file system will not
// produce on demand: a folder that cannot be opened, an entry that cannot be examined, a
// listing that fails part-way, a folder replaced while the walk was elsewhere. It also counts
// the folders open at once, so that a test can hold the walk to its budget.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/listing.h"

namespace ostrel::test {

class TMemoryListing : public TListing {
 public:
  struct Entry {
    std::string Name;
    TEntryStat Stat;
    std::vector<std::unique_ptr<Entry>> Children;  // in listing order
    std::map<std::string, Entry*> ByName;          // the same children, to find them
    int OpenError = 0;       // opening this folder fails with it
    int ExamineError = 0;    // this entry is listed but cannot be examined
    int ReadError = 0;       // reading this folder fails with it ...
    size_t ReadErrorAfter = 0;  // ... once this many entries were read
  };

  // The tree's root is opened by this path.
  explicit TMemoryListing(std::string rootPath = "/mem");

  Entry& Root() { return *RootEntry; }
  // A folder at `rel` ("a/b"), made with the folders above it as needed.
  Entry& Folder(const std::string& rel);
  // A file at `rel` of `size` bytes taking `disk` bytes, folders above it as needed.
  Entry& File(const std::string& rel, uint64_t size, uint64_t disk);
  // A further name `rel` for the file `target`: same inode, one more link.
  Entry& Link(const std::string& rel, Entry& target);
  // Called with the folder just opened, on whichever of the walk's threads opened it.
  std::function<void(Entry&)> OnOpen;

  size_t Budget = 64;
  std::atomic<int> OpenNow{0};
  std::atomic<int> MostOpen{0};

  std::shared_ptr<TOpenFolder> OpenRoot(const char* path, int& error) override;
  int ExamineRoot(const char* path, TEntryStat& stat) override;
  size_t OpenFolderBudget() const override { return Budget; }

 private:
  friend class TMemoryFolder;
  Entry& Add(const std::string& rel, bool folder);
  std::shared_ptr<TOpenFolder> Open(Entry& entry, int& error);
  std::string RootPath;
  std::unique_ptr<Entry> RootEntry;
  uint64_t NextInode = 2;
};

}  // namespace ostrel::test
