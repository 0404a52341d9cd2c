// What a walk found besides the tree, put in the tree's order once the walk is done. Threads
// meet files with several names and what could not be read in no particular order; the tree's
// order (a folder, its files, then its subfolders, each in turn) decides which name counts and
// in which order problems are told, so that the outcome is the same for any number of threads.
#pragma once
#include <cstdint>
#include <vector>

#include "scan/dirnode.h"
#include "scan/inodemap.h"
#include "scan/scanproblem.h"
#include "scan/scanresult.h"

namespace ostrel {

struct TWalkRecords {
  struct TLink {  // a file with more than one name
    DirNode* Node;
    uint64_t Device;
    uint64_t Inode;
  };
  std::vector<TLink> Links;
  std::vector<TScanProblem> Problems;
  std::vector<TRepeatedFolder> Repeats;
  std::vector<DirNode*> Dropped;  // to take out of the tree: gone since listed, or never begun
  bool OutOfMemory = false;
  // Nodes already taken out of the tree, walked under a name that lost its claim on a folder.
  int32_t LostFiles = 0;
  int32_t LostFolders = 0;
};

struct TSettled {
  std::vector<TScanProblem> Problems;    // in the tree's order
  std::vector<TRepeatedFolder> Repeats;  // in the tree's order of their nodes
  std::vector<TLinkedName> Links;        // every name, in the tree's order, with its sizes
  int32_t DroppedFiles = 0;
  int32_t DroppedFolders = 0;
  bool Saturated = false;  // some total passed MaxBytes and shows MaxBytes
};

// Settles `found` in the tree below `root`, which it owns: only the first name of each file in
// `Links` keeps its size (`inodes` records them); the dropped nodes leave the tree; then every
// total is added up.
TSettled SettleWalk(DirNode* root, TWalkRecords found, TInodeMap& inodes);

}  // namespace ostrel
