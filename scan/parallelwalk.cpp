#include "scan/parallelwalk.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <set>
#include <string>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace ostrel {

namespace {
// Entries read in one go. A folder read whole in one go has its files examined as they are
// read; the files of a larger one are examined in chunks of this many, by any thread.
constexpr size_t BatchEntries = 256;
// A folder of a million entries must not hold up a stop.
constexpr uint32_t EntriesBetweenStops = 1000;
}  // namespace

struct TParallelWalk::TThreadState {
  TThreadState(TTreeBuilder& builder, size_t index) : Part(builder.AddPart()), Index(index) {}
  TTreeBuilder::TPart& Part;  // makes its nodes and keeps its records
  const size_t Index;  // in States
  std::mutex StackLock;
  std::deque<TTask> Stack;  // its subfolders waiting: the nearest at the back
  TEntryBatch Batch;
  std::vector<char> NameBytes;  // the subfolders' names of the folder being read
  std::vector<size_t> NameStarts;
  std::vector<const char*> Sorted;
  std::vector<TTask> NewTasks;
  TChunk Chunk;
};

// Which folders stay open for their subfolders waiting, and how a subfolder whose folder was
// closed meanwhile reaches it again. Kept open while the budget allows; past it the shallowest
// that no thread is using are closed first, since the walk goes on below the deepest.
class TParallelWalk::TOpenFolders {
 public:
  explicit TOpenFolders(TParallelWalk& owner) : Owner(owner) {}

  // `folder`, open as `node`, has `waiting` subfolders queued.
  void Keep(const DirNode* node, const std::shared_ptr<TOpenFolder>& folder, size_t waiting) {
    std::lock_guard<std::mutex> hold(Lock);
    TEntry& entry = Entries.try_emplace(node, TEntry{nullptr, waiting}).first->second;
    Store(node, entry, folder);
  }

  // A subfolder of `parent` begins: `parent` open, or null when it was not kept open.
  std::shared_ptr<TOpenFolder> Begin(const DirNode* parent) {
    std::lock_guard<std::mutex> hold(Lock);
    const auto it = Entries.find(parent);
    if (it == Entries.end()) return nullptr;
    std::shared_ptr<TOpenFolder> folder = it->second.Folder;
    if (--it->second.Waiting == 0) {
      if (folder) OpenByDepth.erase({parent->Depth, parent});
      Entries.erase(it);
    }
    return folder;
  }

  // Opens `folder` again, down from its nearest folder still open (from its top by its path
  // when none is), each step checked to be the folder walked. On failure null, with `failed`
  // the folder that could not be reached and `error` why; `failed` is null when that was
  // found out before (it has been told).
  std::shared_ptr<TOpenFolder> Reach(const DirNode* folder, int& error, const DirNode*& failed) {
    failed = nullptr;
    std::vector<const DirNode*> down;  // from `folder` up to below the open one
    std::shared_ptr<TOpenFolder> open;
    {
      std::lock_guard<std::mutex> hold(Lock);
      for (const DirNode* up = folder; up && !open; up = up->Parent) {
        if (Unreachable.count(up)) return nullptr;
        const auto it = Entries.find(up);
        if (it != Entries.end() && it->second.Folder)
          open = it->second.Folder;
        else
          down.push_back(up);
      }
    }
    for (auto it = down.rbegin(); it != down.rend(); ++it) {
      const DirNode* step = *it;
      std::shared_ptr<TOpenFolder> next =
          open ? open->OpenChild(step->Name, error) : Owner.Setup.Listing->OpenRoot(step->Name, error);
      if (next && !Owner.Setup.Builder->WalkedBy(next->Self().Device, next->Self().Inode, step)) {
        next.reset();
        error = ESTALE;  // replaced by another folder since it was read
      }
      if (!next) {
        std::lock_guard<std::mutex> hold(Lock);
        if (Unreachable.insert(step).second) failed = step;
        return nullptr;
      }
      open = Owner.Counted(std::move(next));
      std::lock_guard<std::mutex> hold(Lock);
      const auto entry = Entries.find(step);
      if (entry != Entries.end() && !entry->second.Folder) Store(step, entry->second, open);
    }
    return open;
  }

 private:
  struct TEntry {
    std::shared_ptr<TOpenFolder> Folder;  // null while closed
    size_t Waiting;  // subfolders not yet begun
  };

  // Under Lock: keeps `folder` open for `node`'s entry if room can be made for it.
  void Store(const DirNode* node, TEntry& entry, const std::shared_ptr<TOpenFolder>& folder) {
    for (auto it = OpenByDepth.begin(); Owner.OpenNow.load(std::memory_order_relaxed) > Owner.HoldLimit &&
                                        it != OpenByDepth.end() && it->first < node->Depth;) {
      TEntry& other = Entries.find(it->second)->second;
      // One that a thread holds would stay open all the same.
      if (other.Folder.use_count() > 1) {
        ++it;
        continue;
      }
      other.Folder.reset();
      it = OpenByDepth.erase(it);
    }
    if (Owner.OpenNow.load(std::memory_order_relaxed) > Owner.HoldLimit) return;
    entry.Folder = folder;
    OpenByDepth.insert({node->Depth, node});
  }

  TParallelWalk& Owner;
  std::mutex Lock;
  std::unordered_map<const DirNode*, TEntry> Entries;  // folders with subfolders waiting
  std::set<std::pair<int32_t, const DirNode*>> OpenByDepth;  // those of them open
  std::unordered_set<const DirNode*> Unreachable;  // could not be reached again: told once
};

int TParallelWalk::ThreadsWithin(size_t budget, int wanted) {
  // Each thread may hold a folder it reads, one it opens and one on the way to it; the rest of
  // the budget keeps folders open for the subfolders waiting, which needs a share of its own.
  const size_t fit = budget / 8;
  return static_cast<int>(std::min<size_t>(static_cast<size_t>(std::max(wanted, 1)), std::max<size_t>(fit, 1)));
}

TParallelWalk::TParallelWalk(int threads, TSetup setup)
    : Setup(std::move(setup)),
      // Besides the folders kept open, each thread may be reading one, opening one, reaching one
      // through another, and one more may wait in a chunk of files.
      HoldLimit(Setup.Budget > 5 * static_cast<size_t>(threads) + 3 ? Setup.Budget - 5 * static_cast<size_t>(threads) - 2 : 1),
      ChunkLimit(2),
      Kept(std::make_unique<TOpenFolders>(*this)) {
  // Every thread's state is made before any thread starts: they look at each other's.
  for (int i = 0; i < std::max(threads, 1); ++i)
    States.push_back(std::make_unique<TThreadState>(*Setup.Builder, States.size()));
  Workers.reserve(States.size() - 1);
  try {
    for (size_t i = 1; i < States.size(); ++i) {
      TThreadState* state = States[i].get();
      Workers.emplace_back([this, state] { Run(*state); });
    }
  } catch (const std::system_error&) {
    // Short of threads or of address space: the walk goes on with the threads it has.
  }
}

TParallelWalk::~TParallelWalk() {
  {
    std::lock_guard<std::mutex> hold(Lock);
    Ending.store(true);
  }
  Ready.notify_all();
  for (std::thread& worker : Workers) worker.join();
}

bool TParallelWalk::Stopping() const {
  return Setup.StopFlag->load(std::memory_order_relaxed) != 0 || OutOfMemory.load(std::memory_order_relaxed);
}

void TParallelWalk::Run(TThreadState& my) {
  for (;;) {
    if (WorkOnce(my)) continue;
    if (Ending.load()) return;
    Idle(false);
  }
}

bool TParallelWalk::WorkOnce(TThreadState& my) {
  // Chunks first: they hold folders open, and finish what was begun.
  if (ChunksWaiting.load(std::memory_order_relaxed) > 0) {
    TChunk chunk;
    {
      std::lock_guard<std::mutex> hold(Lock);
      if (!Chunks.empty()) {
        chunk = std::move(Chunks.front());
        Chunks.pop_front();
        ChunksWaiting.fetch_sub(1);
        Queued.fetch_sub(1);
      }
    }
    if (chunk.Folder) {
      Examine(chunk, my);
      Done();
      return true;
    }
  }
  TTask task{nullptr};
  {
    std::lock_guard<std::mutex> hold(my.StackLock);
    if (!my.Stack.empty()) {
      task = std::move(my.Stack.back());
      my.Stack.pop_back();
    }
  }
  for (size_t k = 1; !task.Node && k < States.size() && Queued.load(std::memory_order_relaxed) > 0; ++k) {
    TThreadState& other = *States[(my.Index + k) % States.size()];
    std::lock_guard<std::mutex> hold(other.StackLock);
    if (!other.Stack.empty()) {
      task = std::move(other.Stack.front());
      other.Stack.pop_front();
    }
  }
  if (!task.Node) return false;
  Queued.fetch_sub(1);
  Process(task, my);
  Done();
  return true;
}

void TParallelWalk::Done() {
  if (Pending.fetch_sub(1) != 1) return;
  std::lock_guard<std::mutex> hold(Lock);
  Ready.notify_all();
}

void TParallelWalk::Idle(bool caller) {
  std::unique_lock<std::mutex> hold(Lock);
  // Counted asleep before looking: one that queues work after the look sees a sleeper to wake.
  Sleeping.fetch_add(1);
  if (Queued.load() == 0 && !(caller ? Pending.load() == 0 : Ending.load())) Ready.wait(hold);
  Sleeping.fetch_sub(1);
}

void TParallelWalk::Wake(size_t count) {
  count = std::min(count, Sleeping.load());
  if (count == 0) return;
  {
    std::lock_guard<std::mutex> hold(Lock);  // a thread about to sleep has looked, or waits
  }
  for (size_t i = 0; i < count; ++i) Ready.notify_one();
}

void TParallelWalk::Walk(DirNode* top) {
  TThreadState& my = *States.front();
  Pending.fetch_add(1);
  {
    std::lock_guard<std::mutex> hold(my.StackLock);
    my.Stack.push_back(TTask{top});
  }
  Queued.fetch_add(1);
  for (;;) {
    if (WorkOnce(my)) continue;
    if (Pending.load() == 0) return;  // nothing queued and nothing running: all done
    Idle(true);
  }
}

std::shared_ptr<TOpenFolder> TParallelWalk::Counted(std::shared_ptr<TOpenFolder> folder) {
  // Counted while open, so that folders are kept open for waiting subfolders only as the
  // budget allows.
  OpenNow.fetch_add(1, std::memory_order_relaxed);
  TOpenFolder* raw = folder.get();
  return std::shared_ptr<TOpenFolder>(raw, [this, keep = std::move(folder)](TOpenFolder*) mutable {
    keep.reset();
    OpenNow.fetch_sub(1, std::memory_order_relaxed);
  });
}

void TParallelWalk::Process(TTask& task, TThreadState& my) {
  DirNode* node = task.Node;
  const bool top = !node->Parent;  // opened by its path
  TTreeBuilder::TPart& part = my.Part;
  try {
    std::shared_ptr<TOpenFolder> parent = top ? nullptr : Kept->Begin(node->Parent);
    if (Stopping() && !top) {
      SawStop.store(true, std::memory_order_relaxed);
      part.Drop(node);  // never begun
      return;
    }
    if (Setup.Builder->Gone(node)) return;  // walked afresh under an earlier name
    int error = 0;
    if (!parent && !top) {
      const DirNode* failed = nullptr;
      parent = Kept->Reach(node->Parent, error, failed);
      if (!parent) {
        // What lies below it can no longer be reached: the rest of it is not walked.
        if (failed) part.Problem(TScanProblem::ReadFolder, failed, error);
        part.Drop(node);
        return;
      }
    }
    std::shared_ptr<TOpenFolder> folder = top ? Setup.Listing->OpenRoot(node->Name, error) : parent->OpenChild(node->Name, error);
    if (!folder) {
      if (!top && error == ENOENT) {
        part.Drop(node);  // gone since the listing: nothing is left of it to count
        return;
      }
      // Unlistable, it still has blocks of its own; a top folder is examined by its path.
      TEntryStat unread;
      const int unexamined = top ? Setup.Listing->ExamineRoot(node->Name, unread) : parent->Examine(node->Name, unread);
      if (unexamined == 0 && (!top || unread.Folder)) {
        node->OwnSize = node->TotalSize = unread.DiskSize;
        StampNode(*node, unread);
      }
      part.Problem(TScanProblem::ReadFolder, node, error);
      return;
    }
    parent.reset();
    const TEntryStat self = folder->Self();
    StampNode(*node, self);  // a folder met twice keeps its own time too
    if (Setup.Builder->Claim(node, self.Device, self.Inode) != TTreeBuilder::TClaim::Walk) return;
    node->OwnSize = node->TotalSize = self.DiskSize;
    List(node, Counted(std::move(folder)), my);
  } catch (const std::bad_alloc&) {
    // What was made stays, as after a stop; nothing further is begun. Subfolders made but not
    // queued, and files not handed on, go again, if there is room to say so.
    OutOfMemory.store(true, std::memory_order_relaxed);
    part.OutOfMemory();
    try {
      for (const TTask& lost : my.NewTasks) part.Drop(lost.Node);
      for (DirNode* file : my.Chunk.Files) part.Drop(file);
    } catch (const std::bad_alloc&) {
    }
    my.NewTasks.clear();
    my.Chunk = TChunk{};
  }
}

void TParallelWalk::List(DirNode* node, const std::shared_ptr<TOpenFolder>& folder, TThreadState& my) {
  DirNode* last = nullptr;
  my.NameBytes.clear();
  my.NameStarts.clear();
  uint32_t entries = 0;
  bool whole = true;  // the first read brought everything: its files were examined with it
  bool going = true;
  TTreeBuilder::TPart& part = my.Part;
  for (bool first = true; going && folder->Read(my.Batch, BatchEntries, first); first = false) {
    if (!first || my.Batch.Size() >= BatchEntries) whole = false;
    for (size_t i = 0; i < my.Batch.Size(); ++i) {
      if (++entries % EntriesBetweenStops == 0 && Setup.StopFlag->load(std::memory_order_relaxed)) {
        SawStop.store(true, std::memory_order_relaxed);
        going = false;
        break;
      }
      const TListedEntry& entry = my.Batch[i];
      if (entry.Folder) {
        my.NameStarts.push_back(my.NameBytes.size());
        my.NameBytes.insert(my.NameBytes.end(), entry.Name, entry.Name + std::strlen(entry.Name) + 1);
        continue;
      }
      DirNode* file = part.File(entry.Name, node, last);
      if (entry.Error)
        part.Problem(TScanProblem::Examine, file, entry.Error);
      else if (entry.Examined)
        part.FileSizes(*file, entry.Stat);
      else
        my.Chunk.Files.push_back(file);
    }
    part.Publish();
    if (!my.Chunk.Files.empty()) QueueChunk(my, folder);
    // Past the first read, files are left for whichever thread is free.
    if (whole) break;
  }
  if (const int error = folder->Error()) part.Problem(TScanProblem::ReadFolder, node, error);
  if (my.NameStarts.empty()) return;

  my.Sorted.clear();
  for (const size_t start : my.NameStarts) my.Sorted.push_back(my.NameBytes.data() + start);
  std::sort(my.Sorted.begin(), my.Sorted.end(), [](const char* a, const char* b) { return std::strcmp(a, b) < 0; });
  my.NewTasks.clear();
  for (const char* name : my.Sorted) {
    if (Setup.MayEnter && !Setup.MayEnter(node, name)) continue;
    my.NewTasks.push_back(TTask{part.Folder(name, node, last)});
  }
  if (my.NewTasks.empty()) return;
  Kept->Keep(node, folder, my.NewTasks.size());
  QueueTasks(my);
}

void TParallelWalk::QueueTasks(TThreadState& my) {
  const size_t count = my.NewTasks.size();
  if (count == 0) return;
  // Counted before another thread can take one and be done with it.
  Pending.fetch_add(count);
  Queued.fetch_add(count);
  {
    std::lock_guard<std::mutex> hold(my.StackLock);
    // The first subfolder on top: taken first, so that the walk goes deep before wide and the
    // folders kept open stay few.
    for (auto it = my.NewTasks.rbegin(); it != my.NewTasks.rend(); ++it) my.Stack.push_back(std::move(*it));
  }
  my.NewTasks.clear();
  // This thread takes one itself.
  Wake(count - 1);
}

void TParallelWalk::QueueChunk(TThreadState& my, const std::shared_ptr<TOpenFolder>& folder) {
  my.Chunk.Folder = folder;
  TChunk help;
  bool helping = false;
  bool wake = false;
  Pending.fetch_add(1);
  {
    std::lock_guard<std::mutex> hold(Lock);
    Chunks.push_back(std::move(my.Chunk));
    // The reader makes nodes faster than the others examine them: it lends a hand.
    if (Chunks.size() > ChunkLimit) {
      help = std::move(Chunks.front());
      Chunks.pop_front();
      helping = true;
    } else {
      ChunksWaiting.fetch_add(1);
      Queued.fetch_add(1);
    }
    // A thread woken takes the reader's core for a while: only when the threads awake are
    // too few for what waits.
    const size_t asleep = Sleeping.load();
    wake = asleep > 0 && Chunks.size() + 1 > Workers.size() + 1 - asleep;
  }
  my.Chunk = TChunk{};
  if (wake) Ready.notify_one();
  if (helping) {
    Examine(help, my);
    Done();
  }
}

void TParallelWalk::Examine(TChunk& chunk, TThreadState& my) {
  TEntryStat stat;
  try {
    for (DirNode* file : chunk.Files) {
      const int error = chunk.Folder->Examine(file->Name, stat);
      if (error == ENOENT)
        my.Part.Drop(file);  // removed since the listing: nothing is left to count
      else if (error)
        my.Part.Problem(TScanProblem::Examine, file, error);
      else
        my.Part.FileSizes(*file, stat);
    }
  } catch (const std::bad_alloc&) {
    OutOfMemory.store(true, std::memory_order_relaxed);
    my.Part.OutOfMemory();
  }
  chunk.Folder.reset();
  chunk.Files.clear();
}

void TParallelWalk::Finish() {
  {
    std::lock_guard<std::mutex> hold(Lock);
    Ending.store(true);
  }
  Ready.notify_all();
  for (std::thread& worker : Workers) worker.join();
  Workers.clear();
}

}  // namespace ostrel
