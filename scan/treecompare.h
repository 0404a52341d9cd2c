// Two scans of the same place compared folder by folder: what grew, what shrank, what came and
// went. Folders match by the bytes of their paths relative to the two roots, so a folder that
// was renamed is one folder gone and another new. Nothing is copied or indexed: the walk merges
// the two sorted subfolder lists of each matched pair, so it costs about one pass over both trees
// and keeps only a stack of pending pairs.
#pragma once
#include <cstdint>
#include <vector>

#include "scan/dirnode.h"

namespace ostrel {

// One folder as the two scans see it.
struct TFolderChange {
  const DirNode* Old = nullptr;  // the folder in the earlier scan; null when it is new
  const DirNode* New = nullptr;  // the folder in the later scan; null when it is gone
  uint64_t OldSize = 0;          // its total then in the chosen measure; 0 when it is new
  uint64_t NewSize = 0;          // its total now; 0 when it is gone
  int32_t Level = 0;             // levels below the roots (0 for the roots themselves)

  // By how many bytes the total changed, and which way.
  TByteChange Change() const { return ChangeOf(OldSize, NewSize); }
  // The folder's name (that of either node); a root's is its whole path.
  const char* Name() const { return New ? New->Name : Old->Name; }
};

// Walks every folder of either tree down to `maxLevel` levels below the roots, each folder
// before its subfolders, the subfolders of a folder in ascending byte order of their names
// across both scans. The two roots always match each other, whatever their paths (a scan of a
// copy compares with one of the original); either may be null (all the other tree's folders are
// then new or gone). Without recursion: any depth costs no stack. The trees must stay
// unchanged while the walk runs.
class TTreeComparison {
 public:
  TTreeComparison(const DirNode* oldRoot, const DirNode* newRoot, TMeasure measure, int32_t maxLevel = INT32_MAX);

  // The next folder in walk order, changed or not; false when the walk is over.
  bool Next(TFolderChange& change);

 private:
  std::vector<TFolderChange> Pending;  // folders still to yield, the next at the back
  std::vector<const DirNode*> OldFolders, NewFolders;  // one pair's subfolders, reused
  TMeasure Measure;
  int32_t MaxLevel;
};

// The subfolders of `oldFolder` and `newFolder` (either may be null) paired by name, in
// ascending byte order, one record per name with Level 0: what a chart of one folder's changes
// draws from. Costs the two folders' children, not their subtrees.
std::vector<TFolderChange> PairSubfolders(const DirNode* oldFolder, const DirNode* newFolder, TMeasure measure);

}  // namespace ostrel
