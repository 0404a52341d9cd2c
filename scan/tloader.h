// TThreadLoader walks one folder, or every suitable drive, on a thread of its own and builds the
// DirNode tree. It counts folders as it goes, honours a stop request at the next folder (and
// every thousand entries within one), and when the walk ends sends its completion message
// synchronously to NotifyWindow (unless that is NoWindow) and waits until it has been handled,
// then calls OnDone (unless that is empty). A front end sets one up through PrepareScan
// (scanstart.h).
//
// The walk differs from a plain listing of names in ways a user relies on: sizes count in full
// 64 bits, on disk and apparent; every inode counts once, so a file with several names and a
// folder reached twice (a bind mount) are counted by the name met first in the tree's order;
// symbolic links are never followed; depth is limited by nothing but the disk (no recursion, a
// bounded number of open descriptors); names are kept byte-exact; what cannot be read is an
// empty node and is recorded in Problems. Each drive's walk stays on its own file system; a
// file system mounted inside a one-path scan is entered only when an all-drives scan would
// include it as a drive.
//
// One walk (TParallelWalk) on one thread or several: the threads take whole folders each,
// nearest first, and make their nodes where they belong through a TTreeBuilder, which decides
// by the tree's order which name counts for an inode met under several and settles the tree
// once the walk is done, so that the tree is the same for any number of threads.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/listing.h"
#include "platform/drives.h"
#include "platform/winmsg.h"
#include "scan/dirnode.h"
#include "scan/parallelwalk.h"
#include "scan/treebuilder.h"
#include "scan/scanresult.h"
#include "scan/scanview.h"
#include "scan/treejob.h"

namespace ostrel {

// The message with which a scan thread reports to NotifyWindow that its walk has ended (wParam
// 0, lParam the TThreadLoader). The window's handle routes it to the window's ScanCompleted.
inline constexpr uint32_t ScanDoneMessage = WmUser + 101;

// Whether an all-drives scan includes a drive of `type`; `floppy` marks the drives that
// "includefloppy" governs (A: and B: on a system with drive letters).
bool DriveIncluded(int type, bool floppy, int includefloppy, int includecd, int includenet);

// The same decision with the switches as they stand in ScanSettings now.
bool DriveIncludedNow(const TDrive& drive);

// How many threads a scan uses unless told otherwise: four per core, at least 4 and at most 16.
// Examinations mostly wait, on the kernel or on the disk, so more threads than cores pay.
int DefaultScanThreads();

class TThreadLoader : public TTreeJob {
 public:
  // With `createSuspended` false the walk starts at once, with the defaults below.
  explicit TThreadLoader(bool createSuspended);
  // Waits for the walk to end, then frees the tree. The program itself never destroys a
  // loader whose tree may still be shown.
  ~TThreadLoader() override;

  // Set up while suspended. Path: the folder to scan, exactly as it will name the root; empty
  // for all drives.
  std::string Path = "C:\\";
  // For an owner that is no window: called on the walk's thread once the walk has ended, after
  // the completion message (if any) was handled; empty for none. Set up while suspended; it
  // must neither destroy the loader nor wait for it.
  std::function<void(TThreadLoader&)> OnDone;
  // Where the drives come from; read once, on the loader's thread, as the walk starts. Empty
  // counts as no drives.
  TDriveSource DriveSource = ListDrives;
  // Where folders are read from: the file system, or a test's own listing.
  std::shared_ptr<TListing> Listing = SystemListing();
  // When Listing records the numbers of what it lists (a TIdListing), the same object as
  // those numbers; null otherwise.
  std::shared_ptr<const TEntryIds> IdRecord;
  // The most bytes the tree may take; 0 for no limit but the system's. Past it the walk ends
  // as it does when memory runs out.
  size_t MemoryLimit = 0;
  // Threads that share the walk, the walk's own included: 1 examines every file on the walk's
  // thread. Clamped to 1..MostScanThreads.
  int Threads = DefaultScanThreads();

  // The finished scan: read it only from the completion message onwards, or after WaitFor.
  // Its Root is null when a stop came before the first folder.
  TScanResult Result;
  // Counted while the walk runs; any thread may read them.
  std::atomic<int32_t> FileCount{0};
  std::atomic<int32_t> FolderCount{0};

  int32_t FoldersSoFar() const override { return FolderCount.load(std::memory_order_relaxed); }
  const TScanResult& Outcome() const override { return Result; }
  TScanResult& Outcome() override { return Result; }
  const TEntryIds* Ids() const override { return IdRecord.get(); }

 protected:
  // The walk, then the completion notice: a message NotifyMessage with wParam 0 and lParam
  // this loader, so that a window can tell a detached scan's notice from its own; then OnDone.
  void Execute() override;

 private:
  bool Stop();
  // Prepares the crossing test for a walk rooted at `listRoot` whose real location is `real`.
  void PrepareMounts(const std::string& listRoot, const std::string& real);
  // For the subfolder at `path` (below the current walk's root): true when the walk may enter it.
  bool MayEnter(const DirNode* folder, const char* name) const;
  // Walks the top-level folders: the root, or each drive included below All Drives.
  DirNode* WalkTops(TTreeBuilder::TPart& part, TParallelWalk& walk);

  bool StopSeen = false;
  std::vector<TDrive> Drives;
  // Mount points below the current walk's root, as paths relative to it.
  std::unordered_map<std::string, const TDrive*> MountsBelow;
  size_t RootPrefixLength = 0;
  bool AllDrives = false;
};

// The view of a walk that has ended.
inline TScanView ViewOf(const TThreadLoader& loader) { return ViewOf(loader.Result); }

}  // namespace ostrel
