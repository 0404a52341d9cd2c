// The walk: one or more threads, each taking whole folders as the kernel likes best: it opens
// one, reads it, examines its files, makes the nodes of its files and subfolders where they
// belong in the tree (through its part of the TTreeBuilder), and leaves the subfolders to
// whichever thread is free, nearest first. A folder of many files is shared out in chunks as it
// is read. The tree's shape is that of a single walk from the start; which name of a folder or
// a file met twice counts is the builder's to decide.
//
// Descriptors: a folder is kept open for its subfolders still waiting while the budget allows;
// past it the shallowest kept are closed first, and a subfolder whose folder is no longer open
// reaches it again from its nearest folder that still is, each step checked to be the folder
// walked (TOpenFolders). Depth costs neither stack nor a descriptor per level.
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
#include "scan/scanproblem.h"
#include "scan/treebuilder.h"

namespace ostrel {

class TParallelWalk {
 public:
  struct TSetup {
    TListing* Listing;
    TTreeBuilder* Builder;  // makes every node; each thread has a part of it
    const std::atomic<int32_t>* StopFlag;
    // Whether the walk may enter subfolder `name` of `folder`; called from any of the threads.
    std::function<bool(const DirNode* folder, const char* name)> MayEnter;
    size_t Budget;       // descriptors the walk may hold at once
  };
  // The threads that can share a walk within `budget` descriptors, at most `wanted`.
  static int ThreadsWithin(size_t budget, int wanted);

  // `threads` threads in all, the caller's included (1: the caller alone).
  TParallelWalk(int threads, TSetup setup);
  ~TParallelWalk();
  TParallelWalk(const TParallelWalk&) = delete;
  TParallelWalk& operator=(const TParallelWalk&) = delete;

  // Walks the folder of `top`, a node named by its path and already in the tree, with the
  // caller's thread taking part; returns when it is all done.
  void Walk(DirNode* top);
  // Ends the threads; the builder then holds all that was found.
  void Finish();
  // Whether a stop left something undone.
  bool Stopped() const { return SawStop.load(std::memory_order_relaxed); }

 private:
  struct TTask {
    DirNode* Node;  // a folder to walk; its own folder is found open, or reached again
  };
  class TOpenFolders;
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
  std::shared_ptr<TOpenFolder> Counted(std::shared_ptr<TOpenFolder> folder);

  TSetup Setup;
  const size_t HoldLimit;   // folders kept open for subfolders waiting to be begun
  // Chunks waiting: past it the reader examines one itself. A few suffice to keep the others
  // busy, and threads woken for more only crowd the reader off its core.
  const size_t ChunkLimit;
  std::atomic<size_t> OpenNow{0};
  std::atomic<bool> OutOfMemory{false};
  std::atomic<bool> SawStop{false};  // something was left undone for a stop
  std::unique_ptr<TOpenFolders> Kept;

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
