// The largest files anywhere below a folder, for the window's file list: found in one pass
// with a bounded heap, so a tree of millions of files costs no sort of its own.
#pragma once
#include <cstddef>
#include <string_view>
#include <vector>

#include "scan/dirnode.h"

namespace ostrel {

// The `count` largest files (Kind NodeFile) at any depth below `folder` in `measure`, largest
// first; files of equal size in byte order of their full paths (FullPath), so the list is the
// same whatever order the walk met the names in. Files of size 0 in the measure are left out:
// they are not large, and most are later names of a hard link whose size an earlier name
// carries, which would show "0" beside a file that does take room. Fewer than `count` when
// there are fewer such files. With `nameContains` not empty, only files whose name contains it
// (ContainsNoCase) are taken. O(n log count) for n nodes below, without recursion.
std::vector<const DirNode*> LargestFilesBelow(const DirNode& folder, size_t count, TMeasure measure,
                                              std::string_view nameContains = {});

// Whether `a`'s full path sorts before `b`'s in byte order, found from the names where the two
// paths part, without building either path. Both must be in the same tree.
bool FullPathBefore(const DirNode& a, const DirNode& b);

}  // namespace ostrel
