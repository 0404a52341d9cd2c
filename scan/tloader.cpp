#include "scan/tloader.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <thread>

#include "platform/files.h"
#include "scan/paths.h"
#include "scan/scansettings.h"

namespace ostrel {

bool DriveIncluded(int type, bool floppy, int includefloppy, int includecd, int includenet) {
  switch (type) {
    case DriveNoRoot: return false;
    case DriveRemovable: return !floppy || includefloppy != 0;
    case DriveRemote: return includenet != 0;
    case DriveCdRom: return includecd != 0;
    default: return true;
  }
}

bool DriveIncludedNow(const TDrive& drive) {
  return DriveIncluded(drive.Type, drive.Floppy,
                       ScanSettings.includefloppy.load(std::memory_order_relaxed),
                       ScanSettings.includecd.load(std::memory_order_relaxed),
                       ScanSettings.includenet.load(std::memory_order_relaxed));
}

TThreadLoader::TThreadLoader(bool createSuspended) {
  if (!createSuspended) Resume();
}

TThreadLoader::~TThreadLoader() {
  // The walk uses the members below; they must outlive it.
  WaitFor();
}

int DefaultScanThreads() {
  const int cores = static_cast<int>(std::thread::hardware_concurrency());
  return std::clamp(4 * cores, 4, 16);
}

void TThreadLoader::PrepareMounts(const std::string& listRoot, const std::string& real) {
  MountsBelow.clear();
  std::string prefix = listRoot;
  AddPathSeparator(prefix);
  RootPrefixLength = prefix.size();
  if (real.empty()) return;
  std::string realPrefix = real;
  AddPathSeparator(realPrefix);
  for (const TDrive& drive : Drives) {
    if (drive.Root.size() > realPrefix.size() && drive.Root.compare(0, realPrefix.size(), realPrefix) == 0)
      MountsBelow.emplace(drive.Root.substr(realPrefix.size()), &drive);
  }
}

bool TThreadLoader::MayEnter(const DirNode* folder, const char* name) const {
  if (MountsBelow.empty()) return true;
  std::string path = FullPath(*folder);
  JoinPath(path, name);
  auto it = MountsBelow.find(path.substr(RootPrefixLength));
  if (it == MountsBelow.end()) return true;
  // Another drive: an all-drives scan walks it by itself (or leaves it out by its type).
  return !AllDrives && DriveIncludedNow(*it->second);
}

bool TThreadLoader::Stop() {
  if (!StopFlag.load(std::memory_order_relaxed)) return false;
  StopSeen = true;
  return true;
}

void TThreadLoader::Execute() {
  FileCount.store(0, std::memory_order_relaxed);
  FolderCount.store(0, std::memory_order_relaxed);
  Arena.Limit = MemoryLimit;
  Budget = std::max<size_t>(Listing->OpenFolderBudget(), 2);
  const int sharing = TParallelWalk::ThreadsWithin(Budget, std::clamp(Threads, 1, MostScanThreads));
  AllDrives = Path.empty();

  DirNode* root = nullptr;
  try {
    if (sharing > 1)
      Parallel = std::make_unique<TParallelWalk>(
          sharing, TParallelWalk::TSetup{Listing.get(), &Arena, &Inodes, &StopFlag, &FileCount, &FolderCount,
                                         [this](const DirNode* folder, const char* name) { return MayEnter(folder, name); },
                                         Budget});
    Drives = DriveSource ? DriveSource() : std::vector<TDrive>{};
    if (!AllDrives) {
      PrepareMounts(Path, ResolvedPath(Path));
      root = WalkTop(nullptr, Arena.CopyString(Path), 0);
    } else {
      root = Stop() ? nullptr : NewFolderNode(Arena.CopyString("All Drives"), nullptr, 0);
      for (const TDrive& drive : Drives) {
        if (!root) break;
        if (!DriveIncludedNow(drive)) continue;
        PrepareMounts(drive.Root, drive.Root);
        WalkTop(root, Arena.CopyString(drive.Root), 1);
      }
    }
  } catch (const std::bad_alloc&) {
    // What was walked stays, complete as far as it goes, as after a stop.
    Result.Ending = TScanEnd::OutOfMemory;
    Names.Clear();
    while (!Frames.empty()) FinishTop();
    if (!AllDrives) root = Top;
  }
  try {
    Settle(root);
  } catch (const std::bad_alloc&) {
    Result.Ending = TScanEnd::OutOfMemory;
  }
  Parallel.reset();
  if (Result.Ending != TScanEnd::OutOfMemory && StopSeen) Result.Ending = TScanEnd::Stopped;
  Result.Root = root;
  Result.Folders = FolderCount.load(std::memory_order_relaxed);
  Result.Files = FileCount.load(std::memory_order_relaxed);
  Result.AllDrives = AllDrives;

  const THandle window = NotifyWindow.load();
  if (window != NoWindow)
    SendMessageSync(window, NotifyMessage.load(), 0, reinterpret_cast<std::intptr_t>(this));
  if (OnDone) OnDone(*this);
}

DirNode* TThreadLoader::NewFolderNode(const char* name, const DirNode* parent, int32_t depth) {
  DirNode* node = Arena.NewNode();
  FolderCount.fetch_add(1, std::memory_order_relaxed);
  node->Name = name;
  node->Parent = parent;
  node->Kind = NodeFolder;
  node->Depth = depth;
  return node;
}

void TThreadLoader::Settle(DirNode* root) {
  TWalkRecords found = std::move(Found);
  if (Parallel) {
    TWalkRecords shared = Parallel->Finish();
    if (Parallel->Stopped()) StopSeen = true;
    found.Links.insert(found.Links.end(), shared.Links.begin(), shared.Links.end());
    found.Problems.insert(found.Problems.end(), shared.Problems.begin(), shared.Problems.end());
    found.Repeats.insert(found.Repeats.end(), shared.Repeats.begin(), shared.Repeats.end());
    found.Dropped.insert(found.Dropped.end(), shared.Dropped.begin(), shared.Dropped.end());
    found.OutOfMemory = found.OutOfMemory || shared.OutOfMemory;
    FileCount.fetch_sub(shared.LostFiles, std::memory_order_relaxed);
    FolderCount.fetch_sub(shared.LostFolders, std::memory_order_relaxed);
  }
  if (found.OutOfMemory) Result.Ending = TScanEnd::OutOfMemory;
  TSettled settled = SettleWalk(root, std::move(found), Inodes);
  Result.Problems = std::move(settled.Problems);
  Result.Repeats = std::move(settled.Repeats);
  Result.Links = std::move(settled.Links);
  Result.Saturated = settled.Saturated;
  FileCount.fetch_sub(settled.DroppedFiles, std::memory_order_relaxed);
  FolderCount.fetch_sub(settled.DroppedFolders, std::memory_order_relaxed);
}

DirNode* TThreadLoader::WalkTop(DirNode* parent, const char* path, int32_t depth) {
  if (Stop()) return nullptr;
  DirNode* node = NewFolderNode(path, nullptr, depth);
  Top = node;
  if (Parallel) {
    LinkChild(parent, TopLast, node);
    Parallel->Walk(node);
    return node;
  }
  TOpened opened;
  opened.Folder = Listing->OpenRoot(path, opened.Error);
  // Unlistable, it still has blocks of its own, counted as an unlistable subfolder's are.
  TEntryStat self;
  if (!opened.Folder && Listing->ExamineRoot(path, self) == 0 && self.Folder) opened.Unread = self;
  if (AdmitFolder(node, parent, TopLast, opened)) WalkFrames(0);
  return node;
}

bool TThreadLoader::AdmitFolder(DirNode* node, DirNode* parent, DirNode*& last, TOpened& opened) {
  if (!opened.Folder) {
    node->OwnSize = node->TotalSize = opened.Unread.DiskSize;
    Found.Problems.push_back(TScanProblem{TScanProblem::ReadFolder, node, opened.Error});
    LinkChild(parent, last, node);
    return false;
  }
  const TEntryStat& self = opened.Folder->Self();
  if (const DirNode* first = Inodes.FindOrAdd(self.Device, self.Inode, node)) {
    Found.Repeats.push_back(TRepeatedFolder{node, first});
    LinkChild(parent, last, node);
    return false;
  }
  node->OwnSize = node->TotalSize = self.DiskSize;
  // `last` may live in a frame, which the push below can move: it is not used after this.
  PushFrame(node, parent, opened);
  return true;
}

void TThreadLoader::PushFrame(DirNode* node, DirNode* parent, TOpened& opened) {
  const TEntryStat self = opened.Folder->Self();
  Frames.push_back(TFrame{node, parent, std::move(opened.Folder), self.Device, self.Inode, {}, {}, 0, nullptr});
  ++OpenCount;
  ListTop();
}

void TThreadLoader::WalkFrames(size_t base) {
  while (Frames.size() > base) {
    TFrame& top = Frames.back();
    // After a stop, subfolders not yet begun get no node at all.
    if (top.Next == top.Subfolders.size() || Stop()) {
      FinishTop();
      continue;
    }
    const char* name = top.Subfolders[top.Next++];
    EnterSubfolder(Frames.size() - 1, name);
  }
}

void TThreadLoader::EnterSubfolder(size_t index, const char* name) {
  if (!MayEnter(Frames[index].Node, name)) {
    if (Frames[index].Next == Frames[index].Subfolders.size()) CloseFrame(Frames[index]);
    return;
  }
  if (!EnsureOpen(index)) return;
  MakeRoom(index);
  TFrame& parentFrame = Frames[index];
  TOpened opened;
  opened.Folder = parentFrame.Folder->OpenChild(name, opened.Error);
  if (!opened.Folder && opened.Error != ENOENT) parentFrame.Folder->Examine(name, opened.Unread);
  DirNode* parent = parentFrame.Node;
  if (parentFrame.Next == parentFrame.Subfolders.size()) CloseFrame(parentFrame);
  // Gone since the listing: nothing is left of it to count.
  if (!opened.Folder && opened.Error == ENOENT) return;
  DirNode* node = NewFolderNode(Arena.CopyString(name), parent, parent->Depth + 1);
  AdmitFolder(node, parent, Frames[index].Last, opened);
}

bool TThreadLoader::ListBatch(TFrame& frame, const TEntryBatch& batch, uint32_t& entries) {
  for (size_t i = 0; i < batch.Size(); ++i) {
    // A folder of a million entries must not hold up a stop.
    if (++entries % 1000 == 0 && Stop()) return false;
    const TListedEntry& entry = batch[i];
    if (entry.Folder)
      Names.Add(entry.Name);
    else
      AddFileNode(frame, entry);
  }
  return true;
}

void TThreadLoader::ListTop() {
  TFrame& frame = Frames.back();
  uint32_t entries = 0;
  for (bool going = true; going && frame.Folder->Read(Batch, 256, true);) going = ListBatch(frame, Batch, entries);
  if (const int error = frame.Folder->Error())
    Found.Problems.push_back(TScanProblem{TScanProblem::ReadFolder, frame.Node, error});
  if (Names.Count > 0) {
    // The names move out, in order, so that the list is free again for the next folder.
    StrEntry* const sorted = Names.Sort(0, nullptr);
    size_t bytes = 0;
    for (StrEntry* e = sorted; e; e = e->ListNext) bytes += std::strlen(e->Str) + 1;
    frame.SubfolderNames.reserve(bytes);
    frame.Subfolders.reserve(static_cast<size_t>(Names.Count));
    for (StrEntry* e = sorted; e; e = e->ListNext) {
      frame.Subfolders.push_back(frame.SubfolderNames.data() + frame.SubfolderNames.size());
      frame.SubfolderNames.insert(frame.SubfolderNames.end(), e->Str, e->Str + std::strlen(e->Str) + 1);
    }
    Names.Clear();
  }
  if (frame.Subfolders.empty()) CloseFrame(frame);
}

void TThreadLoader::AddFileNode(TFrame& folder, const TListedEntry& rec) {
  const char* name = Arena.CopyString(rec.Name);
  DirNode* node = Arena.NewNode();
  FileCount.fetch_add(1, std::memory_order_relaxed);
  node->Name = name;
  node->Parent = folder.Node;
  node->Kind = NodeFile;
  node->Depth = folder.Node->Depth + 1;
  LinkChild(folder.Node, folder.Last, node);
  TEntryStat stat = rec.Stat;
  // Examined as read; a listing that left it unexamined is asked now.
  int error = rec.Error;
  if (!error && !rec.Examined) error = folder.Folder->Examine(rec.Name, stat);
  if (error) {
    Found.Problems.push_back(TScanProblem{TScanProblem::Examine, node, error});
    return;
  }
  SetFileSizes(*node, stat);
  if (stat.Links > 1) Found.Links.push_back(TWalkRecords::TLink{node, stat.Device, stat.Inode});
}

void TThreadLoader::FinishTop() {
  TFrame& frame = Frames.back();
  CloseFrame(frame);
  LinkChild(frame.Parent, Frames.size() >= 2 ? Frames[Frames.size() - 2].Last : TopLast, frame.Node);
  Frames.pop_back();
  if (ShallowestOpen > Frames.size()) ShallowestOpen = Frames.size();
}

void TThreadLoader::CloseFrame(TFrame& frame) {
  if (!frame.Folder) return;
  frame.Folder.reset();
  --OpenCount;
}

void TThreadLoader::MakeRoom(size_t keep) {
  // One more descriptor is about to be opened.
  while (OpenCount + 1 > Budget) {
    size_t i = ShallowestOpen;
    while (i < Frames.size() && (!Frames[i].Folder || i == keep)) ++i;
    if (i >= Frames.size()) return;
    CloseFrame(Frames[i]);
    ShallowestOpen = std::min(i + 1, keep);
  }
}

bool TThreadLoader::EnsureOpen(size_t index) {
  if (Frames[index].Folder) return true;
  // Back down from the nearest frame that is still open, or from the walk's root by its path,
  // each step relative to the one above and checked to be the folder listed before.
  size_t from = index;
  while (from > 0 && !Frames[from - 1].Folder) --from;
  for (size_t k = from; k <= index; ++k) {
    TFrame& frame = Frames[k];
    MakeRoom(k == 0 ? index : k - 1);
    int error = 0;
    std::shared_ptr<TOpenFolder> folder =
        k == 0 ? Listing->OpenRoot(frame.Node->Name, error) : Frames[k - 1].Folder->OpenChild(frame.Node->Name, error);
    if (folder && (folder->Self().Device != frame.Device || folder->Self().Inode != frame.Inode)) {
      folder.reset();
      error = ESTALE;  // replaced by another folder while the walk was elsewhere
    }
    if (k > 0 && k - 1 >= from && Frames[k - 1].Next == Frames[k - 1].Subfolders.size()) CloseFrame(Frames[k - 1]);
    if (!folder) {
      // What lies below it can no longer be reached: the rest of these folders is not walked.
      Found.Problems.push_back(TScanProblem{TScanProblem::ReadFolder, frame.Node, error});
      for (size_t j = k; j <= index; ++j) Frames[j].Next = Frames[j].Subfolders.size();
      return false;
    }
    frame.Folder = std::move(folder);
    ++OpenCount;
    if (k < ShallowestOpen) ShallowestOpen = k;
  }
  return true;
}

}  // namespace ostrel
