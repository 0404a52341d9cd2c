// A walk shared by several threads, each taking whole folders as the kernel likes best: it
// opens one, reads it, examines its files, makes the nodes of its files and subfolders where
// they belong in the tree, and leaves the subfolders to whichever thread is free, nearest
// first. A folder of many files is shared out in chunks as it is read. The tree's shape is that
// of a single walk from the start. A folder met twice is walked under its first name in the
// tree's order (TFolderClaims); which name of a file met twice carries it, and the order of what
// could not be read, are left to be settled by the tree's order afterwards (SettleWalk), since
// threads meet them in no particular order.
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
#include "scan/claims.h"
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
    TNodeArena* Arena;   // every node and name, filled by the threads in slices (TArenaShare)
    TInodeMap* Inodes;   // every folder's first name in the tree's order (TFolderClaims)
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
  // Does one piece of work: a chunk, a subfolder of its own, or one taken from another
  // thread's (the shallowest, the most work); false when there was none.
  bool WorkOnce(TThreadState& my);
  // A piece of work is done: the last one ends the walk.
  void Done();
  // Waits for work, or for the walk (`caller`) or the threads to end.
  void Idle(bool caller);
  // Wakes up to `count` sleeping threads for work just queued.
  void Wake(size_t count);
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
  TFolderClaims Claims;

  // Each thread keeps the subfolders it found on a stack of its own and takes them nearest
  // first; an idle thread takes another's shallowest. Chunks are shared by all.
  std::mutex Lock;  // Chunks, and sleeping and waking
  std::condition_variable Ready;  // work was queued, the walk is done, or the end came
  std::deque<TChunk> Chunks;
  std::atomic<size_t> Queued{0};    // subfolders and chunks waiting to be taken
  std::atomic<size_t> Pending{0};   // subfolders and chunks not yet done
  std::atomic<size_t> ChunksWaiting{0};
  std::atomic<size_t> Sleeping{0};
  std::atomic<bool> Ending{false};
  std::vector<std::unique_ptr<TThreadState>> States;  // [0] is the caller's
  std::vector<std::thread> Workers;
};

}  // namespace ostrel
