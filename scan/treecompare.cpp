#include "scan/treecompare.h"

#include <algorithm>
#include <cstring>

namespace ostrel {

namespace {

bool NameBefore(const DirNode* a, const DirNode* b) { return std::strcmp(a->Name, b->Name) < 0; }

// The folder children of `folder` (none for null) in ascending byte order of their names. A
// walk's tree lists them so already; a scan file may list them in any order.
void SubfoldersOf(const DirNode* folder, std::vector<const DirNode*>& out) {
  out.clear();
  if (!folder) return;
  for (const DirNode* child = folder->FirstChild; child; child = child->NextSibling)
    if (child->Kind == NodeFolder) out.push_back(child);
  if (!std::is_sorted(out.begin(), out.end(), NameBefore)) std::sort(out.begin(), out.end(), NameBefore);
}

TFolderChange Pair(const DirNode* old, const DirNode* now, TMeasure measure, int32_t level) {
  TFolderChange change;
  change.Old = old;
  change.New = now;
  change.OldSize = old ? SizeOf(*old, measure) : 0;
  change.NewSize = now ? SizeOf(*now, measure) : 0;
  change.Level = level;
  return change;
}

// Appends the pairs of the two sorted lists to `out` from the last name to the first, so that
// a stack popping from the back yields them in ascending order.
void MergeBackwards(const std::vector<const DirNode*>& old, const std::vector<const DirNode*>& now,
                    TMeasure measure, int32_t level, std::vector<TFolderChange>& out) {
  size_t i = old.size(), j = now.size();
  while (i > 0 || j > 0) {
    const int order = i == 0 ? -1 : j == 0 ? 1 : std::strcmp(old[i - 1]->Name, now[j - 1]->Name);
    if (order == 0)
      out.push_back(Pair(old[--i], now[--j], measure, level));
    else if (order > 0)
      out.push_back(Pair(old[--i], nullptr, measure, level));
    else
      out.push_back(Pair(nullptr, now[--j], measure, level));
  }
}

}  // namespace

TTreeComparison::TTreeComparison(const DirNode* oldRoot, const DirNode* newRoot, TMeasure measure, int32_t maxLevel)
    : Measure(measure), MaxLevel(maxLevel) {
  if (oldRoot || newRoot) Pending.push_back(Pair(oldRoot, newRoot, measure, 0));
}

bool TTreeComparison::Next(TFolderChange& change) {
  if (Pending.empty()) return false;
  change = Pending.back();
  Pending.pop_back();
  if (change.Level < MaxLevel) {
    SubfoldersOf(change.Old, OldFolders);
    SubfoldersOf(change.New, NewFolders);
    MergeBackwards(OldFolders, NewFolders, Measure, change.Level + 1, Pending);
  }
  return true;
}

std::vector<TFolderChange> PairSubfolders(const DirNode* oldFolder, const DirNode* newFolder, TMeasure measure) {
  std::vector<const DirNode*> old, now;
  SubfoldersOf(oldFolder, old);
  SubfoldersOf(newFolder, now);
  std::vector<TFolderChange> pairs;
  MergeBackwards(old, now, measure, 0, pairs);
  std::reverse(pairs.begin(), pairs.end());
  return pairs;
}

}  // namespace ostrel
