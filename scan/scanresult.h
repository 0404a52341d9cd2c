// What a finished scan is, whoever made it (a walk, a scan file read back): its tree with the
// arena the nodes live in, what could not be read, folders met twice, files with several names,
// how it ended and what it counted. Readers of a result include this, not the walker.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "scan/dirnode.h"
#include "scan/scanproblem.h"

namespace ostrel {

// How a scan ended: everything read, cut short by a stop, or cut short because memory ran out
// (the tree then holds what was read, as after a stop).
enum class TScanEnd { Complete, Stopped, OutOfMemory };

// One name of a file with several: the sizes it has whichever name carries it. Only the first
// name in the tree's order carries them; the others show 0.
struct TLinkedName {
  DirNode* Node;
  uint64_t Device;
  uint64_t Inode;
  uint64_t DiskSize;
  uint64_t Size;
};

struct TScanResult {
  // Every node and name of the tree; freed with the result, never node by node.
  std::unique_ptr<TNodeArena> Arena = std::make_unique<TNodeArena>();
  std::vector<std::unique_ptr<TNodeArena>> Grafts;  // the arenas of folders walked afresh (PutRescan)
  // Null when a stop came before the first folder, or while the scan runs.
  DirNode* Root = nullptr;
  std::vector<TScanProblem> Problems;    // in the tree's order
  std::vector<TRepeatedFolder> Repeats;  // in the tree's order of their nodes
  std::vector<TLinkedName> Links;        // every name of files with several, in the tree's order
  TScanEnd Ending = TScanEnd::Complete;
  int32_t Folders = 0;
  int32_t Files = 0;
  // The root is a list of drives (All Drives), whose children are top-level nodes named by
  // their whole paths.
  bool AllDrives = false;
  // Some total passed MaxBytes and shows MaxBytes: totals above it are capped, not exact.
  bool Saturated = false;
};

}  // namespace ostrel
