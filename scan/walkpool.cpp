#include "scan/walkpool.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <system_error>
#include <utility>

namespace ostrel {

namespace {
// A chunk is large enough that the queue's lock is taken rarely, small enough that the
// threads share out a folder of a few thousand files.
constexpr size_t ChunkItems = 256;
constexpr size_t MostFoldersPerChunk = 16;
// Most folders are read whole in one go; a larger one is read on by the walk itself.
constexpr size_t AheadEntries = 256;
// Pieces of work take microseconds, and putting a thread to sleep and waking it takes about as
// long: a thread with nothing to do looks again a few times, giving way to others, first.
constexpr int LooksBeforeSleep = 256;

template <typename TReady>
bool LookAgain(TReady ready) {
  for (int i = 0; i < LooksBeforeSleep; ++i) {
    if (ready()) return true;
    std::this_thread::yield();
  }
  return ready();
}
}  // namespace

void SetFileSizes(DirNode& node, const TEntryStat& stat) {
  node.OwnSize = node.TotalSize = static_cast<double>(stat.DiskSize);
  node.ApparentSize = static_cast<double>(stat.Size);
}

TFolderAhead::TFolderAhead(std::shared_ptr<TOpenFolder> parent, std::string_view name, bool readAhead)
    : Parent(std::move(parent)), Name(name), ReadAhead(readAhead) {}

void TFolderAhead::Reset(std::shared_ptr<TOpenFolder> parent, std::string_view name) {
  Parent = std::move(parent);
  Name.assign(name);
  Folder.reset();
  Error = 0;
  Unread = TEntryStat{};
  Entries.Clear();
  Complete = false;
  OutOfMemory = false;
  State = TState::Queued;
  Finished.store(false, std::memory_order_relaxed);
}

void TFolderAhead::Run(bool examineFiles) {
  if (!Parent) return;
  Folder = Parent->OpenChild(Name.c_str(), Error);
  // Gone since the listing: nothing is left of it to count.
  if (!Folder && Error != ENOENT) Parent->Examine(Name.c_str(), Unread);
  Parent.reset();
  if (Folder && ReadAhead) Complete = !Folder->Read(Entries, AheadEntries, examineFiles) || Entries.Size() < AheadEntries;
}

TWalkPool::TWalkPool(int workers, size_t folders, size_t ahead)
    : FolderAllowance(std::max<size_t>(folders, 1)),
      FoldersPerChunk(std::clamp<size_t>(FolderAllowance / 4, 1, MostFoldersPerChunk)),
      QueueLimit(static_cast<size_t>(std::max(workers, 1)) + 1),
      AheadLimit(ahead),
      WorkerResults(static_cast<size_t>(std::max(workers, 0))) {
  Workers.reserve(WorkerResults.size());
  try {
    for (TExamineResults& out : WorkerResults) Workers.emplace_back([this, &out] { Work(out); });
  } catch (const std::system_error&) {
    // Short of threads or of address space: the walk goes on with the workers it has, or alone.
  }
}

TWalkPool::~TWalkPool() {
  // Only on an early way out (the walk threw): the workers still need this object.
  JoinWorkers();
}

void TWalkPool::Examine(const TItem& item, TExamineResults& out) {
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

void TWalkPool::Run(TChunk& chunk, TExamineResults& out) {
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
    if (SpareChunks.size() < 2 * QueueLimit + 2) SpareChunks.push_back(std::move(chunk));
  }
  Progress.notify_all();
}

void TWalkPool::RunAhead(TFolderAhead& ahead, bool examineFiles) {
  try {
    ahead.Run(examineFiles);
  } catch (const std::bad_alloc&) {
    ahead.OutOfMemory = true;
  }
}

bool TWalkPool::WorkOnce(std::unique_lock<std::mutex>& hold, TExamineResults& out) {
  // Folders first: the walk may be waiting for one.
  while (!AheadQueue.empty()) {
    std::shared_ptr<TFolderAhead> ahead = std::move(AheadQueue.front());
    AheadQueue.pop_front();
    Queued.fetch_sub(1, std::memory_order_relaxed);
    if (ahead->State != TFolderAhead::TState::Queued) continue;  // taken by the walk, or dropped
    ahead->State = TFolderAhead::TState::Running;
    hold.unlock();
    // A worker does a small folder whole, its files with it, as the kernel likes best.
    RunAhead(*ahead, true);
    hold.lock();
    ahead->State = TFolderAhead::TState::Done;
    ahead->Finished.store(true, std::memory_order_release);
    Progress.notify_all();
    return true;
  }
  if (Queue.empty()) return false;
  Queued.fetch_sub(1, std::memory_order_relaxed);
  TChunk chunk = std::move(Queue.front());
  Queue.pop_front();
  hold.unlock();
  Run(chunk, out);
  hold.lock();
  return true;
}

void TWalkPool::Work(TExamineResults& out) {
  std::unique_lock<std::mutex> hold(Lock);
  for (;;) {
    if (WorkOnce(hold, out)) continue;
    if (Ending) return;
    hold.unlock();
    const bool more = LookAgain([this] { return Queued.load(std::memory_order_relaxed) > 0; });
    hold.lock();
    if (!more && Queue.empty() && AheadQueue.empty() && !Ending) WorkReady.wait(hold);
  }
}

std::shared_ptr<TFolderAhead> TWalkPool::Ahead(std::shared_ptr<TOpenFolder> parent, std::string_view name) {
  std::shared_ptr<TFolderAhead> ahead;
  {
    // Under the lock: a worker's last touch of a spare was under it too.
    std::lock_guard<std::mutex> hold(Lock);
    if (SpareAheads.empty()) {
      for (auto it = Retired.begin(); it != Retired.end();) {
        if (it->use_count() == 1) {
          SpareAheads.push_back(std::move(*it));
          it = Retired.erase(it);
        } else {
          ++it;
        }
      }
    }
    if (SpareAheads.empty()) {
      ahead = std::make_shared<TFolderAhead>(std::move(parent), name, true);
    } else {
      ahead = std::move(SpareAheads.back());
      SpareAheads.pop_back();
      ahead->Reset(std::move(parent), name);
    }
    AheadQueue.push_back(ahead);
    Queued.fetch_add(1, std::memory_order_relaxed);
  }
  ++AheadOut;
  WorkReady.notify_one();
  return ahead;
}

void TWalkPool::Await(TFolderAhead& ahead) {
  std::unique_lock<std::mutex> hold(Lock);
  --AheadOut;
  if (ahead.State == TFolderAhead::TState::Queued) {
    ahead.State = TFolderAhead::TState::Running;
    hold.unlock();
    // The walk, which waits for it, leaves its files to the workers (Add).
    RunAhead(ahead, false);
    hold.lock();
    ahead.State = TFolderAhead::TState::Done;
  }
  while (ahead.State != TFolderAhead::TState::Done) {
    if (WorkOnce(hold, Own)) continue;
    hold.unlock();
    const bool done = LookAgain([&ahead] { return ahead.Finished.load(std::memory_order_acquire); });
    hold.lock();
    if (!done && ahead.State != TFolderAhead::TState::Done) Progress.wait(hold);
  }
  hold.unlock();
  if (ahead.OutOfMemory) throw std::bad_alloc();
}

void TWalkPool::Drop(TFolderAhead& ahead) {
  std::lock_guard<std::mutex> hold(Lock);
  --AheadOut;
  if (ahead.State == TFolderAhead::TState::Queued) ahead.State = TFolderAhead::TState::Dropped;
}

void TWalkPool::Recycle(std::shared_ptr<TFolderAhead> ahead) {
  if (!ahead || SpareAheads.size() + Retired.size() >= AheadLimit) return;
  // One the walk ran itself is still in the queue until a worker passes it by.
  (ahead.use_count() == 1 ? SpareAheads : Retired).push_back(std::move(ahead));
}

void TWalkPool::Add(const std::shared_ptr<TOpenFolder>& folder, DirNode* node, uint64_t seq) {
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

void TWalkPool::Flush() {
  if (Current.Items.empty()) return;
  TChunk help;
  bool helping = false;
  {
    std::lock_guard<std::mutex> hold(Lock);
    const size_t folders = Current.Folders.size();
    Queue.push_back(std::move(Current));
    Queued.fetch_add(1, std::memory_order_relaxed);
    HeldFolders += folders;
    if (SpareChunks.empty()) {
      Current = TChunk{};
    } else {
      Current = std::move(SpareChunks.back());
      SpareChunks.pop_back();
    }
    // The walk makes files faster than the workers examine them: it lends a hand.
    if (Queue.size() > QueueLimit) {
      help = std::move(Queue.front());
      Queue.pop_front();
      Queued.fetch_sub(1, std::memory_order_relaxed);
      helping = true;
    }
  }
  WorkReady.notify_one();
  if (helping) Run(help, Own);
}

void TWalkPool::ReserveFolder() {
  std::unique_lock<std::mutex> hold(Lock);
  while (HeldFolders + Current.Folders.size() + 1 > FolderAllowance) {
    if (!Current.Items.empty()) {
      hold.unlock();
      Flush();
      hold.lock();
    } else if (!WorkOnce(hold, Own)) {
      Progress.wait(hold);
    }
  }
}

void TWalkPool::JoinWorkers() {
  if (Workers.empty()) return;
  {
    std::lock_guard<std::mutex> hold(Lock);
    Ending = true;
  }
  WorkReady.notify_all();
  for (std::thread& worker : Workers) worker.join();
  Workers.clear();
}

TExamineResults TWalkPool::Finish() {
  if (!Workers.empty()) {
    Flush();
    {
      std::unique_lock<std::mutex> hold(Lock);
      while (WorkOnce(hold, Own)) {
      }
    }
    // Workers leave once the queues are empty and their own work is done.
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
