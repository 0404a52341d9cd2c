// The scanned tree: one DirNode per folder and per file, each with its own size and the total
// of everything below it. The scan thread builds a tree and hands it over whole; from then on
// it is read-only. Nodes and their strings come from a TNodeArena that belongs to the tree's
// owner (its TScanResult), so a tree goes in one piece and nothing is freed node by node.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>

#include "scan/sizes.h"

namespace ostrel {

inline constexpr int32_t NodeFile = 1;
inline constexpr int32_t NodeFolder = 2;

// A tree may hold millions of nodes, so the record keeps only what readers need once it is
// built, in 68 bytes (packed to 4-byte alignment): the children's sum is TotalSize less
// OwnSize (ChildrenSizeOf), the last child is needed only while appending (the builder keeps
// it), the parent's path is found through Parent (ParentPathOf), and Kind and Depth share one
// word.
struct __attribute__((packed, aligned(4))) DirNode {
  const char* Name;         // arena string: the entry's name; a top-level node's path or label
  // The folder that holds the node; null for a top-level node (a scan's root, a drive below
  // All Drives), whose Name is its whole path. Paths are derived (FullPath, ParentPathOf)
  // rather than kept, so that a deep tree costs no more than a flat one per node.
  const DirNode* Parent;
  // Sizes in bytes. The first two measure space used on disk (allocated blocks), as du does
  // by default. Totals saturate at MaxBytes (AddBytes).
  uint64_t OwnSize;         // a file's blocks; a folder's own blocks (its listing's space)
  uint64_t TotalSize;       // OwnSize + the children's TotalSize: what readers outside the scan use
  // The other measure, apparent size: a file's length, a folder's sum of its children's
  // (folders themselves count 0 here). Read both through SizeOf/OwnSizeOf.
  uint64_t ApparentSize;
  uint32_t MTime;           // seconds since 1970 (0: unknown); a folder's is the newest at or below it
  uint32_t InodeTag;        // the low 32 bits of the entry's inode number (0: unknown)
  int32_t Kind : 8;         // NodeFile or NodeFolder
  int32_t Depth : 24;       // 0 for the root, parent's Depth + 1 below it (up to MaxNodeDepth)
  DirNode* FirstChild;      // owned through the arena; null when there is none
  DirNode* NextSibling;     // next child of the same parent; null for the last one
};

static_assert(sizeof(DirNode) == 68, "a tree of millions of nodes pays for every byte here");

// The deepest level a node can record.
inline constexpr int32_t MaxNodeDepth = (1 << 23) - 1;

// A time in seconds since 1970 as a node keeps it: 0 (unknown) for one before 1970, capped at
// 2^32 - 1 past that.
inline uint32_t NodeTime(int64_t seconds) {
  return seconds <= 0 ? 0 : seconds >= int64_t{UINT32_MAX} ? UINT32_MAX : static_cast<uint32_t>(seconds);
}
// The tag a node keeps of an inode number: its low 32 bits.
inline uint32_t InodeTagOf(uint64_t inode) { return static_cast<uint32_t>(inode & 0xffffffffu); }

// The sum of the children's TotalSize (as far as a saturated total still tells it); 0 for a file.
inline uint64_t ChildrenSizeOf(const DirNode& node) { return LessBytes(node.TotalSize, node.OwnSize); }

// Appends `child` after `last`, the parent's last child so far (null when it has none), and
// makes `last` the child; sizes are left alone. With `parent` null only the child's
// NextSibling is cleared.
void LinkChild(DirNode* parent, DirNode*& last, DirNode* child);
// Sets every folder's TotalSize and ApparentSize below and at `root` from its own blocks and
// its children's (files keep theirs), first taking out of the tree the nodes in `drop` (may be
// null), with all that lies below them. A folder's MTime, its own time on the way in, becomes
// the newest of it and its children's. Without recursion: any depth costs no stack. Returns
// true when some sum passed MaxBytes and was capped there.
bool AddUpTotals(DirNode* root, const std::unordered_set<const DirNode*>* drop);

// A later name of a file counted already, a folder met twice and what could not be read have
// size 0 in both measures; see TTreeBuilder.
enum class TMeasure { DiskUsage, Apparent };

// A node's total in the chosen measure.
inline uint64_t SizeOf(const DirNode& node, TMeasure measure) {
  return measure == TMeasure::Apparent ? node.ApparentSize : node.TotalSize;
}
// The part of that total that is the node's own: a file's size, a folder's own blocks (0 in
// apparent size). A chart's "(files)" point is this plus the folder's file children.
inline uint64_t OwnSizeOf(const DirNode& node, TMeasure measure) {
  if (measure == TMeasure::DiskUsage) return node.OwnSize;
  return node.Kind == NodeFolder ? 0 : node.ApparentSize;
}

// Adds the files and folders below `node` (itself not included) to `files` and `folders`.
// Without recursion.
void CountBelow(const DirNode& node, int32_t& files, int32_t& folders);

// The path of the folder that holds the node, as its children share it: empty for a
// top-level node.
std::string ParentPathOf(const DirNode& node);
// The node's full path: Name alone for a top-level node, otherwise ParentPathOf made to end
// in a separator, followed by Name.
std::string FullPath(const DirNode& node);
// Appends `name` to `path` with a separator between them (none when `path` ends in one).
void JoinPath(std::string& path, std::string_view name);

// Bump allocator for nodes and their strings. Single-threaded; frees everything at once.
// Throws std::bad_alloc when the heap refuses, or when taking more would pass Limit.
class TNodeArena {
 public:
  TNodeArena() = default;
  // The most bytes the arena may take from the heap; 0 for no limit but the heap's.
  size_t Limit = 0;
  TNodeArena(const TNodeArena&) = delete;
  TNodeArena& operator=(const TNodeArena&) = delete;
  ~TNodeArena();

  // A node with every field zero or null.
  DirNode* NewNode();
  // A NUL-terminated copy of `text`.
  const char* CopyString(std::string_view text);
  // Bytes taken from the heap so far.
  size_t Reserved() const { return ReservedBytes; }
  // At least `bytes` of room for nodes and strings, aligned for a node, for TArenaShare to fill;
  // `got` is set to how much. What a block would have left over, too little for another slice,
  // comes with the last slice of it.
  char* TakeSlice(size_t bytes, size_t& got);

 private:
  // `bytes` from the current block's bottom (nodes) or top (strings); a new block when full.
  char* Take(size_t bytes, bool top);
  struct Block;
  Block* Blocks = nullptr;
  char* Cursor = nullptr;  // the free space of the current block: [Cursor, End)
  char* End = nullptr;
  size_t ReservedBytes = 0;
};

// One thread's share of an arena that several threads fill at once: slices taken from it
// under `lock`, then filled without it. The arena still owns and frees everything.
class TArenaShare {
 public:
  TArenaShare(TNodeArena& arena, std::mutex& lock) : Arena(arena), Lock(lock) {}
  TArenaShare(const TArenaShare&) = delete;
  TArenaShare& operator=(const TArenaShare&) = delete;
  DirNode* NewNode();
  const char* CopyString(std::string_view text);

 private:
  char* Take(size_t bytes, bool top);
  TNodeArena& Arena;
  std::mutex& Lock;
  char* Cursor = nullptr;  // the slice's free space: [Cursor, End)
  char* End = nullptr;
};

}  // namespace ostrel
