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
// One thread walks: it lists the folders in the tree's order and makes every node. The files'
// examinations (most of a walk's time) are shared out to a few more threads (TWalkPool), which also opens subfolders ahead of the walk.
// When the walk is done, a settling pass on the walk's thread gives each file with several
// names to its first name in the tree's order, puts Problems in that order and adds up the
// totals, so that the tree is the same for any number of threads.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/dirlist.h"
#include "platform/listing.h"
#include "platform/drives.h"
#include "platform/thread.h"
#include "platform/winmsg.h"
#include "scan/dirnode.h"
#include "scan/parallelwalk.h"
#include "scan/walkpool.h"
#include "scan/inodemap.h"
#include "scan/scanproblem.h"
#include "scan/strman.h"

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
inline constexpr int MostScanThreads = 64;

// How a walk ended: everything walked, cut short by StopFlag, or cut short because memory ran
// out (the tree then holds what was walked, as after a stop).
enum class TScanEnd { Complete, Stopped, OutOfMemory };

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
  // For an owner that is no window: called on the walk's thread once the walk has ended, after
  // the completion message (if any) was handled; empty for none. Set up while suspended; it
  // must neither destroy the loader nor wait for it.
  std::function<void(TThreadLoader&)> OnDone;
  // Where the drives come from; read once, on the loader's thread, as the walk starts. Empty
  // counts as no drives.
  TDriveSource DriveSource = ListDrives;
  // Where folders are read from: the file system, or a test's own listing.
  std::shared_ptr<TListing> Listing = SystemListing();
  // The most bytes the tree may take; 0 for no limit but the system's. Past it the walk ends
  // as it does when memory runs out.
  size_t MemoryLimit = 0;
  // Threads that share the walk, the walk's own included: 1 examines every file on the walk's
  // thread. Clamped to 1..MostScanThreads.
  int Threads = DefaultScanThreads();

  // Root of the finished tree; null until the walk is done, and null when a stop came before
  // the first folder. Read it, and the results below, only from the completion message
  // onwards, or after WaitFor.
  DirNode* Root = nullptr;
  std::atomic<int32_t> FileCount{0};
  std::atomic<int32_t> FolderCount{0};
  // Nonzero: make no further folder. Set by the owner, never cleared by the walk.
  std::atomic<int32_t> StopFlag{0};

  // In the tree's order (depth first, a folder's files before its subfolders).
  std::vector<TScanProblem> Problems;
  std::vector<TRepeatedFolder> Repeats;
  TScanEnd Ending = TScanEnd::Complete;

 protected:
  // The walk, then the completion notice: a message NotifyMessage with wParam 0 and lParam
  // this loader, so that a window can tell a detached scan's notice from its own; then OnDone.
  void Execute() override;

 private:
  // A folder that has been listed and whose subfolders are being walked, one after another.
  // The walk keeps a stack of them instead of recursing, so depth costs no stack; the folder's
  // descriptor is kept only while subfolders remain and the budget allows (see EnsureOpen).
  struct TFrame {
    DirNode* Node;
    DirNode* Parent;          // joined when the folder is complete; null for a scan's root
    // Null once closed; files still being examined may keep the folder itself open longer.
    std::shared_ptr<TOpenFolder> Folder;
    uint64_t Device;
    uint64_t Inode;
    std::vector<const char*> Subfolders;  // sorted names, pointing into SubfolderNames
    std::vector<char> SubfolderNames;     // freed with the frame: a walked folder's name lives
                                          // on as the tail of its path
    size_t Next;              // the first subfolder not yet begun
    DirNode* Last;            // the node's last child so far, to append after
    uint64_t Seq;             // the node's place in the tree's order
    // Subfolders opened ahead of the walk, by their index in Subfolders; null for the others.
    std::vector<std::shared_ptr<TFolderAhead>> Ahead;
    size_t AheadNext;         // the first subfolder not yet handed to the pool
  };
  // How many subfolders of a folder the pool opens ahead of the walk at most.
  static constexpr size_t AheadWindow = 4;
  // Something that could not be read, with its node's place in the tree's order.
  struct TFoundProblem {
    uint64_t Seq;
    TScanProblem Problem;
  };

  // Walks the folder `path`, named by that path, as a top-level node below `parent`.
  DirNode* WalkTop(DirNode* parent, const char* path, int32_t depth);
  // Walks the frames above `base` until they are all complete.
  void WalkFrames(size_t base);
  // Opens and walks (or records) subfolder `name` of frame `index`.
  void EnterSubfolder(size_t index, const char* name);
  // Has the pool open frame `index`'s next few subfolders ahead of the walk, as room allows.
  void GoAhead(size_t index);
  // Lists the top frame's folder, going on from `first`, its first entries (unless `complete`,
  // they are all): its files become nodes, its subfolders' names are sorted, and `children`,
  // subfolders a helper opened ahead, are kept for when the walk enters them.
  void ListTop(const TEntryBatch& first, bool complete, std::vector<std::shared_ptr<TFolderAhead>>& children);
  // Takes one batch of entries; false when a stop came.
  bool ListBatch(TFrame& frame, const TEntryBatch& batch, uint32_t& entries);
  void AddFileNode(TFrame& folder, const TListedEntry& entry);
  // Joins a folder node just made: one that could not be opened (`opened.Folder` null, with its
  // error and, when known, its own blocks) or was met before is appended to `parent` after `last` as it is; any
  // other gets a frame and is listed. True when a frame was pushed.
  bool AdmitFolder(DirNode* node, uint64_t seq, DirNode* parent, DirNode*& last, TFolderAhead& opened);
  // After the walk: every file examined, each linked file counted by its first name, Problems
  // in the tree's order, totals added up.
  void Settle(DirNode* root);
  // The same after a walk shared by threads (Parallel), which settles by the tree's order.
  void SettleShared(DirNode* root);
  // Pushes a frame for the open folder, then lists it.
  void PushFrame(DirNode* node, uint64_t seq, DirNode* parent, TFolderAhead& opened);
  // Closes the top frame, sets its total and joins it to its parent.
  void FinishTop();
  // A folder node in `parent` (null at the top), counted; `seq` is set to its place in the
  // tree's order.
  DirNode* NewFolderNode(const char* name, const DirNode* parent, int32_t depth, uint64_t& seq);
  // A node from the arena, numbered in the tree's order (nodes are made in that order).
  DirNode* NewNode();
  void AddProblem(TScanProblem::TKind kind, const DirNode* node, uint64_t seq, int error);

  // Descriptors: at most Budget frames hold one. The shallowest is closed to make room and
  // reopened, relative to the nearest open frame below it and checked by inode, when the walk
  // comes back to it.
  bool EnsureOpen(size_t index);
  void MakeRoom(size_t keep);
  void CloseFrame(TFrame& frame);

  bool Stop();
  // Prepares the crossing test for a walk rooted at `listRoot` whose real location is `real`.
  void PrepareMounts(const std::string& listRoot, const std::string& real);
  // For the subfolder at `path` (below the current walk's root): true when the walk may enter it.
  bool MayEnter(const DirNode* folder, const char* name) const;

  TNodeArena Arena;
  uint64_t NodesMade = 0;
  std::unique_ptr<TWalkPool> Pool;
  std::unique_ptr<TParallelWalk> Parallel;  // set when threads share the walk
  std::vector<TFoundProblem> Found;
  std::vector<TLinkedFile> Linked;  // files with several names examined on the walk's thread
  // Shared by all levels of the walk: only one folder's subfolder names are gathered at a time.
  TStringManager Names{sizeof(StrEntry), 10, 0, nullptr};
  TEntryBatch Batch;  // one folder's entries at a time
  std::vector<TFrame> Frames;
  DirNode* Top = nullptr;  // the node of the current WalkTop
  DirNode* TopLast = nullptr;  // the last top-level node so far (the drives below All Drives)
  TInodeMap Inodes;  // every folder, and every file with more than one name
  size_t OpenCount = 0;
  size_t Budget = 0;
  size_t ShallowestOpen = 0;  // no frame below this one holds a descriptor
  bool StopSeen = false;
  std::vector<TDrive> Drives;
  // Mount points below the current walk's root, as paths relative to it.
  std::unordered_map<std::string, const TDrive*> MountsBelow;
  size_t RootPrefixLength = 0;
  bool AllDrives = false;
};

}  // namespace ostrel
