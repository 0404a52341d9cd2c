#include "scan/examinepool.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <utility>

namespace ostrel {

namespace {
// A chunk is large enough that the queue's lock is taken rarely, small enough that the
// threads share out a folder of a few thousand files.
constexpr size_t ChunkItems = 256;
constexpr size_t MostFoldersPerChunk = 16;
}  // namespace

void SetFileSizes(DirNode& node, const TEntryStat& stat) {
  node.OwnSize = node.TotalSize = static_cast<double>(stat.DiskSize);
  node.ApparentSize = static_cast<double>(stat.Size);
}

TExaminePool::TExaminePool(int workers, size_t folderAllowance, const std::atomic<int32_t>& stop)
    : StopFlag(stop),
      FolderAllowance(std::max<size_t>(folderAllowance, 1)),
      FoldersPerChunk(std::clamp<size_t>(FolderAllowance / 4, 1, MostFoldersPerChunk)),
      QueueLimit(2 * static_cast<size_t>(std::max(workers, 1))),
      WorkerResults(static_cast<size_t>(std::max(workers, 0))) {
  Workers.reserve(WorkerResults.size());
  for (TExamineResults& out : WorkerResults) Workers.emplace_back([this, &out] { Work(out); });
}

TExaminePool::~TExaminePool() {
  // Only on an early way out (the walk threw): the workers still need this object.
  JoinWorkers();
}

void TExaminePool::Examine(const TItem& item, TExamineResults& out) {
  if (StopFlag.load(std::memory_order_relaxed)) {
    out.Dropped.push_back(item.Node);
    return;
  }
  TEntryStat stat;
  const int error = item.Folder->Examine(item.Node->Name, stat);
  if (error == ENOENT) {
    out.Dropped.push_back(item.Node);  // removed since the listing: nothing is left to count
  } else if (error) {
    out.Problems.push_back(TExamineProblem{item.Seq, item.Node, error});
  } else {
    SetFileSizes(*item.Node, stat);
    if (stat.Links > 1) out.Links.push_back(TLinkedFile{item.Seq, item.Node, stat.Device, stat.Inode});
  }
}

void TExaminePool::Run(TChunk& chunk, TExamineResults& out) {
  try {
    for (const TItem& item : chunk.Items) Examine(item, out);
  } catch (const std::bad_alloc&) {
    out.OutOfMemory = true;
  }
  const size_t folders = chunk.Folders.size();
  chunk.Folders.clear();  // closed before they are counted as released
  chunk.Items.clear();
  {
    std::lock_guard<std::mutex> hold(Lock);
    HeldFolders -= folders;
  }
  Released.notify_all();
}

bool TExaminePool::TakeQueued(TChunk& chunk) {
  if (Queue.empty()) return false;
  chunk = std::move(Queue.front());
  Queue.pop_front();
  return true;
}

void TExaminePool::Add(const std::shared_ptr<TOpenFolder>& folder, DirNode* node, uint64_t seq) {
  if (Workers.empty()) {
    Examine(TItem{folder.get(), node, seq}, Own);
    return;
  }
  if (Current.Folders.empty() || Current.Folders.back() != folder) {
    if (Current.Folders.size() >= FoldersPerChunk) Flush();
    ReserveFolder();
    Current.Folders.push_back(folder);
  }
  Current.Items.push_back(TItem{folder.get(), node, seq});
  if (Current.Items.size() >= ChunkItems) Flush();
}

void TExaminePool::Flush() {
  if (Current.Items.empty()) return;
  TChunk help;
  bool helping = false;
  {
    std::lock_guard<std::mutex> hold(Lock);
    const size_t folders = Current.Folders.size();
    Queue.push_back(std::move(Current));
    HeldFolders += folders;
    // The walk makes files faster than one thread examines them: it lends a hand.
    if (Queue.size() > QueueLimit) helping = TakeQueued(help);
  }
  Current = TChunk{};
  WorkReady.notify_one();
  if (helping) Run(help, Own);
}

void TExaminePool::ReserveFolder() {
  std::unique_lock<std::mutex> hold(Lock);
  while (HeldFolders + Current.Folders.size() + 1 > FolderAllowance) {
    if (!Current.Items.empty()) {
      hold.unlock();
      Flush();
      hold.lock();
      continue;
    }
    TChunk chunk;
    if (TakeQueued(chunk)) {
      hold.unlock();
      Run(chunk, Own);
      hold.lock();
      continue;
    }
    Released.wait(hold);
  }
}

void TExaminePool::Work(TExamineResults& out) {
  for (;;) {
    TChunk chunk;
    {
      std::unique_lock<std::mutex> hold(Lock);
      WorkReady.wait(hold, [this] { return !Queue.empty() || Ending; });
      if (!TakeQueued(chunk)) return;
    }
    Run(chunk, out);
  }
}

void TExaminePool::JoinWorkers() {
  if (Workers.empty()) return;
  {
    std::lock_guard<std::mutex> hold(Lock);
    Ending = true;
  }
  WorkReady.notify_all();
  for (std::thread& worker : Workers) worker.join();
  Workers.clear();
}

TExamineResults TExaminePool::Finish() {
  if (!Workers.empty()) {
    Flush();
    for (;;) {
      TChunk chunk;
      {
        std::lock_guard<std::mutex> hold(Lock);
        if (!TakeQueued(chunk)) break;
      }
      Run(chunk, Own);
    }
    // Workers leave once the queue is empty and their own chunk is done.
    JoinWorkers();
  }
  TExamineResults all = std::move(Own);
  for (TExamineResults& out : WorkerResults) {
    all.Links.insert(all.Links.end(), out.Links.begin(), out.Links.end());
    all.Problems.insert(all.Problems.end(), out.Problems.begin(), out.Problems.end());
    all.Dropped.insert(all.Dropped.end(), out.Dropped.begin(), out.Dropped.end());
    all.OutOfMemory = all.OutOfMemory || out.OutOfMemory;
  }
  Own = TExamineResults{};
  WorkerResults.clear();
  return all;
}

}  // namespace ostrel
