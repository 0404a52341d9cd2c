#include "scan/claims.h"

#include <algorithm>
#include <cstring>

namespace ostrel {

bool EarlierInTree(const DirNode* a, const DirNode* b) {
  std::vector<const DirNode*> up;  // a and its folders up to its top
  for (const DirNode* n = a; n; n = n->Parent) up.push_back(n);
  std::reverse(up.begin(), up.end());
  std::vector<const DirNode*> other;
  for (const DirNode* n = b; n; n = n->Parent) other.push_back(n);
  std::reverse(other.begin(), other.end());
  // Different tops are different drives, walked one after another: the one met first is earlier.
  if (up.front() != other.front()) return false;
  size_t i = 0;
  while (i < up.size() && i < other.size() && up[i] == other[i]) ++i;
  if (i == up.size()) return true;      // a holds b
  if (i == other.size()) return false;  // b holds a
  // Below their last common folder, subfolders follow in byte order of their names.
  return std::strcmp(up[i]->Name, other[i]->Name) < 0;
}

bool TFolderClaims::GoneLocked(const DirNode* node) const {
  if (Lost.empty()) return false;
  for (const DirNode* up = node->Parent; up; up = up->Parent)
    if (Lost.count(up)) return true;
  return false;
}

bool TFolderClaims::Gone(const DirNode* node) {
  if (!AnyLost.load(std::memory_order_acquire)) return false;
  std::lock_guard<std::mutex> hold(Lock);
  return GoneLocked(node);
}

TFolderClaims::TClaim TFolderClaims::Claim(DirNode* node, uint64_t device, uint64_t inode) {
  std::lock_guard<std::mutex> hold(Lock);
  if (GoneLocked(node)) return TClaim::Gone;
  const DirNode* first = Inodes.FindOrAdd(device, inode, node);
  if (!first) return TClaim::Walk;
  if (GoneLocked(first) || EarlierInTree(node, first)) {
    Inodes.Set(device, inode, node);
    if (!GoneLocked(first)) {
      // The records point into the tree, which the walk is building.
      auto* later = const_cast<DirNode*>(first);
      Lost.insert(later);
      AnyLost.store(true, std::memory_order_release);
      Repeats.push_back(TRepeat{later, device, inode});
    }
    return TClaim::Walk;
  }
  Repeats.push_back(TRepeat{node, device, inode});
  return TClaim::Repeat;
}

bool TFolderClaims::WalkedBy(uint64_t device, uint64_t inode, const DirNode* node) {
  std::lock_guard<std::mutex> hold(Lock);
  return Inodes.Find(device, inode) == node;
}

void TFolderClaims::Prune(TWalkRecords& found, int32_t& files, int32_t& folders) {
  std::lock_guard<std::mutex> hold(Lock);
  files = folders = 0;
  if (!Lost.empty()) {
    const auto away = [this](const DirNode* node) { return Lost.count(node) || GoneLocked(node); };
    std::erase_if(found.Links, [&](const auto& link) { return away(link.Node); });
    std::erase_if(found.Problems, [&](const TScanProblem& problem) { return away(problem.Node); });
    std::erase_if(found.Dropped, [&](const DirNode* node) { return away(node); });
    std::erase_if(Repeats, [&](const TRepeat& repeat) { return GoneLocked(repeat.Node); });
    for (const DirNode* lost : Lost) {
      if (GoneLocked(lost)) continue;  // inside another that goes: counted with it
      auto* node = const_cast<DirNode*>(lost);
      std::vector<const DirNode*> below;
      for (const DirNode* child = node->FirstChild; child; child = child->NextSibling) below.push_back(child);
      while (!below.empty()) {
        const DirNode* n = below.back();
        below.pop_back();
        ++(n->Kind == NodeFile ? files : folders);
        for (const DirNode* child = n->FirstChild; child; child = child->NextSibling) below.push_back(child);
      }
      node->FirstChild = nullptr;
      node->OwnSize = node->TotalSize = node->ApparentSize = 0;
    }
  }
  for (const TRepeat& repeat : Repeats)
    found.Repeats.push_back(TRepeatedFolder{repeat.Node, Inodes.Find(repeat.Device, repeat.Inode)});
}

}  // namespace ostrel
