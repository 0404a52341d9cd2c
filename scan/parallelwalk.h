// A walk shared by several threads, each taking whole folders as the kernel likes best: it
// opens one, reads it, examines its files, makes the nodes of its files and subfolders where
// they belong in the tree, and leaves the subfolders to whichever thread is free, nearest
// first. A folder of many files is shared out in chunks as it is read. The tree's shape is that
// of a single walk from the start; which name of a file or folder met twice carries it, and the
// order of what could not be read, are left to be settled by the tree's order afterwards
// (SettleWalk), since threads meet them in no particular order.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/listing.h"
#include "scan/dirnode.h"
#include "scan/inodemap.h"
#include "scan/scanproblem.h"
#include "scan/settle.h"

namespace ostrel {

// Sets a file node's sizes, in both measures, from what the system said of it.
void SetFileSizes(DirNode& node, const TEntryStat& stat);

class TParallelWalk {
 public:
  struct TSetup {
    TListing* Listing;
    TNodeArena* Arena;   // every node and name; shared under the walk's lock
    TInodeMap* Inodes;   // every folder's first name, under the walk's lock
    const std::atomic<int32_t>* StopFlag;
    std::atomic<int32_t>* FileCount;
    std::atomic<int32_t>* FolderCount;
    // Whether the walk may enter subfolder `name` of `folder`; called from any of the threads.
    std::function<bool(const DirNode* folder, const char* name)> MayEnter;
    size_t Budget;       // descriptors the walk may hold at once
  };
  // The threads that can share a walk within `budget` descriptors, at most `wanted`.
  static int ThreadsWithin(size_t budget, int wanted);

  // `threads` threads in all, the caller's included.
  TParallelWalk(int threads, TSetup setup);
  ~TParallelWalk();
  TParallelWalk(const TParallelWalk&) = delete;
  TParallelWalk& operator=(const TParallelWalk&) = delete;

  // Walks the folder of `top`, a node named by its path and already in the tree, with the
  // caller's thread taking part; returns when it is all done.
  void Walk(DirNode* top);
  // Ends the threads and hands over what was found.
  TWalkRecords Finish();
  // Whether a stop left something undone.
  bool Stopped() const { return SawStop.load(std::memory_order_relaxed); }

 private:
  struct TTask {
    DirNode* Node;
    // The folder that holds it, open; null for a top folder (opened by its path) and for one
    // left without when descriptors ran short (reached again from its top folder).
    std::shared_ptr<TOpenFolder> Parent;
  };
  struct TChunk {
    std::shared_ptr<TOpenFolder> Folder;
    std::vector<DirNode*> Files;
  };
  struct TThreadState;

  bool Stopping() const;
  void Run(TThreadState& my);
  // With the lock held by `hold`: takes one piece of work and does it; false when none.
  bool WorkOnce(std::unique_lock<std::mutex>& hold, TThreadState& my);
  void Process(TTask& task, TThreadState& my);
  void List(DirNode* node, const std::shared_ptr<TOpenFolder>& folder, TThreadState& my);
  void Examine(TChunk& chunk, TThreadState& my);
  void QueueChunk(TThreadState& my, const std::shared_ptr<TOpenFolder>& folder);
  void QueueTasks(TThreadState& my);
  // Opens `folder` again from its top folder down, checking each step is the folder walked.
  std::shared_ptr<TOpenFolder> Reach(const DirNode* folder, int& error);
  std::shared_ptr<TOpenFolder> Counted(std::shared_ptr<TOpenFolder> folder);

  TSetup Setup;
  const size_t HoldLimit;   // folders kept open for subfolders waiting to be begun
  // Chunks waiting: past it the reader examines one itself. A few suffice to keep the others
  // busy, and threads woken for more only crowd the reader off its core.
  const size_t ChunkLimit;
  std::atomic<size_t> OpenNow{0};
  std::atomic<bool> OutOfMemory{false};
  std::atomic<bool> SawStop{false};  // something was left undone for a stop
  std::mutex ArenaLock;
  std::mutex InodeLock;

  std::mutex Lock;
  std::condition_variable Ready;  // work was queued, the last of a walk was done, or the end came
  std::vector<TTask> Tasks;       // a stack: the nearest folders are taken first
  std::deque<TChunk> Chunks;
  size_t Busy = 0;                // threads doing a piece of work
  size_t Sleeping = 0;
  bool Ending = false;
  std::vector<std::unique_ptr<TThreadState>> States;  // [0] is the caller's
  std::vector<std::thread> Workers;
};

}  // namespace ostrel
