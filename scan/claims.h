// Which name walks a folder that threads meet under several names (a bind mount, a mount of an
// ancestor). The first name in the tree's order must, since mounts below a folder show only
// under the name they were made on; but threads reach the names in no particular order. The
// first to arrive claims the folder; a name earlier in the tree's order that arrives later takes
// the claim over and walks the folder afresh, and what was walked under the later name is
// thrown away once the walk is done (Prune).
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "scan/dirnode.h"
#include "scan/inodemap.h"
#include "scan/settle.h"

namespace ostrel {

// Whether `a` comes before `b` in the tree's order (a folder, its files, then its subfolders in
// byte order of their names). Both are folder nodes of one walk, linked in the tree.
bool EarlierInTree(const DirNode* a, const DirNode* b);

class TFolderClaims {
 public:
  explicit TFolderClaims(TInodeMap& inodes) : Inodes(inodes) {}

  enum class TClaim {
    Walk,    // this name walks the folder
    Repeat,  // an earlier name walks it: `node` stays an empty node
    Gone,    // `node` lies in what is thrown away: nothing to do
  };
  // Claims folder (device, inode), opened as `node`. Any thread.
  TClaim Claim(DirNode* node, uint64_t device, uint64_t inode);
  // Whether the folder (device, inode) is walked by `node`. Any thread.
  bool WalkedBy(uint64_t device, uint64_t inode, const DirNode* node);
  // Whether `node` lies in what is thrown away. Any thread.
  bool Gone(const DirNode* node);

  // Once the walk is done: takes out of the tree what was walked under names that lost their
  // claim, with the records that point into it, counting the nodes taken out; and adds every
  // folder met twice to `found`, with the name that walks it.
  void Prune(TWalkRecords& found, int32_t& files, int32_t& folders);

 private:
  struct TRepeat {
    DirNode* Node;
    uint64_t Device;
    uint64_t Inode;
  };
  bool GoneLocked(const DirNode* node) const;
  TInodeMap& Inodes;
  std::atomic<bool> AnyLost{false};  // for a look without the lock while nothing is lost
  std::mutex Lock;
  std::unordered_set<const DirNode*> Lost;  // names that lost their claim: their contents go
  std::vector<TRepeat> Repeats;
};

}  // namespace ostrel
