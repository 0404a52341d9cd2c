// A finished scan changed in place, without walking it again: a file or folder taken out (the
// user deleted it), or one folder walked afresh and put where the old walk of it was. The
// totals above the change, the counts, the records pointing into the tree and which name of a
// file with several carries its size all end as a fresh scan of the changed disk would leave
// them. Totals and times are brought up to date along the path to the top, not over the tree (a
// capped total is added up again from its folder's children). A folder's time is the newest of
// what is left at or below it: its own listing time is not kept apart from that, so a folder
// whose newest entry went takes its children's newest (older than its own, perhaps, and than
// the time the deletion gave it on the disk). Finding the node costs the siblings along that
// path, the records one pass over them, a rescan the size of the new walk. Nodes that leave the
// tree stay in their arena, which goes with the result.
#pragma once
#include <vector>

#include "scan/dirnode.h"
#include "scan/scanresult.h"

namespace ostrel {

enum class TEditRefusal {
  None,
  TopOfTree,  // the root cannot be taken out, nor All Drives walked afresh
  NotInTree,  // the node is not linked in the result's tree (or there is no tree)
  NotFolder,  // only a folder is walked afresh
  NoWalk,     // the new walk has no root folder (stopped before it), or is of all drives
  Repeated,   // a folder met twice shows its contents under its first name: walk that one
  TooDeep,    // the new walk, put at this depth, would pass MaxNodeDepth
};

// What an edit changed, for a window to refresh just those items.
struct TTreeEdit {
  TEditRefusal Refused = TEditRefusal::None;  // not None: nothing was changed
  // Every folder whose totals, time or children changed, each once, deepest first. After a rescan
  // the rescanned folder is among them and everything below it is new.
  std::vector<DirNode*> Changed;
  // Folders met twice whose contents were shown under a name that has gone: they are empty
  // now, no longer recorded as repeats, and a rescan of each would show their contents.
  std::vector<DirNode*> Unwalked;
};

// A node is named by a pointer to const, as readers of the tree hold it: changing it is the
// right of whoever holds the result.
// Takes `node` (a file, or a folder with all below it) out of `result`'s tree: the totals
// above it, Files and Folders, Problems, Repeats and Links follow; a file with several names
// whose carrying name went is carried by its next name in the tree's order. Refused for the
// root and for a node not in the tree. Saturated ends true only while some total is capped.
TTreeEdit TakeOut(TScanResult& result, const DirNode* node);

// Puts `walk`, a fresh walk of FullPath(*folder), in place of what the old walk found below
// `folder`. The folder's node stays (pointers to it remain good, its Name and place among its
// siblings stay) and takes the new root's sizes and children; depths below follow, the totals
// above, the counts and the records too, and every file with several names is carried by its
// first name in the whole tree's order, inside the new part or out. The walk's arenas join
// result.Grafts, so `walk` holds no tree afterwards. A top-level folder (the root of a
// one-path scan, a drive below All Drives) may be walked afresh like any other; All Drives
// itself may not. A walk cut short makes result.Ending say so. On refusal `walk` is left as
// it was.
// Saturated ends true only while some total is capped. A result keeps the inodes of linked
// files only, and no folder's: a folder the new walk shares with one outside (a bind mount),
// and a file outside that had one name at the first walk and now has one in the new part too,
// are counted under both names until the whole tree is walked again.
TTreeEdit PutRescan(TScanResult& result, const DirNode* folder, TScanResult&& walk);

}  // namespace ostrel
