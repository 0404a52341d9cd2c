#include "scanfile/entryids.h"

#include <cstring>

namespace ostrel {

namespace {

TEntryId IdOf(const TEntryStat& stat) { return TEntryId{stat.Device, stat.Inode, stat.Links}; }

// Whether the numbers of an entry so described are worth keeping.
bool Wanted(const TEntryStat& stat) { return stat.Folder || stat.Links > 1; }

class TIdFolder : public TOpenFolder {
 public:
  TIdFolder(TIdListing& owner, std::shared_ptr<TOpenFolder> inner)
      : Owner(owner), Inner(std::move(inner)), Id(IdOf(Inner->Self())) {}
  const TEntryStat& Self() const override { return Inner->Self(); }
  bool Read(TEntryBatch& batch, size_t max, bool examineFiles) override {
    const bool any = Inner->Read(batch, max, examineFiles);
    for (size_t i = 0; i < batch.Size(); ++i) {
      const TListedEntry& entry = batch[i];
      if (entry.Examined && Wanted(entry.Stat)) Owner.Record(&Id, entry.Name, entry.Stat);
    }
    return any;
  }
  int Error() const override { return Inner->Error(); }
  int Examine(const char* name, TEntryStat& stat) override {
    const int error = Inner->Examine(name, stat);
    if (!error && Wanted(stat)) Owner.Record(&Id, name, stat);
    return error;
  }
  std::shared_ptr<TOpenFolder> OpenChild(const char* name, int& error) override {
    std::shared_ptr<TOpenFolder> child = Inner->OpenChild(name, error);
    if (!child) {
      // A folder that cannot be listed can mostly still be examined, which gives its numbers.
      TEntryStat stat;
      if (Inner->Examine(name, stat) == 0 && stat.Folder) Owner.Record(&Id, name, stat);
      return nullptr;
    }
    Owner.Record(&Id, name, child->Self());
    return std::make_shared<TIdFolder>(Owner, std::move(child));
  }

 private:
  TIdListing& Owner;
  std::shared_ptr<TOpenFolder> Inner;
  TEntryId Id;
};

}  // namespace

void TIdListing::MakeKey(std::string& key, const TEntryId* parent, const char* name) {
  const uint64_t numbers[2] = {parent ? parent->Device : 0, parent ? parent->Inode : 0};
  key.assign(reinterpret_cast<const char*>(numbers), sizeof numbers);
  key += parent ? '/' : '@';  // a top-level path never meets an entry of a folder numbered 0
  key += name;
}

void TIdListing::Record(const TEntryId* parent, const char* name, const TEntryStat& stat) {
  std::string key;
  MakeKey(key, parent, name);
  std::lock_guard<std::mutex> guard(Lock);
  Ids.insert_or_assign(std::move(key), IdOf(stat));
}

std::shared_ptr<TOpenFolder> TIdListing::OpenRoot(const char* path, int& error) {
  std::shared_ptr<TOpenFolder> root = Inner->OpenRoot(path, error);
  if (!root) return nullptr;
  Record(nullptr, path, root->Self());
  return std::make_shared<TIdFolder>(*this, std::move(root));
}

int TIdListing::ExamineRoot(const char* path, TEntryStat& stat) {
  const int error = Inner->ExamineRoot(path, stat);
  // An unreadable root keeps its numbers, as an unreadable subfolder does.
  if (!error && stat.Folder) Record(nullptr, path, stat);
  return error;
}

bool TIdListing::Find(const DirNode& node, const TEntryId* parent, TEntryId& id) const {
  std::lock_guard<std::mutex> guard(Lock);
  MakeKey(LookupKey, node.Parent ? parent : nullptr, node.Name);
  const auto it = Ids.find(LookupKey);
  if (it == Ids.end()) return false;
  id = it->second;
  return true;
}

}  // namespace ostrel
