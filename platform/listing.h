// Where a walk reads its folders from. The walk works on open folders, never on paths below
// its root: open a child of an open folder, read the next batch of entries, examine an entry,
// close (destroy). Each step can fail with the system's error number. SystemListing() reads
// the file system; a test can hand the walk a listing of its own (an in-memory tree) to reach
// failures that a real file system will not produce on demand.
#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/dirlist.h"

namespace ostrel {

// One entry of a batch. Name is valid until the batch is cleared or refilled.
struct TListedEntry {
  const char* Name = nullptr;
  bool Folder = false;    // a real folder (links never are)
  bool Examined = false;  // Stat holds the entry's details; false for a folder known from the
                          // listing alone (open it for them), for an entry with Error, and
                          // for a file left for the caller to examine (Examine)
  TEntryStat Stat;
  int Error = 0;          // listed but not examinable: the system's error number
};

// Entries read from one folder in one go; reused from batch to batch.
class TEntryBatch {
 public:
  void Clear();
  // Appends an entry whose name is copied into the batch.
  void Add(const char* name, const TListedEntry& entry);
  size_t Size() const { return Entries.size(); }
  const TListedEntry& operator[](size_t i) const { return Entries[i]; }

 private:
  std::vector<TListedEntry> Entries;
  std::vector<std::unique_ptr<char[]>> Chunks;  // name storage; entries point into it
  size_t ChunkUsed = 0;
};

// One open folder. Destroying it closes it.
class TOpenFolder {
 public:
  virtual ~TOpenFolder() = default;
  // The folder itself, as it was when opened.
  virtual const TEntryStat& Self() const = 0;
  // Clears `batch` and fills it with about `max` further entries (the rest of what one read of
  // the system brought may come on top; "." and ".." never; an entry removed meanwhile is
  // skipped). False when none came: the end, or a failure (Error()). Fewer than `max` mean
  // the same: nothing further will come. Files are examined as they are read when
  // `examineFiles`; otherwise the caller examines them (Examine), perhaps on other threads.
  virtual bool Read(TEntryBatch& batch, size_t max, bool examineFiles) = 0;
  // Why reading failed part-way; 0 while it has not.
  virtual int Error() const = 0;
  // Examines entry `name` without following a link; 0 or the error number. May be called from
  // several threads at once, also while the walk's thread reads or opens children, for as
  // long as the folder is not destroyed.
  virtual int Examine(const char* name, TEntryStat& stat) = 0;
  // Opens subfolder `name` (one component, a link never followed); null with `error` set.
  virtual std::shared_ptr<TOpenFolder> OpenChild(const char* name, int& error) = 0;
};

class TListing {
 public:
  virtual ~TListing() = default;
  // Opens the folder at `path` (a walk's root: links in it are followed); null with `error`.
  virtual std::shared_ptr<TOpenFolder> OpenRoot(const char* path, int& error) = 0;
  // Examines the folder at `path` as OpenRoot reaches it, for a root that cannot be opened:
  // it still has blocks of its own. 0 or the error number.
  virtual int ExamineRoot(const char* path, TEntryStat& stat) = 0;
  // How many folders a walk may keep open at once.
  virtual size_t OpenFolderBudget() const = 0;
};

// The file system, through dirlist's listing; its budget is a share of the process's
// descriptor limit. Shared: it holds no state of its own.
std::shared_ptr<TListing> SystemListing();

}  // namespace ostrel
