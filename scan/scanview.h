// What a finished scan offers its readers, whoever made it: a walk (TThreadLoader) or a scan
// file read back (TImportedScan). Printing and saving read a scan through this view only, so
// that both kinds are treated alike.
#pragma once
#include <cstdint>
#include <vector>

#include "scan/dirnode.h"
#include "scan/tloader.h"

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

// The view of a walk that has ended.
inline TScanView ViewOf(const TThreadLoader& loader) {
  TScanView view;
  view.Root = loader.Root;
  view.Problems = &loader.Problems;
  view.Repeats = &loader.Repeats;
  view.Ending = loader.Ending;
  view.Folders = loader.FolderCount.load();
  view.Files = loader.FileCount.load();
  view.AllDrives = loader.Path.empty();
  view.Saturated = loader.Saturated;
  return view;
}

}  // namespace ostrel
