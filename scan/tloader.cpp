#include "scan/tloader.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <thread>
#include <unordered_map>
#include <unordered_set>

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
  const int threads = std::clamp(Threads, 1, MostScanThreads);
  const size_t budget = std::max<size_t>(Listing->OpenFolderBudget(), 2);
  const int sharing = TParallelWalk::ThreadsWithin(budget, threads);
  Budget = budget;
  AllDrives = Path.empty();

  DirNode* root = nullptr;
  try {
    if (sharing > 1)
      Parallel = std::make_unique<TParallelWalk>(
          sharing, TParallelWalk::TSetup{Listing.get(), &Arena, &Inodes, &StopFlag, &FileCount, &FolderCount,
                                         [this](const DirNode* folder, const char* name) { return MayEnter(folder, name); },
                                         budget});
    else
      Pool = std::make_unique<TWalkPool>(0, 0, 0, StopFlag);
    Drives = DriveSource ? DriveSource() : std::vector<TDrive>{};
    if (!AllDrives) {
      PrepareMounts(Path, ResolvedPath(Path));
      root = WalkTop(nullptr, Arena.CopyString(Path), 0);
    } else {
      uint64_t seq = 0;
      root = Stop() ? nullptr : NewFolderNode(Arena.CopyString("All Drives"), nullptr, 0, seq);
      for (const TDrive& drive : Drives) {
        if (!root) break;
        if (!DriveIncludedNow(drive)) continue;
        PrepareMounts(drive.Root, drive.Root);
        WalkTop(root, Arena.CopyString(drive.Root), 1);
      }
    }
  } catch (const std::bad_alloc&) {
    // What was walked stays, complete as far as it goes, as after a stop.
    Ending = TScanEnd::OutOfMemory;
    Names.Clear();
    while (!Frames.empty()) FinishTop();
    if (!AllDrives) root = Top;
  }
  try {
    if (Parallel)
      SettleShared(root);
    else
      Settle(root);
  } catch (const std::bad_alloc&) {
    Ending = TScanEnd::OutOfMemory;
  }
  Pool.reset();
  Parallel.reset();
  if (Ending != TScanEnd::OutOfMemory && StopSeen) Ending = TScanEnd::Stopped;
  Root = root;

  const THandle window = NotifyWindow.load();
  if (window != NoWindow)
    SendMessageSync(window, NotifyMessage.load(), 0, reinterpret_cast<std::intptr_t>(this));
  if (OnDone) OnDone(*this);
}

DirNode* TThreadLoader::NewNode() {
  DirNode* node = Arena.NewNode();
  ++NodesMade;
  return node;
}

DirNode* TThreadLoader::NewFolderNode(const char* name, const DirNode* parent, int32_t depth, uint64_t& seq) {
  DirNode* node = NewNode();
  seq = NodesMade;
  FolderCount.fetch_add(1, std::memory_order_relaxed);
  node->Name = name;
  node->Parent = parent;
  node->Kind = NodeFolder;
  node->Depth = depth;
  return node;
}

void TThreadLoader::AddProblem(TScanProblem::TKind kind, const DirNode* node, uint64_t seq, int error) {
  Found.push_back(TFoundProblem{seq, TScanProblem{kind, node, error}});
}

void TThreadLoader::Settle(DirNode* root) {
  TExamineResults examined = Pool ? Pool->Finish() : TExamineResults{};
  if (examined.OutOfMemory) Ending = TScanEnd::OutOfMemory;
  const auto bySeq = [](const auto& a, const auto& b) { return a.Seq < b.Seq; };
  // Only the first name of a file met in the tree's order carries its size.
  Linked.insert(Linked.end(), examined.Links.begin(), examined.Links.end());
  std::sort(Linked.begin(), Linked.end(), bySeq);
  for (const TLinkedFile& file : Linked) {
    if (Inodes.FindOrAdd(file.Device, file.Inode, file.Node))
      file.Node->OwnSize = file.Node->TotalSize = file.Node->ApparentSize = 0;
  }
  for (const TExamineProblem& problem : examined.Problems)
    Found.push_back(TFoundProblem{problem.Seq, TScanProblem{TScanProblem::Examine, problem.Node, problem.Error}});
  std::stable_sort(Found.begin(), Found.end(), bySeq);
  Problems.reserve(Found.size());
  for (const TFoundProblem& found : Found) Problems.push_back(found.Problem);
  const std::unordered_set<const DirNode*> dropped(examined.Dropped.begin(), examined.Dropped.end());
  FileCount.fetch_sub(static_cast<int32_t>(dropped.size()), std::memory_order_relaxed);
  AddUpTotals(root, dropped.empty() ? nullptr : &dropped);
}

namespace {

// Each node's place in the tree's order (a folder, its files, then its subfolders, each in
// turn), for the nodes that are keys of `at`.
void NumberInTreeOrder(const DirNode* root, std::unordered_map<const DirNode*, uint64_t>& at) {
  if (!root || at.empty()) return;
  uint64_t place = 0;
  std::vector<const DirNode*> next{root};
  while (!next.empty()) {
    const DirNode* node = next.back();
    next.pop_back();
    if (const auto it = at.find(node); it != at.end()) it->second = place;
    ++place;
    if (node != root && node->NextSibling) next.push_back(node->NextSibling);
    if (node->FirstChild) next.push_back(node->FirstChild);
  }
}

// Gives what `from` holds to `to`, a name met earlier in the tree's order for the same folder.
void MoveContents(DirNode& from, DirNode& to) {
  to.FirstChild = from.FirstChild;
  to.OwnSize = to.TotalSize = from.OwnSize;
  from.FirstChild = nullptr;
  from.OwnSize = from.TotalSize = from.ApparentSize = 0;
  const int32_t shift = to.Depth - from.Depth;
  for (DirNode* child = to.FirstChild; child; child = child->NextSibling) child->Parent = &to;
  if (shift == 0) return;
  std::vector<DirNode*> below;
  for (DirNode* child = to.FirstChild; child; child = child->NextSibling) below.push_back(child);
  while (!below.empty()) {
    DirNode* node = below.back();
    below.pop_back();
    node->Depth = node->Depth + shift;
    for (DirNode* child = node->FirstChild; child; child = child->NextSibling) below.push_back(child);
  }
}

}  // namespace

void TThreadLoader::SettleShared(DirNode* root) {
  TWalkRecords found = Parallel->Finish();
  if (found.OutOfMemory) Ending = TScanEnd::OutOfMemory;
  if (Parallel->Stopped()) StopSeen = true;
  std::unordered_map<const DirNode*, uint64_t> at;
  for (const auto& link : found.Links) at.emplace(link.Node, 0);
  for (const TScanProblem& problem : found.Problems) at.emplace(problem.Node, 0);
  for (const TRepeatedFolder& repeat : found.Repeats) {
    at.emplace(repeat.Node, 0);
    at.emplace(repeat.First, 0);
  }
  NumberInTreeOrder(root, at);
  // A folder met twice is walked by the name that opened it first, which need not be the first
  // in the tree's order: the contents move there, until every pair is the right way round.
  for (bool moved = true; moved;) {
    moved = false;
    for (TRepeatedFolder& repeat : found.Repeats) {
      if (at[repeat.Node] > at[repeat.First]) continue;
      // The tree is the loader's own: the records point into it.
      auto* earlier = const_cast<DirNode*>(repeat.Node);
      auto* walked = const_cast<DirNode*>(repeat.First);
      MoveContents(*walked, *earlier);
      for (TRepeatedFolder& other : found.Repeats)
        if (other.First == walked) other.First = earlier;
      repeat = TRepeatedFolder{walked, earlier};
      for (TScanProblem& problem : found.Problems)
        if (problem.Node == walked) problem.Node = earlier;
      NumberInTreeOrder(root, at);
      moved = true;
      break;
    }
  }
  const auto byPlace = [&at](const DirNode* a, const DirNode* b) { return at[a] < at[b]; };
  std::sort(found.Repeats.begin(), found.Repeats.end(),
            [&](const TRepeatedFolder& a, const TRepeatedFolder& b) { return byPlace(a.Node, b.Node); });
  Repeats = std::move(found.Repeats);
  // Only the first name of a file met in the tree's order carries its size.
  std::sort(found.Links.begin(), found.Links.end(), [&](const auto& a, const auto& b) { return byPlace(a.Node, b.Node); });
  for (const auto& file : found.Links) {
    if (Inodes.FindOrAdd(file.Device, file.Inode, file.Node))
      file.Node->OwnSize = file.Node->TotalSize = file.Node->ApparentSize = 0;
  }
  std::stable_sort(found.Problems.begin(), found.Problems.end(),
                   [&](const TScanProblem& a, const TScanProblem& b) { return byPlace(a.Node, b.Node); });
  Problems = std::move(found.Problems);
  const std::unordered_set<const DirNode*> dropped(found.Dropped.begin(), found.Dropped.end());
  int32_t files = 0;
  for (const DirNode* node : dropped) files += node->Kind == NodeFile ? 1 : 0;
  FileCount.fetch_sub(files, std::memory_order_relaxed);
  FolderCount.fetch_sub(static_cast<int32_t>(dropped.size()) - files, std::memory_order_relaxed);
  AddUpTotals(root, dropped.empty() ? nullptr : &dropped);
}

DirNode* TThreadLoader::WalkTop(DirNode* parent, const char* path, int32_t depth) {
  if (Stop()) return nullptr;
  uint64_t seq = 0;
  DirNode* node = NewFolderNode(path, nullptr, depth, seq);
  Top = node;
  if (Parallel) {
    LinkChild(parent, TopLast, node);
    Parallel->Walk(node);
    return node;
  }
  // Helpers open subfolders of subfolders ahead only where no other file system is mounted
  // below: the walk checks each such path itself before it enters (MayEnter).
  Pool->GoDeeper(MountsBelow.empty());
  TFolderAhead opened(nullptr, "", false);
  opened.Folder = Listing->OpenRoot(path, opened.Error);
  if (AdmitFolder(node, seq, parent, TopLast, opened)) WalkFrames(0);
  return node;
}

bool TThreadLoader::AdmitFolder(DirNode* node, uint64_t seq, DirNode* parent, DirNode*& last, TFolderAhead& opened) {
  if (!opened.Folder) {
    node->OwnSize = node->TotalSize = static_cast<double>(opened.Unread.DiskSize);
    AddProblem(TScanProblem::ReadFolder, node, seq, opened.Error);
    LinkChild(parent, last, node);
    return false;
  }
  const TEntryStat& self = opened.Folder->Self();
  if (const DirNode* first = Inodes.FindOrAdd(self.Device, self.Inode, node)) {
    Repeats.push_back(TRepeatedFolder{node, first});
    LinkChild(parent, last, node);
    return false;
  }
  node->OwnSize = node->TotalSize = static_cast<double>(self.DiskSize);
  // `last` may live in a frame, which the push below can move: it is not used after this.
  PushFrame(node, seq, parent, opened);
  return true;
}

void TThreadLoader::PushFrame(DirNode* node, uint64_t seq, DirNode* parent, TFolderAhead& opened) {
  const TEntryStat self = opened.Folder->Self();
  Frames.push_back(TFrame{node, parent, std::move(opened.Folder), self.Device, self.Inode, {}, {}, 0, nullptr,
                          seq, {}, 0});
  ++OpenCount;
  ListTop(opened.Entries, opened.Complete, opened.Children);
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
  TFrame& frame = Frames[index];
  const size_t k = frame.Next - 1;
  std::shared_ptr<TFolderAhead> ahead = k < frame.Ahead.size() ? std::move(frame.Ahead[k]) : nullptr;
  if (!MayEnter(frame.Node, name)) {
    if (ahead) Pool->Drop(*ahead);
    if (frame.Next == frame.Subfolders.size()) CloseFrame(frame);
    return;
  }
  std::optional<TFolderAhead> here;
  if (ahead) {
    GoAhead(index);  // the workers stay ahead of the walk while it waits
    Pool->Await(*ahead);
    MakeRoom(index);
  } else {
    if (!EnsureOpen(index)) return;
    MakeRoom(index);
    here.emplace(Frames[index].Folder, name, false);
    here->Run(false);
    GoAhead(index);
  }
  TFolderAhead& opened = ahead ? *ahead : *here;

  TFrame& parentFrame = Frames[index];
  DirNode* parent = parentFrame.Node;
  if (parentFrame.Next == parentFrame.Subfolders.size()) CloseFrame(parentFrame);
  // Gone since the listing: nothing is left of it to count.
  if (!opened.Folder && opened.Error == ENOENT) return;

  uint64_t seq = 0;
  DirNode* node = NewFolderNode(Arena.CopyString(name), parent, parent->Depth + 1, seq);
  AdmitFolder(node, seq, parent, Frames[index].Last, opened);
  // A folder met before is not walked again: what was opened below it goes unused.
  for (std::shared_ptr<TFolderAhead>& child : opened.Children) Pool->Drop(*child);
  opened.Children.clear();
  if (ahead) Pool->Recycle(std::move(ahead));
}

void TThreadLoader::GoAhead(size_t index) {
  TFrame& frame = Frames[index];
  if (!frame.Folder || !Pool->AheadRoom()) return;
  frame.AheadNext = std::max(frame.AheadNext, frame.Next);
  const size_t until = std::min(frame.Subfolders.size(), frame.Next + AheadWindow);
  if (frame.Ahead.size() < until) frame.Ahead.resize(frame.Subfolders.size());
  for (; frame.AheadNext < until && Pool->AheadRoom(); ++frame.AheadNext) {
    const char* name = frame.Subfolders[frame.AheadNext];
    if (!frame.Ahead[frame.AheadNext] && MayEnter(frame.Node, name))
      frame.Ahead[frame.AheadNext] = Pool->Ahead(frame.Folder, name);
  }
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

void TThreadLoader::ListTop(const TEntryBatch& first, bool complete,
                            std::vector<std::shared_ptr<TFolderAhead>>& children) {
  TFrame& frame = Frames.back();
  uint32_t entries = 0;
  bool going = ListBatch(frame, first, entries);
  if (!complete)
    while (going && frame.Folder->Read(Batch, 256, !Pool->Shared())) going = ListBatch(frame, Batch, entries);
  if (const int error = frame.Folder->Error()) AddProblem(TScanProblem::ReadFolder, frame.Node, frame.Seq, error);
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
  // What a helper opened below it, matched to the sorted names (both in byte order).
  if (!children.empty()) frame.Ahead.resize(frame.Subfolders.size());
  size_t k = 0;
  for (std::shared_ptr<TFolderAhead>& child : children) {
    while (k < frame.Subfolders.size() && std::strcmp(frame.Subfolders[k], child->Name().c_str()) < 0) ++k;
    if (k < frame.Subfolders.size() && child->Name() == frame.Subfolders[k])
      frame.Ahead[k++] = std::move(child);
    else
      Pool->Drop(*child);
  }
  children.clear();
  if (frame.Subfolders.empty())
    CloseFrame(frame);
  else
    GoAhead(Frames.size() - 1);
}

void TThreadLoader::AddFileNode(TFrame& folder, const TListedEntry& rec) {
  const char* name = Arena.CopyString(rec.Name);
  DirNode* node = NewNode();
  const uint64_t seq = NodesMade;
  FileCount.fetch_add(1, std::memory_order_relaxed);
  node->Name = name;
  node->Parent = folder.Node;
  node->Kind = NodeFile;
  node->Depth = folder.Node->Depth + 1;
  // Linked before it is handed on: from then on another thread may write its sizes.
  LinkChild(folder.Node, folder.Last, node);
  if (rec.Error) {
    AddProblem(TScanProblem::Examine, node, seq, rec.Error);
  } else if (!rec.Examined) {
    Pool->Add(folder.Folder, node, seq);
  } else {
    SetFileSizes(*node, rec.Stat);
    if (rec.Stat.Links > 1) Linked.push_back(TLinkedFile{seq, node, rec.Stat.Device, rec.Stat.Inode});
  }
}

void TThreadLoader::FinishTop() {
  TFrame& frame = Frames.back();
  CloseFrame(frame);
  // After a stop, or when the rest could not be reached: what was opened ahead is not taken.
  for (std::shared_ptr<TFolderAhead>& ahead : frame.Ahead) {
    if (!ahead) continue;
    Pool->Drop(*ahead);
    Pool->Recycle(std::move(ahead));
  }
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
      AddProblem(TScanProblem::ReadFolder, frame.Node, frame.Seq, error);
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
