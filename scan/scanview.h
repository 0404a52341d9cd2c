// What a finished scan offers its readers, whoever made it: a walk (TThreadLoader) or a scan
// file read back (TImportedScan), without owning it. Printing and saving read a scan through this view only, so
// that both kinds are treated alike.
#pragma once
#include <cstdint>
#include <vector>

#include "scan/dirnode.h"
#include "scan/scanresult.h"

namespace ostrel {

struct TScanView {
  const DirNode* Root = nullptr;
  const std::vector<TScanProblem>* Problems = nullptr;  // in the tree's order; never null
  const std::vector<TRepeatedFolder>* Repeats = nullptr;
  TScanEnd Ending = TScanEnd::Complete;
  int32_t Folders = 0;
  int32_t Files = 0;
  // True when the root is a list of drives (All Drives), whose children are top-level nodes
  // named by their whole paths.
  bool AllDrives = false;
  // Some total passed MaxBytes and shows MaxBytes: totals above it are capped, not exact.
  bool Saturated = false;
};

// The view of a finished scan.
inline TScanView ViewOf(const TScanResult& result) {
  TScanView view;
  view.Root = result.Root;
  view.Problems = &result.Problems;
  view.Repeats = &result.Repeats;
  view.Ending = result.Ending;
  view.Folders = result.Folders;
  view.Files = result.Files;
  view.AllDrives = result.AllDrives;
  view.Saturated = result.Saturated;
  return view;
}

}  // namespace ostrel
