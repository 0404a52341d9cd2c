#include "scan/dirnode.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "scan/paths.h"

namespace ostrel {

void AddChild(DirNode* parent, DirNode* child) {
  child->NextSibling = nullptr;
  if (!parent) return;
  if (!parent->LastChild)
    parent->FirstChild = child;
  else
    parent->LastChild->NextSibling = child;
  parent->LastChild = child;
  parent->ChildrenSize += child->TotalSize;
  parent->ApparentSize += child->ApparentSize;
}

std::string FullPath(const DirNode& node) {
  if (!node.ParentPath || !*node.ParentPath) return node.Name ? node.Name : "";
  std::string path = node.ParentPath;
  AddPathSeparator(path);
  path += node.Name;
  return path;
}

// Blocks are large enough that the heap is asked rarely; a string longer than a block gets a
// block of its own.
namespace {
constexpr size_t BlockBytes = 256 * 1024;
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

void* TNodeArena::Allocate(size_t bytes, size_t align) {
  auto aligned = [&](char* p) {
    return reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(p) + align - 1) & ~(align - 1));
  };
  char* start = Cursor ? aligned(Cursor) : nullptr;
  if (!start || start + bytes > End) {
    size_t size = std::max(BlockBytes, bytes + sizeof(Block) + align);
    if (Limit && ReservedBytes + size > Limit) throw std::bad_alloc();
    auto* block = static_cast<Block*>(std::malloc(size));
    if (!block) throw std::bad_alloc();
    block->Next = Blocks;
    Blocks = block;
    ReservedBytes += size;
    Cursor = reinterpret_cast<char*>(block + 1);
    End = reinterpret_cast<char*>(block) + size;
    start = aligned(Cursor);
  }
  Cursor = start + bytes;
  return start;
}

DirNode* TNodeArena::NewNode() {
  void* mem = Allocate(sizeof(DirNode), alignof(DirNode));
  return new (mem) DirNode{};
}

const char* TNodeArena::CopyString(std::string_view text) {
  char* mem = static_cast<char*>(Allocate(text.size() + 1, 1));
  std::memcpy(mem, text.data(), text.size());
  mem[text.size()] = '\0';
  return mem;
}

}  // namespace ostrel
