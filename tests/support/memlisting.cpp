#include "tests/support/memlisting.h"

#include <cerrno>

namespace ostrel::test {

class TMemoryFolder : public TOpenFolder {
 public:
  TMemoryFolder(TMemoryListing& listing, TMemoryListing::Entry& entry) : Listing(listing), Folder(entry) {
    const int now = ++Listing.OpenNow;
    for (int most = Listing.MostOpen; now > most && !Listing.MostOpen.compare_exchange_weak(most, now);) {
    }
  }
  ~TMemoryFolder() override { --Listing.OpenNow; }

  const TEntryStat& Self() const override { return Self_; }

  bool Read(TEntryBatch& batch, size_t max, bool examineFiles) override {
    batch.Clear();
    while (batch.Size() < max && Next < Folder.Children.size()) {
      if (Folder.ReadError && Next == Folder.ReadErrorAfter) {
        Failure = Folder.ReadError;
        break;
      }
      const TMemoryListing::Entry& child = *Folder.Children[Next++];
      TListedEntry entry;
      entry.Folder = child.Stat.Folder;
      // As on a real file system, a folder is known from the listing alone, and a file is
      // examined now or later (Examine) as asked.
      if (examineFiles && !child.Stat.Folder) {
        entry.Error = child.ExamineError;
        if (child.ExamineError == ENOENT) continue;  // gone by the time it was examined
        entry.Examined = !child.ExamineError;
        if (entry.Examined) entry.Stat = child.Stat;
      }
      batch.Add(child.Name.c_str(), entry);
    }
    return batch.Size() > 0;
  }

  int Error() const override { return Failure; }

  int Examine(const char* name, TEntryStat& stat) override {
    auto child = Folder.ByName.find(name);
    if (child == Folder.ByName.end()) return ENOENT;
    if (child->second->ExamineError) return child->second->ExamineError;
    stat = child->second->Stat;
    return 0;
  }

  std::shared_ptr<TOpenFolder> OpenChild(const char* name, int& error) override {
    auto child = Folder.ByName.find(name);
    if (child == Folder.ByName.end()) {
      error = ENOENT;
      return nullptr;
    }
    if (!child->second->Stat.Folder) {
      error = ENOTDIR;
      return nullptr;
    }
    return Listing.Open(*child->second, error);
  }

 private:
  TMemoryListing& Listing;
  TMemoryListing::Entry& Folder;
  const TEntryStat Self_ = Folder.Stat;  // as it was when opened
  size_t Next = 0;
  int Failure = 0;
};

TMemoryListing::TMemoryListing(std::string rootPath) : RootPath(std::move(rootPath)), RootEntry(new Entry) {
  RootEntry->Stat = TEntryStat{1, NextInode++, 2, 0, 4096, true};
}

TMemoryListing::Entry& TMemoryListing::Add(const std::string& rel, bool folder) {
  Entry* at = RootEntry.get();
  size_t start = 0;
  for (;;) {
    const size_t slash = rel.find('/', start);
    const std::string name = rel.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    const bool last = slash == std::string::npos;
    auto known = at->ByName.find(name);
    Entry* found = known == at->ByName.end() ? nullptr : known->second;
    if (!found) {
      auto made = std::make_unique<Entry>();
      made->Name = name;
      const bool isFolder = !last || folder;
      made->Stat = TEntryStat{1, NextInode++, 1, 0, isFolder ? 4096u : 0u, isFolder};
      found = made.get();
      at->ByName.emplace(name, found);
      at->Children.push_back(std::move(made));
    }
    if (last) return *found;
    at = found;
    start = slash + 1;
  }
}

TMemoryListing::Entry& TMemoryListing::Folder(const std::string& rel) { return rel.empty() ? *RootEntry : Add(rel, true); }

TMemoryListing::Entry& TMemoryListing::File(const std::string& rel, uint64_t size, uint64_t disk) {
  Entry& file = Add(rel, false);
  file.Stat.Size = size;
  file.Stat.DiskSize = disk;
  return file;
}

TMemoryListing::Entry& TMemoryListing::Link(const std::string& rel, Entry& target) {
  Entry& name = Add(rel, false);
  target.Stat.Links += 1;
  name.Stat = target.Stat;
  return name;
}

std::shared_ptr<TOpenFolder> TMemoryListing::Open(Entry& entry, int& error) {
  if (entry.OpenError) {
    error = entry.OpenError;
    return nullptr;
  }
  if (OnOpen) OnOpen(entry);
  return std::make_shared<TMemoryFolder>(*this, entry);
}

std::shared_ptr<TOpenFolder> TMemoryListing::OpenRoot(const char* path, int& error) {
  if (RootPath != path) {
    error = ENOENT;
    return nullptr;
  }
  return Open(*RootEntry, error);
}

int TMemoryListing::ExamineRoot(const char* path, TEntryStat& stat) {
  if (RootPath != path) return ENOENT;
  if (RootEntry->ExamineError) return RootEntry->ExamineError;
  stat = RootEntry->Stat;
  return 0;
}

}  // namespace ostrel::test
