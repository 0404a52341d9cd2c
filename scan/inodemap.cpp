#include "scan/inodemap.h"

namespace ostrel {

namespace {

size_t Hash(uint64_t inode) {
  // splitmix64's finaliser: inode numbers are often dense, the slots must not be.
  uint64_t x = inode;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return static_cast<size_t>(x ^ (x >> 31));
}

}  // namespace

void TInodeMap::Grow(Table& table) {
  std::vector<Slot> bigger(table.Slots.empty() ? 256 : table.Slots.size() * 2, Slot{0, nullptr});
  const size_t mask = bigger.size() - 1;
  for (const Slot& slot : table.Slots) {
    if (!slot.Node) continue;
    size_t i = Hash(slot.Inode) & mask;
    while (bigger[i].Node) i = (i + 1) & mask;
    bigger[i] = slot;
  }
  table.Slots.swap(bigger);
}

const DirNode* TInodeMap::FindOrAdd(uint64_t device, uint64_t inode, const DirNode* node) {
  if (Last >= Tables.size() || Tables[Last].Device != device) {
    Last = 0;
    while (Last < Tables.size() && Tables[Last].Device != device) ++Last;
    if (Last == Tables.size()) Tables.push_back(Table{device, {}, 0});
  }
  Table& table = Tables[Last];
  // At most 3/4 full, so that probes stay short.
  if ((table.Count + 1) * 4 > table.Slots.size() * 3) Grow(table);
  const size_t mask = table.Slots.size() - 1;
  for (size_t i = Hash(inode) & mask;; i = (i + 1) & mask) {
    Slot& slot = table.Slots[i];
    if (!slot.Node) {
      slot = Slot{inode, node};
      ++table.Count;
      return nullptr;
    }
    if (slot.Inode == inode) return slot.Node;
  }
}

void TInodeMap::Set(uint64_t device, uint64_t inode, const DirNode* node) {
  if (!FindOrAdd(device, inode, node)) return;
  Table& table = Tables[Last];  // FindOrAdd left it at this device's table
  const size_t mask = table.Slots.size() - 1;
  for (size_t i = Hash(inode) & mask;; i = (i + 1) & mask) {
    if (table.Slots[i].Inode == inode && table.Slots[i].Node) {
      table.Slots[i].Node = node;
      return;
    }
  }
}

const DirNode* TInodeMap::Find(uint64_t device, uint64_t inode) const {
  for (const Table& table : Tables) {
    if (table.Device != device || table.Slots.empty()) continue;
    const size_t mask = table.Slots.size() - 1;
    for (size_t i = Hash(inode) & mask; table.Slots[i].Node; i = (i + 1) & mask)
      if (table.Slots[i].Inode == inode) return table.Slots[i].Node;
  }
  return nullptr;
}

size_t TInodeMap::Size() const {
  size_t count = 0;
  for (const Table& table : Tables) count += table.Count;
  return count;
}

}  // namespace ostrel
