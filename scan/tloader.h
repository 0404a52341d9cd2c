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
#include <vector>

#include "platform/drives.h"
#include "platform/thread.h"
#include "platform/winmsg.h"
#include "scan/dirnode.h"

namespace ostrel {

struct TSearch;

// Whether an all-drives scan includes a drive of `type`; `floppy` marks the drives that
// "includefloppy" governs (A: and B: on a system with drive letters).
bool DriveIncluded(int type, bool floppy, int includefloppy, int includecd, int includenet);

class TThreadLoader : public TThread {
 public:
  // With `createSuspended` false the walk starts at once (of the set-up below, only the
  // defaults apply then).
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

  // Root of the finished tree; null until the walk is done. Read it only from the completion
  // message onwards, or after WaitFor.
  DirNode* Root = nullptr;
  std::atomic<int32_t> FileCount{0};
  std::atomic<int32_t> FolderCount{0};
  // Nonzero: make no further folder. Set by the owner, never cleared by the walk.
  std::atomic<int32_t> StopFlag{0};

 protected:
  void Execute() override;

 private:
  struct TMounts;
  DirNode* ScanFolder(DirNode* parent, const char* parentPath, TSearch* parentSearch,
                      const char* listName, std::string listPath, std::string_view name,
                      int32_t depth, uint64_t device);
  void AddFileNode(DirNode* folder, const char* parentPath, const char* name, uint64_t size,
                   int32_t depth);
  bool EntersMount(const std::string& path, uint64_t device, uint64_t parentDevice) const;

  TNodeArena Arena;
  std::vector<TDrive> Drives;
  std::vector<std::string> MountPoints;  // sorted, for the crossing test
  bool AllDrives = false;
};

}  // namespace ostrel
