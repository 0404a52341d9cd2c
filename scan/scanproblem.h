// What a walk reports besides the tree: what it could not read, and folders it met twice.
#pragma once

#include "scan/dirnode.h"

namespace ostrel {

// Something the walk could not read. The node stays in the tree: a folder as an empty node
// that keeps its own blocks when they could be read, an entry as a file node of size 0.
struct TScanProblem {
  enum TKind { ReadFolder, Examine };
  TKind Kind;
  const DirNode* Node;
  int Error;  // the system's error number; strerror gives the reason
};

// A folder met a second time (a bind mount, a mount of an ancestor): an empty node of size 0.
struct TRepeatedFolder {
  const DirNode* Node;
  const DirNode* First;  // the name that carries its contents
};

}  // namespace ostrel
