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

// Gives what `from` holds to `to`, another name of the same folder.
void MoveContents(DirNode& from, DirNode& to) {
  to.FirstChild = from.FirstChild;
  to.OwnSize = to.TotalSize = from.OwnSize;
  from.FirstChild = nullptr;
  from.OwnSize = from.TotalSize = from.ApparentSize = 0;
  const int32_t shift = to.Depth - from.Depth;
  for (DirNode* child = to.FirstChild; child; child = child->NextSibling) child->Parent = &to;
  if (shift == 0) return;
  std::vector<DirNode*> below;
  for (DirNode* child = to.FirstChild; child; child = child->NextSibling) below.push_back(child);
  while (!below.empty()) {
    DirNode* node = below.back();
    below.pop_back();
    node->Depth = node->Depth + shift;
    for (DirNode* child = node->FirstChild; child; child = child->NextSibling) below.push_back(child);
  }
}

// Until every folder met twice is walked by its first name in the tree's order: the name that
// opened it first need not be that one when threads share the walk.
void PutRepeatsInOrder(DirNode* root, TWalkRecords& found, TPlaces& at) {
  for (bool moved = true; moved;) {
    moved = false;
    for (TRepeatedFolder& repeat : found.Repeats) {
      if (at[repeat.Node] > at[repeat.First]) continue;
      // The records point into the tree, which is the caller's to change.
      auto* earlier = const_cast<DirNode*>(repeat.Node);
      auto* walked = const_cast<DirNode*>(repeat.First);
      MoveContents(*walked, *earlier);
      for (TRepeatedFolder& other : found.Repeats)
        if (other.First == walked) other.First = earlier;
      repeat = TRepeatedFolder{walked, earlier};
      for (TScanProblem& problem : found.Problems)
        if (problem.Node == walked) problem.Node = earlier;
      NumberInTreeOrder(root, at);
      moved = true;
      break;
    }
  }
}

}  // namespace

TSettled SettleWalk(DirNode* root, TWalkRecords found, TInodeMap& inodes) {
  TPlaces at;
  for (const auto& link : found.Links) at.emplace(link.Node, 0);
  for (const TScanProblem& problem : found.Problems) at.emplace(problem.Node, 0);
  for (const TRepeatedFolder& repeat : found.Repeats) {
    at.emplace(repeat.Node, 0);
    at.emplace(repeat.First, 0);
  }
  NumberInTreeOrder(root, at);
  PutRepeatsInOrder(root, found, at);
  const auto before = [&at](const DirNode* a, const DirNode* b) { return at[a] < at[b]; };

  TSettled settled;
  std::sort(found.Repeats.begin(), found.Repeats.end(),
            [&](const TRepeatedFolder& a, const TRepeatedFolder& b) { return before(a.Node, b.Node); });
  settled.Repeats = std::move(found.Repeats);
  std::sort(found.Links.begin(), found.Links.end(), [&](const auto& a, const auto& b) { return before(a.Node, b.Node); });
  for (const auto& file : found.Links) {
    if (inodes.FindOrAdd(file.Device, file.Inode, file.Node))
      file.Node->OwnSize = file.Node->TotalSize = file.Node->ApparentSize = 0;
  }
  // Stable: a folder's own problems stay in the order they were met.
  std::stable_sort(found.Problems.begin(), found.Problems.end(),
                   [&](const TScanProblem& a, const TScanProblem& b) { return before(a.Node, b.Node); });
  settled.Problems = std::move(found.Problems);

  const std::unordered_set<const DirNode*> dropped(found.Dropped.begin(), found.Dropped.end());
  for (const DirNode* node : dropped) ++(node->Kind == NodeFile ? settled.DroppedFiles : settled.DroppedFolders);
  AddUpTotals(root, dropped.empty() ? nullptr : &dropped);
  return settled;
}

}  // namespace ostrel
