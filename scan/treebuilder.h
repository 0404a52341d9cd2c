// The one place where a scan's tree is made, whoever produces its entries: a walk on any
// number of threads, or a scan file read back. It makes every node (from the result's arena),
// records what could not be read, decides which name counts for an inode met under several,
// and, after the last entry, settles the tree into its TScanResult.
//
// Each producing thread feeds a part of its own (TPart: its share of the arena and its own
// records), so that no lock is taken per node. A walk decides folders met twice as it goes
// (Claim: it must not walk one twice); a producer whose entries do not come in the tree's order
// (a scan file) names each folder's inode instead (FolderId) and leaves the decision to Settle.
//
// The tree's order: a folder, then its files in the order given, then its subfolders in byte
// order of their names, each in turn. By it, and only by it, the first name of a file with
// several carries its sizes (the others show 0), the first name of a folder met twice keeps its
// contents (the others are empty nodes of size 0, in Repeats), and problems are told; so the
// outcome does not depend on which thread met what first.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/dirlist.h"
#include "scan/dirnode.h"
#include "scan/inodemap.h"
#include "scan/scanproblem.h"
#include "scan/scanresult.h"

namespace ostrel {

// The node's own modification time and inode tag from what the system said of it.
inline void StampNode(DirNode& node, const TEntryStat& stat) {
  node.MTime = NodeTime(stat.MTime);
  node.InodeTag = InodeTagOf(stat.Inode);
}

class TTreeBuilder {
 public:
  // Nodes go into `result`; `folders` and `files` count them as they are made (any thread may
  // read them meanwhile) and lose what Settle takes out again.
  TTreeBuilder(TScanResult& result, std::atomic<int32_t>& folders, std::atomic<int32_t>& files);
  TTreeBuilder(const TTreeBuilder&) = delete;
  TTreeBuilder& operator=(const TTreeBuilder&) = delete;
  ~TTreeBuilder();

  // One producing thread's share. Its calls need no lock; one thread at a time uses it.
  class TPart {
   public:
    // A new node named `name` joined after `last` (the last child of `parent` so far, null
    // for none; it becomes the node). A top-level node (`top`: a scan's root, a drive below
    // All Drives) has no Parent and is named by its whole path. Throws std::bad_alloc.
    DirNode* Folder(std::string_view name, DirNode* parent, DirNode*& last, bool top = false);
    DirNode* File(std::string_view name, DirNode* parent, DirNode*& last);
    // A file's sizes, in both measures, and its time and inode tag, from what the system said
    // of it; one with several names is settled by the tree's order (a later name keeps its
    // time).
    void FileSizes(DirNode& file, const TEntryStat& stat);
    // The sizes alone from a producer's own numbers; `linked`: the inode may have further names.
    void FileSizes(DirNode& file, uint64_t disk, uint64_t apparent, bool linked, uint64_t device, uint64_t inode);
    // Folder (device, inode), for Settle to tell whether it was met before in the tree's order.
    // Not with Claim: for a producer that leaves folders met twice to Settle.
    void FolderId(DirNode* folder, uint64_t device, uint64_t inode);
    void Problem(TScanProblem::TKind kind, const DirNode* node, int error);
    // Takes `node` out of the tree, with all below it: gone since listed, or never begun.
    void Drop(DirNode* node);
    // Memory ran out for this part: the scan ends as it does then.
    void OutOfMemory() { RanOut = true; }
    // Makes the files made so far show in the count.
    void Publish();

   private:
    friend class TTreeBuilder;
    struct TId {
      DirNode* Node;
      uint64_t Device;
      uint64_t Inode;
    };
    TPart(TTreeBuilder& builder);
    DirNode* Make(std::string_view name, DirNode* parent, DirNode*& last, int32_t kind, bool top);
    TTreeBuilder& Builder;
    TArenaShare Share;
    std::vector<TId> Links;  // files with more than one name
    std::vector<TScanProblem> Problems;
    std::vector<DirNode*> Dropped;
    int32_t UnpublishedFiles = 0;
    bool RanOut = false;
  };
  // A new part; made before its thread starts, lives as long as the builder.
  TPart& AddPart();

  // A walk's claim on folder (device, inode), opened as `node`; any thread. The first name to
  // arrive claims it; a name earlier in the tree's order that arrives later takes the claim
  // over, and what the later name walked leaves the tree in Settle.
  enum class TClaim {
    Walk,    // this name walks the folder
    Repeat,  // an earlier name walks it: `node` stays an empty node
    Gone,    // `node` lies in what leaves the tree: nothing to do
  };
  TClaim Claim(DirNode* node, uint64_t device, uint64_t inode);
  // Whether folder (device, inode) is walked by `node`; any thread.
  bool WalkedBy(uint64_t device, uint64_t inode, const DirNode* node);
  // Whether `node` lies in what leaves the tree; any thread.
  bool Gone(const DirNode* node);

  // After the last entry, with every part's thread done: the tree below `root` (null for
  // none) becomes the result's. With `ordered` false each folder's children are first put in
  // the tree's order. Then links, folders met twice and problems are decided in that order,
  // what was dropped leaves the tree and the counts, and the totals are added up. `ending` is
  // how the producer ended (OutOfMemory when a part ran out wins).
  void Settle(DirNode* root, bool ordered, TScanEnd ending);

 private:
  bool GoneLocked(const DirNode* node) const;
  TScanResult& Result;
  std::atomic<int32_t>& Folders;
  std::atomic<int32_t>& Files;
  std::mutex ArenaLock;
  std::vector<std::unique_ptr<TPart>> Parts;
  TInodeMap Inodes;  // every folder claimed or named, and in Settle every file with several names
  // Claims of a walk: names that lost theirs (their contents leave), and folders met twice.
  std::mutex ClaimLock;
  std::atomic<bool> AnyLost{false};  // for a look without the lock while nothing is lost
  std::unordered_set<const DirNode*> Lost;
  std::vector<TPart::TId> Repeats;
  // A scan file's folders whose inode came under several names, to be decided in Settle.
  std::vector<TPart::TId> Contested;
};

}  // namespace ostrel
