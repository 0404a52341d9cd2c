// Trees made by hand, for tests that need exact shapes and sizes without a walk.
#pragma once
#include <algorithm>

#include "scan/dirnode.h"
#include "scan/sizes.h"

namespace ostrel::test {

// Appends `child` as the last child of `parent` (found along the siblings) and adds its sizes
// to the parent's (and its time, when newer); true when a total was capped at MaxBytes. With `parent` null only the
// child's NextSibling is cleared.
inline bool AddChild(DirNode* parent, DirNode* child) {
  DirNode* last = parent ? parent->FirstChild : nullptr;
  while (last && last->NextSibling) last = last->NextSibling;
  LinkChild(parent, last, child);
  if (!parent) return false;
  bool saturated = false;
  parent->TotalSize = AddBytes(parent->TotalSize, child->TotalSize, saturated);
  parent->ApparentSize = AddBytes(parent->ApparentSize, child->ApparentSize, saturated);
  parent->MTime = std::max(parent->MTime, child->MTime);
  return saturated;
}

// A new node `name` of `kind`, `disk` bytes its own and its total, `apparent` bytes long, of
// time `mtime`, at `parent`'s depth + 1, appended to `parent` (when not null) by AddChild.
inline DirNode* NewNode(TNodeArena& arena, DirNode* parent, const char* name, int32_t kind, uint64_t disk = 0,
                        uint64_t apparent = 0, uint32_t mtime = 0) {
  DirNode* node = arena.NewNode();
  node->Name = arena.CopyString(name);
  node->Parent = parent;
  node->Kind = kind;
  node->Depth = parent ? parent->Depth + 1 : 0;
  node->OwnSize = node->TotalSize = disk;
  node->ApparentSize = apparent;
  node->MTime = mtime;
  AddChild(parent, node);
  return node;
}

}  // namespace ostrel::test
