// The tree keeps no device and inode numbers, but a scan file needs them on every folder and on
// every file with several names, so that a reader counts each inode once as the walk did. They
// come from whoever made the tree: a walk records them as it reads (TIdListing, a listing
// wrapped around the one the walk reads through), a scan file read back keeps its own.
#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/listing.h"
#include "scan/dirnode.h"

namespace ostrel {

struct TEntryId {
  uint64_t Device = 0;
  uint64_t Inode = 0;
  uint64_t Links = 1;  // names the inode has; a file with more is counted once
};

class TEntryIds {
 public:
  virtual ~TEntryIds() = default;
  // The numbers of `node`, a folder or a file with several names, whose folder's numbers are
  // `parent` (null for a top-level node); false when they are not known.
  virtual bool Find(const DirNode& node, const TEntryId* parent, TEntryId& id) const = 0;
};

// Passes every call on to `inner` and records the numbers of every folder opened (or met and
// not opened) and of every file with more than one name, by the folder's numbers and the
// entry's name. Safe for the walk's threads; Find only once the walk has ended.
class TIdListing : public TListing, public TEntryIds {
 public:
  explicit TIdListing(std::shared_ptr<TListing> inner) : Inner(std::move(inner)) {}
  std::shared_ptr<TOpenFolder> OpenRoot(const char* path, int& error) override;
  int ExamineRoot(const char* path, TEntryStat& stat) override;
  size_t OpenFolderBudget() const override { return Inner->OpenFolderBudget(); }
  bool Find(const DirNode& node, const TEntryId* parent, TEntryId& id) const override;

  // Records `stat` as entry `name` of the folder numbered `parent` (null: a walk's root).
  void Record(const TEntryId* parent, const char* name, const TEntryStat& stat);

 private:
  // The folder's device and inode, then the name's bytes: one string, so that the key costs
  // one allocation and compares exactly.
  static void MakeKey(std::string& key, const TEntryId* parent, const char* name);
  std::shared_ptr<TListing> Inner;
  mutable std::mutex Lock;
  std::unordered_map<std::string, TEntryId> Ids;
  mutable std::string LookupKey;  // under Lock
};

// The numbers of a tree some of whose folders were walked afresh since: each walk's own, the
// latest asked first, since a later walk saw what is there now.
class TIdChain final : public TEntryIds {
 public:
  // The walk that made the tree first, then the later ones; a null one is skipped.
  void Add(const TEntryIds* ids) {
    if (ids) Walks.push_back(ids);
  }
  bool Find(const DirNode& node, const TEntryId* parent, TEntryId& id) const override {
    for (auto it = Walks.rbegin(); it != Walks.rend(); ++it)
      if ((*it)->Find(node, parent, id)) return true;
    return false;
  }

 private:
  std::vector<const TEntryIds*> Walks;
};

}  // namespace ostrel
