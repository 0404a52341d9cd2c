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

}  // namespace ostrel::test
