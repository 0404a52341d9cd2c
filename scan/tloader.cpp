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
  Result.Arena->Limit = MemoryLimit;
  // Each thread may hold a folder it reads, one it opens and one on the way to it.
  const size_t budget = std::max<size_t>(Listing->OpenFolderBudget(), 3);
  const int threads = TParallelWalk::ThreadsWithin(budget, std::clamp(Threads, 1, MostScanThreads));
  AllDrives = Path.empty();

  TTreeBuilder builder(Result, FolderCount, FileCount);
  TTreeBuilder::TPart& tops = builder.AddPart();
  DirNode* root = nullptr;
  std::unique_ptr<TParallelWalk> walk;
  try {
    walk = std::make_unique<TParallelWalk>(
        threads, TParallelWalk::TSetup{Listing.get(), &builder, &StopFlag,
                                       [this](const DirNode* folder, const char* name) { return MayEnter(folder, name); },
                                       budget});
    Drives = DriveSource ? DriveSource() : std::vector<TDrive>{};
    root = WalkTops(tops, *walk);
  } catch (const std::bad_alloc&) {
    // What was walked stays, complete as far as it goes, as after a stop.
    tops.OutOfMemory();
  }
  if (walk) {
    walk->Finish();
    if (walk->Stopped()) StopSeen = true;
  }
  walk.reset();  // every folder closed
  try {
    builder.Settle(root, true, StopSeen ? TScanEnd::Stopped : TScanEnd::Complete);
  } catch (const std::bad_alloc&) {
    Result.Ending = TScanEnd::OutOfMemory;
  }
  Result.AllDrives = AllDrives;

  const THandle window = NotifyWindow.load();
  if (window != NoWindow)
    SendMessageSync(window, NotifyMessage.load(), 0, reinterpret_cast<std::intptr_t>(this));
  if (OnDone) OnDone(*this);
}

DirNode* TThreadLoader::WalkTops(TTreeBuilder::TPart& part, TParallelWalk& walk) {
  DirNode* last = nullptr;
  if (!AllDrives) {
    if (Stop()) return nullptr;
    PrepareMounts(Path, ResolvedPath(Path));
    DirNode* root = part.Folder(Path, nullptr, last, true);
    walk.Walk(root);
    return root;
  }
  if (Stop()) return nullptr;
  DirNode* root = part.Folder("All Drives", nullptr, last, true);
  for (const TDrive& drive : Drives) {
    // After a stop no further drive is begun.
    if (!DriveIncludedNow(drive) || Stop()) continue;
    PrepareMounts(drive.Root, drive.Root);
    DirNode* top = part.Folder(drive.Root, root, last, true);
    walk.Walk(top);
  }
  return root;
}

}  // namespace ostrel
