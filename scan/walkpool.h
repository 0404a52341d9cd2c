// Threads that share a walk with the walk's own thread. The walk takes folders in the tree's
// order and makes every node itself; the pool takes the rest off it, which is most of a
// walk's time and the part that spreads over cores, and over a disk's queue when the cache is
// cold: it opens subfolders and reads their first entries ahead of the walk (TFolderAhead),
// and it examines files (Add). For what it examined it reports, with each node's place in the
// tree's order, what the walk settles once it is done: files with several names, entries that
// could not be examined, entries that are gone.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/dirlist.h"
#include "platform/listing.h"
#include "scan/dirnode.h"

namespace ostrel {

// Sets a file node's sizes, in both measures, from what the system said of it.
void SetFileSizes(DirNode& node, const TEntryStat& stat);

// A subfolder opened, with its first entries read when asked, on whichever thread comes first.
class TFolderAhead {
 public:
  // Subfolder `name` of `parent`; with `readAhead` its first entries are read too.
  TFolderAhead(std::shared_ptr<TOpenFolder> parent, std::string_view name, bool readAhead);
  // Opens it (once) and lets go of the parent; reads its first entries, examining the files
  // among them with `examineFiles`.
  void Run(bool examineFiles);

  // The results, valid once run.
  std::shared_ptr<TOpenFolder> Folder;  // null when it could not be opened (Error)
  int Error = 0;
  TEntryStat Unread;    // its own details when it exists but could not be opened
  TEntryBatch Entries;  // its first entries, when read ahead
  bool Complete = false;  // Entries hold the whole listing
  bool OutOfMemory = false;  // the entries could not be kept: the listing is not usable

 private:
  friend class TWalkPool;
  // Made ready to run again for subfolder `name` of `parent`, keeping its buffers.
  void Reset(std::shared_ptr<TOpenFolder> parent, std::string_view name);
  enum class TState { Queued, Running, Done, Dropped };
  std::shared_ptr<TOpenFolder> Parent;
  std::string Name;
  bool ReadAhead;
  TState State = TState::Queued;  // under the pool's lock
  std::atomic<bool> Finished{false};  // State is Done: for a wait that looks without the lock
};

// A file with more than one name: only the first of its names in the tree's order keeps its size.
struct TLinkedFile {
  uint64_t Seq;  // the node's place in the tree's order
  DirNode* Node;
  uint64_t Device;
  uint64_t Inode;
};

struct TExamineProblem {
  uint64_t Seq;
  DirNode* Node;
  int Error;
};

struct TExamineResults {
  std::vector<TLinkedFile> Links;
  std::vector<TExamineProblem> Problems;
  // Nodes to take out of the tree: removed between the listing and the examination.
  std::vector<DirNode*> Dropped;
  bool OutOfMemory = false;  // a result could not be kept; its node stays with size 0
};

class TWalkPool {
 public:
  // `workers` threads besides the walk's own (0: the walk does everything itself); `folders`:
  // how many folders queued examinations may hold open at once (at least 1); `ahead`: how
  // many folders may be opened ahead of the walk and not yet taken. Fewer workers start when
  // the system has no more. Files handed over are all examined, also after a stop, so that a
  // folder the walk has begun is whole; the queue is kept short for that.
  TWalkPool(int workers, size_t folders, size_t ahead);
  ~TWalkPool();
  TWalkPool(const TWalkPool&) = delete;
  TWalkPool& operator=(const TWalkPool&) = delete;

  // Only the walk's thread calls what follows.

  // Whether other threads share the work; without them the walk examines files as it reads.
  bool Shared() const { return !Workers.empty(); }
  // Whether another folder may be opened ahead now.
  bool AheadRoom() const { return Shared() && AheadOut < AheadLimit; }
  // Queues subfolder `name` of `parent` to be opened and read ahead (needs AheadRoom()).
  std::shared_ptr<TFolderAhead> Ahead(std::shared_ptr<TOpenFolder> parent, std::string_view name);
  // The walk needs `ahead` now: runs it here when no worker has begun it, else lends a hand
  // with other work until it is done. Throws std::bad_alloc when its entries could not be kept.
  void Await(TFolderAhead& ahead);
  // The walk will not take `ahead`: a worker that has not begun it never will.
  void Drop(TFolderAhead& ahead);
  // The walk is done with `ahead` (taken or dropped): kept for reuse when no one else holds it.
  void Recycle(std::shared_ptr<TFolderAhead> ahead);

  // Examines file `node` of `folder` (its Name is the entry's name), now or on a worker; `seq`
  // is its place in the tree's order. When the queue is full the caller examines some files
  // itself, and it waits while the allowance of folders is used.
  void Add(const std::shared_ptr<TOpenFolder>& folder, DirNode* node, uint64_t seq);
  // Examines (or drops) everything added, ends the threads and hands over every result.
  TExamineResults Finish();

 private:
  struct TItem {
    TOpenFolder* Folder;
    DirNode* Node;
    uint64_t Seq;
  };
  struct TChunk {
    std::vector<std::shared_ptr<TOpenFolder>> Folders;  // kept open until the chunk is done
    std::vector<TItem> Items;
  };

  void Examine(const TItem& item, TExamineResults& out);
  void Run(TChunk& chunk, TExamineResults& out);
  void RunAhead(TFolderAhead& ahead, bool examineFiles);
  void Flush();
  // Returns when one more folder may be held; works meanwhile.
  void ReserveFolder();
  // With the lock held by `hold`: does one queued piece of work, folders ahead first, with the
  // lock let go meanwhile; false when there was none.
  bool WorkOnce(std::unique_lock<std::mutex>& hold, TExamineResults& out);
  void Work(TExamineResults& out);
  void JoinWorkers();

  const size_t FolderAllowance;
  const size_t FoldersPerChunk;
  const size_t QueueLimit;
  const size_t AheadLimit;
  size_t AheadOut = 0;  // folders queued ahead and not yet taken or dropped
  std::vector<std::shared_ptr<TFolderAhead>> SpareAheads;  // with their buffers, for reuse
  std::vector<std::shared_ptr<TFolderAhead>> Retired;  // done with, but still in the queue
  TChunk Current;  // being filled by the walk
  TExamineResults Own;  // the walk thread's results
  std::vector<TExamineResults> WorkerResults;

  std::mutex Lock;
  std::condition_variable WorkReady;  // work was queued, or the end came
  std::condition_variable Progress;   // a chunk's folders were let go, or a folder ahead is done
  std::deque<TChunk> Queue;
  std::vector<TChunk> SpareChunks;  // done, emptied, their capacity kept for reuse
  std::deque<std::shared_ptr<TFolderAhead>> AheadQueue;
  size_t HeldFolders = 0;  // folders held by queued and running chunks
  std::atomic<size_t> Queued{0};  // pieces of work in the two queues: for a look without the lock
  bool Ending = false;
  std::vector<std::thread> Workers;
};

}  // namespace ostrel
