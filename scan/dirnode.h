// The scanned tree: one DirNode per folder and per file, each with its own size and the total
// of everything below it. The scan thread builds a tree and hands it over whole; from then on
// it is read-only. Nodes and their strings come from a TNodeArena that belongs to the tree's
// owner (the TThreadLoader), so a tree goes in one piece and nothing is freed node by node.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace ostrel {

inline constexpr int32_t NodeFile = 1;
inline constexpr int32_t NodeFolder = 2;

// Packed to 4-byte alignment: the fields keep their order, and the 8 bytes of padding that
// natural alignment would put after Kind and Depth are saved on every node of a tree that may
// hold millions.
struct __attribute__((packed, aligned(4))) DirNode {
  const char* Name;         // arena string: the entry's name; a top-level node's path or label
  const char* ParentPath;   // arena string shared by all children of one folder; "" at the top
  // The three sizes measure space used on disk (allocated blocks), as du does by default.
  double OwnSize;           // a file's blocks; a folder's own blocks (its listing's space)
  double ChildrenSize;      // sum of the children's TotalSize; 0 for a file
  double TotalSize;         // OwnSize + ChildrenSize: what readers outside the scan use
  // The other measure, apparent size: a file's length, a folder's sum of its children's
  // (folders themselves count 0 here). Read both through SizeOf/OwnSizeOf.
  double ApparentSize;
  int32_t Kind;             // NodeFile or NodeFolder
  DirNode* FirstChild;      // owned through the arena; null when there is none
  DirNode* LastChild;       // last of FirstChild's sibling chain; AddChild appends through it
  DirNode* NextSibling;     // next child of the same parent; null for the last one
  int32_t Depth;            // 0 for the root, parent's Depth + 1 below it
};

// Appends `child` as the last child of `parent` and adds the child's TotalSize as it is now to
// the parent's ChildrenSize, and its ApparentSize to the parent's (the parent's TotalSize is
// not touched). With `parent` null only the child's NextSibling is cleared.
void AddChild(DirNode* parent, DirNode* child);

// A later name of a file counted already, a folder met twice and what could not be read have
// size 0 in both measures; see TThreadLoader.
enum class TMeasure { DiskUsage, Apparent };

// A node's total in the chosen measure.
inline double SizeOf(const DirNode& node, TMeasure measure) {
  return measure == TMeasure::Apparent ? node.ApparentSize : node.TotalSize;
}
// The part of that total that is the node's own: a file's size, a folder's own blocks (0 in
// apparent size). A chart's "(files)" point is this plus the folder's file children.
inline double OwnSizeOf(const DirNode& node, TMeasure measure) {
  if (measure == TMeasure::DiskUsage) return node.OwnSize;
  return node.Kind == NodeFolder ? 0 : node.ApparentSize;
}

// The node's full path: Name alone when ParentPath is empty, otherwise ParentPath made to end
// in a separator, followed by Name.
std::string FullPath(const DirNode& node);

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

 private:
  // `bytes` from the current block's bottom (nodes) or top (strings); a new block when full.
  char* Take(size_t bytes, bool top);
  struct Block;
  Block* Blocks = nullptr;
  char* Cursor = nullptr;  // the free space of the current block: [Cursor, End)
  char* End = nullptr;
  size_t ReservedBytes = 0;
};

}  // namespace ostrel
