#include "scan/settle.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace ostrel {

namespace {

using TPlaces = std::unordered_map<const DirNode*, uint64_t>;

// Each node's place in the tree's order, for the nodes that are keys of `at`.
void NumberInTreeOrder(const DirNode* root, TPlaces& at) {
  if (!root || at.empty()) return;
  uint64_t place = 0;
  std::vector<const DirNode*> next{root};
  while (!next.empty()) {
    const DirNode* node = next.back();
    next.pop_back();
    if (const auto it = at.find(node); it != at.end()) it->second = place;
    ++place;
    if (node != root && node->NextSibling) next.push_back(node->NextSibling);
    if (node->FirstChild) next.push_back(node->FirstChild);
  }
}

}  // namespace

TSettled SettleWalk(DirNode* root, TWalkRecords found, TInodeMap& inodes) {
  TPlaces at;
  for (const auto& link : found.Links) at.emplace(link.Node, 0);
  for (const TScanProblem& problem : found.Problems) at.emplace(problem.Node, 0);
  for (const TRepeatedFolder& repeat : found.Repeats) at.emplace(repeat.Node, 0);
  NumberInTreeOrder(root, at);
  const auto before = [&at](const DirNode* a, const DirNode* b) { return at[a] < at[b]; };

  TSettled settled;
  std::sort(found.Repeats.begin(), found.Repeats.end(),
            [&](const TRepeatedFolder& a, const TRepeatedFolder& b) { return before(a.Node, b.Node); });
  settled.Repeats = std::move(found.Repeats);
  std::sort(found.Links.begin(), found.Links.end(), [&](const auto& a, const auto& b) { return before(a.Node, b.Node); });
  const std::unordered_set<const DirNode*> dropped(found.Dropped.begin(), found.Dropped.end());
  settled.Links.reserve(found.Links.size());
  for (const auto& file : found.Links) {
    if (dropped.count(file.Node)) continue;
    settled.Links.push_back(TLinkedName{file.Node, file.Device, file.Inode, file.Node->OwnSize, file.Node->ApparentSize});
    if (inodes.FindOrAdd(file.Device, file.Inode, file.Node))
      file.Node->OwnSize = file.Node->TotalSize = file.Node->ApparentSize = 0;
  }
  // Stable: a folder's own problems stay in the order they were met.
  std::stable_sort(found.Problems.begin(), found.Problems.end(),
                   [&](const TScanProblem& a, const TScanProblem& b) { return before(a.Node, b.Node); });
  settled.Problems = std::move(found.Problems);

  for (const DirNode* node : dropped) ++(node->Kind == NodeFile ? settled.DroppedFiles : settled.DroppedFolders);
  settled.Saturated = AddUpTotals(root, dropped.empty() ? nullptr : &dropped);
  return settled;
}

}  // namespace ostrel
