// What a folder's chart shows while its scan is compared with an earlier one: the growth, broken
// down exactly as the ordinary breakdown breaks down sizes (breakdown.h), and beside it the
// losses. A point's value is how much its subfolder (or the folder's own files) grew; what shrank
// or is gone gets no point, since a chart of parts cannot draw less than nothing, and is listed
// as a loss instead.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "chart/breakdown.h"
#include "scan/dirnode.h"

namespace ostrel {

// One subfolder as the two scans see it.
struct TChangeItem {
  std::string Name;  // its name's bytes as on disk
  uint64_t Then = 0;  // its size in the earlier scan; 0 when it is new
  uint64_t Now = 0;   // its size now; 0 when it is gone
  bool Gone = false;  // in the earlier scan only
  bool New = false;   // in the later scan only
};

// Something that shrank or vanished.
struct TLoss {
  std::string Label;  // a subfolder's (shortened) name, or "(files)"
  uint64_t Then = 0;
  uint64_t Now = 0;          // 0 for a subfolder that is gone
  int Child = PointFiles;    // index into the items, or PointFiles
  bool Gone = false;
};

struct TChanges {
  // The growth: ComputeBreakdown over the subfolders that grew (value = growth) and the
  // growth of the folder's own files, in its order and with its folding. A point's Child
  // indexes Items. Empty when nothing grew.
  std::vector<TChartPoint> Grown;
  // What shrank or vanished, the largest loss first (equal losses by label, as the chart
  // orders labels); the folder's own files as "(files)".
  std::vector<TLoss> Lost;
  std::vector<TChangeItem> Items;  // as given
  uint64_t FilesThen = 0, FilesNow = 0;  // the folder's own files (and its own blocks)
};

// The changes of a folder whose subfolders are `items` and whose own files held `filesThen`
// bytes then and hold `filesNow` now. `combineOther` folds the smallest growths as
// ComputeBreakdown folds the smallest sizes, measured against the whole growth shown.
TChanges ComputeChanges(std::vector<TChangeItem> items, uint64_t filesThen, uint64_t filesNow, int combineOther);

// The same from two scans' nodes: `oldFolder` and `newFolder` are one folder then and now
// (either null: a folder new or gone, or a "My Computer" item, whose files count 0), and
// `subfolders` holds every subfolder of either as an (earlier, later) pair, either side null
// for one that is new or gone. Items[i] is subfolders[i], so a point's Child indexes the pairs.
TChanges ChangesOf(const DirNode* oldFolder, const DirNode* newFolder,
                   const std::vector<std::pair<const DirNode*, const DirNode*>>& subfolders, TMeasure measure,
                   int combineOther);

}  // namespace ostrel
