#include "scan/dirnode.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "platform/thread.h"
#include "scan/paths.h"

namespace ostrel {

void LinkChild(DirNode* parent, DirNode*& last, DirNode* child) {
  child->NextSibling = nullptr;
  if (!parent) return;
  if (!last)
    parent->FirstChild = child;
  else
    last->NextSibling = child;
  last = child;
}

bool AddUpTotals(DirNode* root, const std::unordered_set<const DirNode*>* drop) {
  if (!root || root->Kind != NodeFolder) return false;
  bool saturated = false;
  struct TLevel {
    DirNode* Folder;
    DirNode* Prev;  // the last child kept so far
    DirNode* Next;  // the next child to visit
  };
  std::vector<TLevel> levels;
  const auto enter = [&levels](DirNode* folder) {
    folder->TotalSize = folder->OwnSize;
    folder->ApparentSize = 0;
    levels.push_back(TLevel{folder, nullptr, folder->FirstChild});
  };
  const auto add = [&saturated](DirNode* folder, const DirNode* child) {
    folder->TotalSize = AddBytes(folder->TotalSize, child->TotalSize, saturated);
    folder->ApparentSize = AddBytes(folder->ApparentSize, child->ApparentSize, saturated);
    folder->MTime = std::max(folder->MTime, child->MTime);
  };
  enter(root);
  while (!levels.empty()) {
    TLevel& level = levels.back();
    DirNode* child = level.Next;
    if (!child) {
      const DirNode* done = level.Folder;
      levels.pop_back();
      if (!levels.empty()) add(levels.back().Folder, done);
      continue;
    }
    level.Next = child->NextSibling;
    if (drop && drop->count(child)) {
      (level.Prev ? level.Prev->NextSibling : level.Folder->FirstChild) = child->NextSibling;
      continue;
    }
    level.Prev = child;
    if (child->Kind == NodeFolder)
      enter(child);  // `level` is not used after this: the push may move it
    else
      add(level.Folder, child);
  }
  return saturated;
}

void CountBelow(const DirNode& node, int32_t& files, int32_t& folders) {
  std::vector<const DirNode*> below;
  for (const DirNode* child = node.FirstChild; child; child = child->NextSibling) below.push_back(child);
  while (!below.empty()) {
    const DirNode* n = below.back();
    below.pop_back();
    ++(n->Kind == NodeFile ? files : folders);
    for (const DirNode* child = n->FirstChild; child; child = child->NextSibling) below.push_back(child);
  }
}

void JoinPath(std::string& path, std::string_view name) {
  AddPathSeparator(path);
  path += name;
}

std::string ParentPathOf(const DirNode& node) {
  if (!node.Parent) return {};
  // From the top-level folder down: gather the names on the way up, then join them.
  std::vector<const char*> names;
  for (const DirNode* up = node.Parent; up; up = up->Parent) names.push_back(up->Name ? up->Name : "");
  std::string path = names.back();
  for (auto it = names.rbegin() + 1; it != names.rend(); ++it) JoinPath(path, *it);
  return path;
}

std::string FullPath(const DirNode& node) {
  if (!node.Parent) return node.Name ? node.Name : "";
  std::string path = ParentPathOf(node);
  JoinPath(path, node.Name);
  return path;
}

// Blocks are large enough that the heap is asked rarely; a string longer than a block gets a
// block of its own.
namespace {
// A little under 256 KiB, so that with the heap's own header a block fills its pages exactly.
constexpr size_t BlockBytes = 256 * 1024 - 64;
}

struct TNodeArena::Block {
  Block* Next;
};

TNodeArena::~TNodeArena() {
  while (Blocks) {
    Block* next = Blocks->Next;
    std::free(Blocks);
    Blocks = next;
  }
}

char* TNodeArena::Take(size_t bytes, bool top) {
  if (!Cursor || static_cast<size_t>(End - Cursor) < bytes) {
    const size_t size = std::max(BlockBytes, bytes + sizeof(Block));
    if (Limit && ReservedBytes + size > Limit) throw std::bad_alloc();
    auto* block = static_cast<Block*>(std::malloc(size));
    if (!block) throw std::bad_alloc();
    // A block is filled whole, from both ends.
    FillPagesNow(block, size);
    block->Next = Blocks;
    Blocks = block;
    ReservedBytes += size;
    Cursor = reinterpret_cast<char*>(block + 1);
    End = reinterpret_cast<char*>(block) + size;
  }
  if (top) return End -= bytes;
  char* start = Cursor;
  Cursor += bytes;
  return start;
}

char* TNodeArena::TakeSlice(size_t bytes, size_t& got) {
  bytes = (bytes + alignof(DirNode) - 1) / alignof(DirNode) * alignof(DirNode);
  char* start = Take(bytes, false);
  const size_t rest = static_cast<size_t>(End - Cursor) / alignof(DirNode) * alignof(DirNode);
  got = bytes;
  if (rest < bytes) {
    Cursor += rest;
    got += rest;
  }
  return start;
}

namespace {
const char* StringAt(char* mem, std::string_view text) {
  std::memcpy(mem, text.data(), text.size());
  mem[text.size()] = '\0';
  return mem;
}
}  // namespace

DirNode* TNodeArena::NewNode() {
  // Nodes fill a block from the bottom, strings from the top: neither pads for the other.
  static_assert(sizeof(DirNode) % alignof(DirNode) == 0 && alignof(Block) % alignof(DirNode) == 0);
  return new (Take(sizeof(DirNode), false)) DirNode{};
}

const char* TNodeArena::CopyString(std::string_view text) { return StringAt(Take(text.size() + 1, true), text); }

namespace {
// Small enough that a few threads' unfilled slices cost nothing to speak of, large enough that
// the lock is taken once per couple of hundred nodes.
constexpr size_t SliceBytes = 16 * 1024;
}  // namespace

char* TArenaShare::Take(size_t bytes, bool top) {
  if (static_cast<size_t>(End - Cursor) < bytes) {
    std::lock_guard<std::mutex> hold(Lock);
    size_t got = 0;
    // A string longer than a slice gets room of its own.
    if (bytes > SliceBytes / 4) return Arena.TakeSlice(bytes, got);
    Cursor = Arena.TakeSlice(SliceBytes, got);
    End = Cursor + got;
  }
  if (top) return End -= bytes;
  char* start = Cursor;
  Cursor += bytes;
  return start;
}

DirNode* TArenaShare::NewNode() {
  static_assert(SliceBytes % alignof(DirNode) == 0);
  return new (Take(sizeof(DirNode), false)) DirNode{};
}

const char* TArenaShare::CopyString(std::string_view text) { return StringAt(Take(text.size() + 1, true), text); }

}  // namespace ostrel
