// Examines a walk's files on a few threads while the walk goes on listing folders. Examining
// each file (one system call) is most of a walk's time, and it is the part that spreads over
// cores, and over a disk's queue when the cache is cold. The walk itself makes every node, in
// the tree's order, and numbers them; the pool only fills in files' sizes and reports, with
// each node's number, what the walk settles in the tree's order once it is done: files with
// several names, entries that could not be examined, entries that are gone.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/dirlist.h"
#include "platform/listing.h"
#include "scan/dirnode.h"

namespace ostrel {

// Sets a file node's sizes, in both measures, from what the system said of it.
void SetFileSizes(DirNode& node, const TEntryStat& stat);

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
  // Nodes to take out of the tree: removed since the listing, or left unexamined after a stop.
  std::vector<DirNode*> Dropped;
  bool OutOfMemory = false;  // a result could not be kept; its node stays with size 0
};

class TExaminePool {
 public:
  // `workers` threads besides the walk's own (0: each file is examined as it is added);
  // `folderAllowance`: how many folders the queued work may hold open at once (at least 1);
  // once `stop` is nonzero, files not yet examined are dropped.
  TExaminePool(int workers, size_t folderAllowance, const std::atomic<int32_t>& stop);
  ~TExaminePool();
  TExaminePool(const TExaminePool&) = delete;
  TExaminePool& operator=(const TExaminePool&) = delete;

  // Examines file `node` of `folder` (its Name is the entry's name), now or on a worker; `seq`
  // is its place in the tree's order. Only the walk's thread calls it. When the queue is full
  // the caller examines some files itself, and it waits while the allowance of folders is used.
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
  void Flush();
  // Returns when one more folder may be held; examines queued chunks meanwhile.
  void ReserveFolder();
  void Work(TExamineResults& out);
  // Takes the oldest queued chunk, if any, with the lock held.
  bool TakeQueued(TChunk& chunk);
  void JoinWorkers();

  const std::atomic<int32_t>& StopFlag;
  const size_t FolderAllowance;
  const size_t FoldersPerChunk;
  const size_t QueueLimit;
  TChunk Current;  // being filled by the walk
  TExamineResults Own;  // the walk thread's results
  std::vector<TExamineResults> WorkerResults;

  std::mutex Lock;
  std::condition_variable WorkReady;  // a chunk was queued, or the end came
  std::condition_variable Released;   // a chunk's folders were let go
  std::deque<TChunk> Queue;
  size_t HeldFolders = 0;  // folders held by queued and running chunks
  bool Ending = false;
  std::vector<std::thread> Workers;
};

}  // namespace ostrel
