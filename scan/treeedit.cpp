#include "scan/treeedit.h"

#include <algorithm>
#include <set>
#include <utility>

namespace ostrel {

namespace {

using TInodes = std::set<std::pair<uint64_t, uint64_t>>;

// The folder that holds `node`: its Parent, or for a drive the All Drives root, which is no
// drive's Parent since a drive is named by its whole path.
// A node of the result's tree, to change: the result owns its tree.
DirNode* Own(const DirNode* node) { return const_cast<DirNode*>(node); }

DirNode* HolderOf(const TScanResult& result, const DirNode* node) {
  if (node->Parent) return Own(node->Parent);
  return result.AllDrives && node != result.Root ? result.Root : nullptr;
}

bool Within(const DirNode* node, const DirNode* top) {
  for (; node; node = node->Parent)
    if (node == top) return true;
  return false;
}

// The nodes from `node`'s top-level node down to `node`.
std::vector<const DirNode*> ChainDown(const DirNode* node) {
  std::vector<const DirNode*> chain;
  for (; node; node = node->Parent) chain.push_back(node);
  std::reverse(chain.begin(), chain.end());
  return chain;
}

// Whether `a` comes before `b`, two children of one folder. Both ends are walked at once, so
// that the cost is the shorter of the gap between them and the tail after them.
bool SiblingBefore(const DirNode* a, const DirNode* b) {
  for (const DirNode *x = a->NextSibling, *y = b->NextSibling;; x = x->NextSibling, y = y->NextSibling) {
    if (x == b || !y) return true;
    if (y == a || !x) return false;
  }
}

// Where `node` lies in the tree's order from the subtree whose chain is `top`: before it
// (-1), in it (0) or after it (1). Files count too, unlike EarlierInTree.
int PlaceOf(const TScanResult& result, const DirNode* node, const std::vector<const DirNode*>& top) {
  const std::vector<const DirNode*> chain = ChainDown(node);
  if (chain.front() != top.front()) {
    // Top-level nodes: All Drives first, then its drives in their order.
    if (top.front() == result.Root) return 0;
    if (chain.front() == result.Root) return -1;
    return SiblingBefore(chain.front(), top.front()) ? -1 : 1;
  }
  size_t i = 0;
  while (i < chain.size() && i < top.size() && chain[i] == top[i]) ++i;
  if (i == top.size()) return 0;
  if (i == chain.size()) return -1;  // `node` holds the subtree
  return SiblingBefore(chain[i], top[i]) ? -1 : 1;
}

// The records of `list` (in the tree's order) that point into the subtree of `top`: a
// subtree's nodes follow one another in that order.
template <class T, class TNodeOf>
std::pair<size_t, size_t> RangeIn(const TScanResult& result, const std::vector<T>& list, const DirNode* top,
                                  TNodeOf nodeOf) {
  const std::vector<const DirNode*> chain = ChainDown(top);
  const auto lo = std::partition_point(list.begin(), list.end(),
                                       [&](const T& item) { return PlaceOf(result, nodeOf(item), chain) < 0; });
  const auto hi =
      std::partition_point(lo, list.end(), [&](const T& item) { return PlaceOf(result, nodeOf(item), chain) == 0; });
  return {static_cast<size_t>(lo - list.begin()), static_cast<size_t>(hi - list.begin())};
}

// `list` with its records [range) replaced by `fresh`.
template <class T>
void Splice(std::vector<T>& list, std::pair<size_t, size_t> range, std::vector<T> fresh) {
  list.erase(list.begin() + static_cast<std::ptrdiff_t>(range.first), list.begin() + static_cast<std::ptrdiff_t>(range.second));
  list.insert(list.begin() + static_cast<std::ptrdiff_t>(range.first), std::make_move_iterator(fresh.begin()),
              std::make_move_iterator(fresh.end()));
}

// Visits every node below `top`, `top` itself not included.
template <class F>
void ForEachBelow(DirNode* top, F visit) {
  std::vector<DirNode*> next;
  if (top->FirstChild) next.push_back(top->FirstChild);
  while (!next.empty()) {
    DirNode* node = next.back();
    next.pop_back();
    visit(node);
    if (node->NextSibling) next.push_back(node->NextSibling);
    if (node->FirstChild) next.push_back(node->FirstChild);
  }
}

// A folder's total from its children: a capped total no longer tells what to take away.
uint64_t SumOfChildren(const DirNode& folder, bool apparent) {
  uint64_t sum = apparent ? 0 : folder.OwnSize;
  for (const DirNode* child = folder.FirstChild; child; child = child->NextSibling)
    sum = AddBytes(sum, apparent ? child->ApparentSize : child->TotalSize);
  return sum;
}

uint64_t Rebased(const DirNode& folder, uint64_t total, uint64_t was, uint64_t now, bool apparent) {
  if (was == now) return total;
  if (total == MaxBytes) return SumOfChildren(folder, apparent);
  return AddBytes(LessBytes(total, was), now);
}

// A part of `up` (a child, or a child's contribution) went from `was` to `now` in both
// measures: `up` and the folders above it follow, as far as their totals change.
void Propagate(const TScanResult& result, DirNode* up, uint64_t wasTotal, uint64_t wasApparent,
               uint64_t nowTotal, uint64_t nowApparent, std::vector<DirNode*>& changed) {
  for (; up; up = HolderOf(result, up)) {
    const uint64_t total = up->TotalSize, apparent = up->ApparentSize;
    up->TotalSize = Rebased(*up, total, wasTotal, nowTotal, false);
    up->ApparentSize = Rebased(*up, apparent, wasApparent, nowApparent, true);
    if (up->TotalSize == total && up->ApparentSize == apparent) return;
    changed.push_back(up);
    wasTotal = total;
    wasApparent = apparent;
    nowTotal = up->TotalSize;
    nowApparent = up->ApparentSize;
  }
}

// A part of `up` (a child, or what a child stands for) had the newest time `was` and has `now`:
// `up` and the folders above it follow, as far as their MTime changes. A folder's own time is not
// kept apart from the newest below it, so one whose newest entry went takes the newest of its
// children's: a folder whose own listing time lay between the two is then shown older than it
// is, never newer. Costs the children of the folders whose time goes down.
void Retime(const TScanResult& result, DirNode* up, uint32_t was, uint32_t now, std::vector<DirNode*>& changed) {
  for (; up; up = HolderOf(result, up)) {
    const uint32_t before = up->MTime;
    if (now >= before) {
      up->MTime = now;
    } else {
      if (was < before) return;  // the newest lies elsewhere
      up->MTime = 0;
      for (const DirNode* child = up->FirstChild; child; child = child->NextSibling)
        up->MTime = std::max(up->MTime, child->MTime);
    }
    if (up->MTime == before) return;
    changed.push_back(up);
    was = before;
    now = up->MTime;
  }
}

// Gives each file in `inodes` to its first name in Links (the tree's order), the others 0.
void Recarry(TScanResult& result, const TInodes& inodes, std::vector<DirNode*>& changed) {
  if (inodes.empty()) return;
  TInodes carried;
  for (const TLinkedName& link : result.Links) {
    const auto key = std::make_pair(link.Device, link.Inode);
    if (!inodes.count(key)) continue;
    const bool carries = carried.insert(key).second;
    const uint64_t disk = carries ? link.DiskSize : 0, size = carries ? link.Size : 0;
    DirNode* file = link.Node;
    if (file->TotalSize == disk && file->ApparentSize == size) continue;
    const uint64_t wasTotal = file->TotalSize, wasApparent = file->ApparentSize;
    file->OwnSize = file->TotalSize = disk;
    file->ApparentSize = size;
    Propagate(result, HolderOf(result, file), wasTotal, wasApparent, disk, size, changed);
  }
}

void InodesOf(const std::vector<TLinkedName>& links, std::pair<size_t, size_t> range, TInodes& inodes) {
  for (size_t i = range.first; i < range.second; ++i) inodes.emplace(links[i].Device, links[i].Inode);
}

// Repeats of folders outside `top` whose contents showed under a name below it (or `top`
// itself, unless it stays): they leave Repeats and become Unwalked.
void DropOrphans(std::vector<TRepeatedFolder>& repeats, const DirNode* top, bool topStays, TTreeEdit& edit) {
  std::erase_if(repeats, [&](const TRepeatedFolder& repeat) {
    if ((topStays && repeat.First == top) || !Within(repeat.First, top) || Within(repeat.Node, top)) return false;
    edit.Unwalked.push_back(Own(repeat.Node));
    return true;
  });
}

void Finish(TScanResult& result, TTreeEdit& edit) {
  std::sort(edit.Changed.begin(), edit.Changed.end(), [](const DirNode* a, const DirNode* b) {
    return a->Depth != b->Depth ? a->Depth > b->Depth : a < b;
  });
  edit.Changed.erase(std::unique(edit.Changed.begin(), edit.Changed.end()), edit.Changed.end());
  // A capped total caps every one above it, so the top tells whether any is left.
  result.Saturated = result.Root && (result.Root->TotalSize == MaxBytes || result.Root->ApparentSize == MaxBytes);
}

// Whether `node` is in the tree: each folder on its way up still lists it.
bool Linked(const TScanResult& result, const DirNode* node) {
  if (!node || !result.Root) return false;
  while (node != result.Root) {
    const DirNode* holder = HolderOf(result, node);
    if (!holder) return false;
    const DirNode* child = holder->FirstChild;
    while (child && child != node) child = child->NextSibling;
    if (!child) return false;
    node = holder;
  }
  return true;
}

const DirNode* NodeOfProblem(const TScanProblem& problem) { return problem.Node; }
const DirNode* NodeOfRepeat(const TRepeatedFolder& repeat) { return repeat.Node; }
const DirNode* NodeOfLink(const TLinkedName& link) { return link.Node; }

}  // namespace

TTreeEdit TakeOut(TScanResult& result, const DirNode* target) {
  TTreeEdit edit;
  DirNode* node = Own(target);
  if (!Linked(result, node)) edit.Refused = TEditRefusal::NotInTree;
  else if (node == result.Root) edit.Refused = TEditRefusal::TopOfTree;
  if (edit.Refused != TEditRefusal::None) return edit;

  // The records first: their order is read from the tree as it stands.
  const auto problems = RangeIn(result, result.Problems, node, NodeOfProblem);
  const auto repeats = RangeIn(result, result.Repeats, node, NodeOfRepeat);
  const auto links = RangeIn(result, result.Links, node, NodeOfLink);

  DirNode* holder = HolderOf(result, node);
  DirNode* before = nullptr;
  for (DirNode* child = holder->FirstChild; child != node; child = child->NextSibling) before = child;
  (before ? before->NextSibling : holder->FirstChild) = node->NextSibling;
  node->NextSibling = nullptr;
  int32_t files = node->Kind == NodeFile, folders = node->Kind == NodeFolder;
  CountBelow(*node, files, folders);
  result.Files -= files;
  result.Folders -= folders;
  edit.Changed.push_back(holder);  // its children changed, whatever its totals do
  Propagate(result, holder, node->TotalSize, node->ApparentSize, 0, 0, edit.Changed);
  Retime(result, holder, node->MTime, 0, edit.Changed);

  Splice(result.Problems, problems, {});
  Splice(result.Repeats, repeats, {});
  DropOrphans(result.Repeats, node, false, edit);
  TInodes inodes;
  InodesOf(result.Links, links, inodes);
  Splice(result.Links, links, {});
  Recarry(result, inodes, edit.Changed);
  Finish(result, edit);
  return edit;
}

TTreeEdit PutRescan(TScanResult& result, const DirNode* target, TScanResult&& walk) {
  TTreeEdit edit;
  DirNode* folder = Own(target);
  DirNode* fresh = walk.Root;
  if (!Linked(result, folder)) edit.Refused = TEditRefusal::NotInTree;
  else if (result.AllDrives && folder == result.Root) edit.Refused = TEditRefusal::TopOfTree;
  else if (folder->Kind != NodeFolder) edit.Refused = TEditRefusal::NotFolder;
  else if (std::any_of(result.Repeats.begin(), result.Repeats.end(),
                       [&](const TRepeatedFolder& repeat) { return repeat.Node == folder; }))
    edit.Refused = TEditRefusal::Repeated;
  else if (!fresh || fresh->Kind != NodeFolder || walk.AllDrives) edit.Refused = TEditRefusal::NoWalk;
  if (edit.Refused != TEditRefusal::None) return edit;
  const int32_t shift = folder->Depth - fresh->Depth;
  int32_t deepest = fresh->Depth;
  ForEachBelow(fresh, [&](const DirNode* node) { deepest = std::max<int32_t>(deepest, node->Depth); });
  if (static_cast<int64_t>(deepest) + shift > MaxNodeDepth) {
    edit.Refused = TEditRefusal::TooDeep;
    return edit;
  }

  const auto problems = RangeIn(result, result.Problems, folder, NodeOfProblem);
  const auto repeats = RangeIn(result, result.Repeats, folder, NodeOfRepeat);
  const auto links = RangeIn(result, result.Links, folder, NodeOfLink);
  int32_t files = 0, folders = 0;
  CountBelow(*folder, files, folders);
  result.Files -= files;
  result.Folders -= folders;

  // The folder's node stays and takes over the new root's children.
  const uint64_t wasTotal = folder->TotalSize, wasApparent = folder->ApparentSize;
  const uint32_t wasTime = folder->MTime;
  folder->MTime = fresh->MTime;  // the newest at or below it, its own listing time among them
  folder->InodeTag = fresh->InodeTag;
  folder->OwnSize = fresh->OwnSize;
  folder->TotalSize = fresh->TotalSize;
  folder->ApparentSize = fresh->ApparentSize;
  folder->FirstChild = fresh->FirstChild;
  files = folders = 0;
  ForEachBelow(folder, [&](DirNode* node) {
    if (node->Parent == fresh) node->Parent = folder;
    node->Depth = node->Depth + shift;
    ++(node->Kind == NodeFile ? files : folders);
  });
  result.Files += files;
  result.Folders += folders;
  edit.Changed.push_back(folder);
  Propagate(result, HolderOf(result, folder), wasTotal, wasApparent, folder->TotalSize, folder->ApparentSize,
            edit.Changed);
  Retime(result, HolderOf(result, folder), wasTime, folder->MTime, edit.Changed);

  const auto own = [&](const DirNode* node) { return node == fresh ? folder : node; };
  for (TScanProblem& problem : walk.Problems) problem.Node = own(problem.Node);
  for (TRepeatedFolder& repeat : walk.Repeats) repeat.First = own(repeat.First);
  Splice(result.Problems, problems, std::move(walk.Problems));
  Splice(result.Repeats, repeats, std::move(walk.Repeats));
  // Old nodes keep their Parent: a repeat shown under one of them is still found below.
  DropOrphans(result.Repeats, folder, true, edit);
  TInodes inodes;
  InodesOf(result.Links, links, inodes);
  InodesOf(walk.Links, {0, walk.Links.size()}, inodes);
  Splice(result.Links, links, std::move(walk.Links));
  Recarry(result, inodes, edit.Changed);

  if (result.Ending == TScanEnd::Complete) result.Ending = walk.Ending;
  result.Grafts.push_back(std::move(walk.Arena));
  for (auto& graft : walk.Grafts) result.Grafts.push_back(std::move(graft));
  walk.Grafts.clear();
  walk.Root = nullptr;
  Finish(result, edit);
  return edit;
}

}  // namespace ostrel
