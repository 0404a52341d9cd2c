#include "scan/treebuilder.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace ostrel {

namespace {

// Whether `a` comes before `b` in the tree's order; both folder nodes of one walk, in the tree.
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

// Records looked up by node while the tree is gone through: sorted by address, found by halving.
template <class T>
const T* Lookup(const std::vector<T>& sorted, const DirNode* node) {
  const auto it = std::lower_bound(sorted.begin(), sorted.end(), node,
                                   [](const T& r, const DirNode* n) { return std::less<>()(r.Node, n); });
  return it != sorted.end() && it->Node == node ? &*it : nullptr;
}

template <class T>
void SortByNode(std::vector<T>& records) {
  std::sort(records.begin(), records.end(), [](const T& a, const T& b) { return std::less<>()(a.Node, b.Node); });
}

}  // namespace

TTreeBuilder::TTreeBuilder(TScanResult& result, std::atomic<int32_t>& folders, std::atomic<int32_t>& files)
    : Result(result), Folders(folders), Files(files) {}

TTreeBuilder::~TTreeBuilder() = default;

TTreeBuilder::TPart::TPart(TTreeBuilder& builder) : Builder(builder), Share(*builder.Result.Arena, builder.ArenaLock) {}

TTreeBuilder::TPart& TTreeBuilder::AddPart() {
  Parts.push_back(std::unique_ptr<TPart>(new TPart(*this)));
  return *Parts.back();
}

DirNode* TTreeBuilder::TPart::Make(std::string_view name, DirNode* parent, DirNode*& last, int32_t kind, bool top) {
  DirNode* node = Share.NewNode();
  node->Name = Share.CopyString(name);
  node->Parent = top ? nullptr : parent;
  node->Kind = kind;
  node->Depth = parent ? parent->Depth + 1 : 0;
  LinkChild(parent, last, node);
  return node;
}

DirNode* TTreeBuilder::TPart::Folder(std::string_view name, DirNode* parent, DirNode*& last, bool top) {
  DirNode* node = Make(name, parent, last, NodeFolder, top);
  Builder.Folders.fetch_add(1, std::memory_order_relaxed);
  return node;
}

DirNode* TTreeBuilder::TPart::File(std::string_view name, DirNode* parent, DirNode*& last) {
  DirNode* node = Make(name, parent, last, NodeFile, false);
  // Counted in batches: a count shared by every thread costs more than the node.
  if (++UnpublishedFiles == 256) Publish();
  return node;
}

void TTreeBuilder::TPart::Publish() {
  Builder.Files.fetch_add(UnpublishedFiles, std::memory_order_relaxed);
  UnpublishedFiles = 0;
}

void TTreeBuilder::TPart::FileSizes(DirNode& file, const TEntryStat& stat) {
  StampNode(file, stat);
  FileSizes(file, stat.DiskSize, stat.Size, stat.Links > 1, stat.Device, stat.Inode);
}

void TTreeBuilder::TPart::FileSizes(DirNode& file, uint64_t disk, uint64_t apparent, bool linked, uint64_t device,
                                    uint64_t inode) {
  file.OwnSize = file.TotalSize = disk;
  file.ApparentSize = apparent;
  if (linked) Links.push_back(TId{&file, device, inode});
}

void TTreeBuilder::TPart::FolderId(DirNode* folder, uint64_t device, uint64_t inode) {
  // Only an inode met under several names needs deciding: those names are kept for Settle.
  std::lock_guard<std::mutex> hold(Builder.ClaimLock);
  const DirNode* first = Builder.Inodes.FindOrAdd(device, inode, folder);
  if (!first) return;
  Builder.Contested.push_back(TId{folder, device, inode});
  Builder.Contested.push_back(TId{const_cast<DirNode*>(first), device, inode});
}

void TTreeBuilder::TPart::Problem(TScanProblem::TKind kind, const DirNode* node, int error) {
  Problems.push_back(TScanProblem{kind, node, error});
}

void TTreeBuilder::TPart::Drop(DirNode* node) { Dropped.push_back(node); }

bool TTreeBuilder::GoneLocked(const DirNode* node) const {
  if (Lost.empty()) return false;
  for (const DirNode* up = node->Parent; up; up = up->Parent)
    if (Lost.count(up)) return true;
  return false;
}

bool TTreeBuilder::Gone(const DirNode* node) {
  if (!AnyLost.load(std::memory_order_acquire)) return false;
  std::lock_guard<std::mutex> hold(ClaimLock);
  return GoneLocked(node);
}

TTreeBuilder::TClaim TTreeBuilder::Claim(DirNode* node, uint64_t device, uint64_t inode) {
  std::lock_guard<std::mutex> hold(ClaimLock);
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
      Repeats.push_back(TPart::TId{later, device, inode});
    }
    return TClaim::Walk;
  }
  Repeats.push_back(TPart::TId{node, device, inode});
  return TClaim::Repeat;
}

bool TTreeBuilder::WalkedBy(uint64_t device, uint64_t inode, const DirNode* node) {
  std::lock_guard<std::mutex> hold(ClaimLock);
  return Inodes.Find(device, inode) == node;
}

namespace {

// Puts the children of `folder` in the tree's order: its files as given, then its subfolders
// in byte order of their names.
void PutInTreeOrder(DirNode* folder, std::vector<DirNode*>& files, std::vector<DirNode*>& folders) {
  files.clear();
  folders.clear();
  for (DirNode* child = folder->FirstChild; child; child = child->NextSibling)
    (child->Kind == NodeFolder ? folders : files).push_back(child);
  std::stable_sort(folders.begin(), folders.end(),
                   [](const DirNode* a, const DirNode* b) { return std::strcmp(a->Name, b->Name) < 0; });
  DirNode* last = nullptr;
  for (DirNode* child : files) LinkChild(folder, last, child);
  for (DirNode* child : folders) LinkChild(folder, last, child);
}

}  // namespace

void TTreeBuilder::Settle(DirNode* root, bool ordered, TScanEnd ending) {
  std::vector<TPart::TId> links;
  std::vector<TScanProblem> problems;
  std::vector<TPart::TId> dropped;  // device and inode unused
  for (const std::unique_ptr<TPart>& part : Parts) {
    part->Publish();
    if (part->RanOut) ending = TScanEnd::OutOfMemory;
    if (links.empty()) links.swap(part->Links);
    links.insert(links.end(), part->Links.begin(), part->Links.end());
    if (problems.empty()) problems.swap(part->Problems);
    problems.insert(problems.end(), part->Problems.begin(), part->Problems.end());
    for (DirNode* node : part->Dropped) dropped.push_back(TPart::TId{node, 0, 0});
  }
  Parts.clear();
  Result.Ending = ending;
  Result.Root = root;
  if (!root) {
    Result.Folders = Result.Files = 0;
    return;
  }
  // A walk has decided its folders met twice; a scan file's are decided here, the first in the
  // tree's order keeping its contents. Either way the later names' contents leave the tree.
  std::vector<TPart::TId>& contested = Contested;
  SortByNode(contested);
  contested.erase(std::unique(contested.begin(), contested.end(),
                              [](const TPart::TId& a, const TPart::TId& b) { return a.Node == b.Node; }),
                  contested.end());
  TInodeMap decided;
  SortByNode(Repeats);
  SortByNode(links);
  SortByNode(dropped);
  struct TPlace {
    const DirNode* Node;
    uint64_t At;
  };
  std::vector<TPlace> places;
  for (const TScanProblem& problem : problems) places.push_back(TPlace{problem.Node, UINT64_MAX});
  SortByNode(places);
  places.erase(std::unique(places.begin(), places.end(), [](const TPlace& a, const TPlace& b) { return a.Node == b.Node; }),
               places.end());

  int32_t goneFiles = 0, goneFolders = 0;
  uint64_t place = 0;
  std::vector<DirNode*> files, folders;
  // Decides one node met in the tree's order; true when its children are to be gone through.
  const auto visit = [&](DirNode* node) {
    if (!places.empty())
      if (const TPlace* p = Lookup(places, node)) const_cast<TPlace*>(p)->At = place++;
    if (node->Kind == NodeFile) {
      if (const TPart::TId* link = links.empty() ? nullptr : Lookup(links, node)) {
        Result.Links.push_back(TLinkedName{node, link->Device, link->Inode, node->OwnSize, node->ApparentSize});
        if (Inodes.FindOrAdd(link->Device, link->Inode, node)) node->OwnSize = node->TotalSize = node->ApparentSize = 0;
      }
      return false;
    }
    const DirNode* first = nullptr;
    if (const TPart::TId* repeat = Repeats.empty() ? nullptr : Lookup(Repeats, node))
      first = Inodes.Find(repeat->Device, repeat->Inode);
    else if (const TPart::TId* id = contested.empty() ? nullptr : Lookup(contested, node))
      first = decided.FindOrAdd(id->Device, id->Inode, node);
    if (first && first != node) {
      CountBelow(*node, goneFiles, goneFolders);
      node->FirstChild = nullptr;
      node->OwnSize = node->TotalSize = node->ApparentSize = 0;
      Result.Repeats.push_back(TRepeatedFolder{node, first});
      return false;
    }
    // The drives below All Drives keep the order they were walked in.
    if (!ordered && !(node == root && Result.AllDrives)) PutInTreeOrder(node, files, folders);
    return true;
  };

  struct TLevel {
    DirNode* Folder;
    DirNode* Prev;  // the last child kept so far
    DirNode* Next;  // the next child to go through
  };
  std::vector<TLevel> levels;
  if (visit(root)) levels.push_back(TLevel{root, nullptr, root->FirstChild});
  while (!levels.empty()) {
    TLevel& level = levels.back();
    DirNode* child = level.Next;
    if (!child) {
      levels.pop_back();
      continue;
    }
    level.Next = child->NextSibling;
    if (!dropped.empty() && Lookup(dropped, child)) {
      (level.Prev ? level.Prev->NextSibling : level.Folder->FirstChild) = child->NextSibling;
      ++(child->Kind == NodeFile ? goneFiles : goneFolders);
      CountBelow(*child, goneFiles, goneFolders);
      continue;
    }
    level.Prev = child;
    if (visit(child)) levels.push_back(TLevel{child, nullptr, child->FirstChild});  // `level` may move
  }

  // Problems in the tree's order, a node's own in the order met; none of what left the tree.
  std::erase_if(problems, [&](const TScanProblem& p) { return Lookup(places, p.Node)->At == UINT64_MAX; });
  std::stable_sort(problems.begin(), problems.end(), [&](const TScanProblem& a, const TScanProblem& b) {
    return Lookup(places, a.Node)->At < Lookup(places, b.Node)->At;
  });
  Result.Problems = std::move(problems);
  Result.Saturated = AddUpTotals(root, nullptr);
  Result.Folders = Folders.fetch_sub(goneFolders, std::memory_order_relaxed) - goneFolders;
  Result.Files = Files.fetch_sub(goneFiles, std::memory_order_relaxed) - goneFiles;
}

}  // namespace ostrel
