// TThreadLoader walks one folder, or every suitable drive, on a thread of its own and builds the
// DirNode tree. It counts folders as it goes, honours a stop request at the start of the next
// folder, and when the walk ends sends its completion message synchronously to NotifyWindow
// (unless that is NoWindow) and waits until it has been handled.
//
// The walk differs from a plain listing of names in ways a user relies on: sizes count in full
// 64 bits; symbolic links are never followed; path length and depth are unlimited; file names
// are kept byte-exact; an unreadable or vanished folder is an empty folder node. Each drive's
// walk stays on its own file system; a file system mounted inside a one-path scan is entered
// only when an all-drives scan would include it as a drive.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/drives.h"
#include "platform/thread.h"
#include "platform/winmsg.h"
#include "scan/dirnode.h"
#include "scan/strman.h"

namespace ostrel {

struct TSearch;

// Whether an all-drives scan includes a drive of `type`; `floppy` marks the drives that
// "includefloppy" governs (A: and B: on a system with drive letters).
bool DriveIncluded(int type, bool floppy, int includefloppy, int includecd, int includenet);

// The same decision with the switches as they stand in ScanSettings now.
bool DriveIncludedNow(const TDrive& drive);

class TThreadLoader : public TThread {
 public:
  // With `createSuspended` false the walk starts at once, with the defaults below.
  explicit TThreadLoader(bool createSuspended);
  // Waits for the walk to end, then frees the tree. The program itself never destroys a
  // loader whose tree may still be shown.
  ~TThreadLoader() override;

  // Set up while suspended. Path: the folder to scan, exactly as it will name the root; empty
  // for all drives.
  std::string Path = "C:\\";
  std::atomic<THandle> NotifyWindow{NoWindow};
  std::atomic<uint32_t> NotifyMessage{0};
  // Where the drives come from; a test points it at a list of its own.
  std::vector<TDrive> (*DriveSource)() = &ListDrives;

  // Root of the finished tree; null until the walk is done, and null when a stop came before
  // the first folder. Read it only from the completion message onwards, or after WaitFor.
  DirNode* Root = nullptr;
  std::atomic<int32_t> FileCount{0};
  std::atomic<int32_t> FolderCount{0};
  // Nonzero: make no further folder. Set by the owner, never cleared by the walk.
  std::atomic<int32_t> StopFlag{0};

 protected:
  // The walk, then the completion notice: a message NotifyMessage with wParam 0 and lParam
  // this loader, so that a window can tell a detached scan's notice from its own.
  void Execute() override;

 private:
  // Makes, fills and returns one folder node (null after a stop). `name` and `parentPath` live
  // as long as the tree; ListPath holds the folder's path, and with `parentSearch` given the
  // folder is opened relative to it.
  DirNode* ScanFolder(DirNode* parent, const char* parentPath, TSearch* parentSearch,
                      bool listed, const char* name, int32_t depth);
  void AddFileNode(DirNode* folder, const char* parentPath, const char* name, uint64_t size,
                   int32_t depth);
  // Prepares the crossing test for a walk rooted at `listRoot` whose real location is `real`.
  void PrepareMounts(const std::string& listRoot, const std::string& real);
  // For a subfolder whose path is in ListPath: true when the walk may enter it.
  bool MayEnter() const;

  TNodeArena Arena;
  // Shared by all levels of the walk: only one folder's subfolder names are gathered at a time.
  TStringManager Names{sizeof(StrEntry), 10, 0, nullptr};
  std::string ListPath;  // the folder being walked; grows and shrinks with the recursion
  std::vector<TDrive> Drives;
  // Mount points below the current walk's root, as paths relative to it.
  std::unordered_map<std::string, const TDrive*> MountsBelow;
  size_t RootPrefixLength = 0;
  bool AllDrives = false;
};

}  // namespace ostrel
