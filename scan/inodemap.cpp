#include "scan/inodemap.h"

namespace ostrel {

namespace {

size_t Hash(uint64_t device, uint64_t inode) {
  // splitmix64's finaliser: inode numbers are often dense, the slots must not be.
  uint64_t x = inode ^ (device * 0x9E3779B97F4A7C15ull);
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return static_cast<size_t>(x ^ (x >> 31));
}

}  // namespace

void TInodeMap::Grow() {
  std::vector<Slot> bigger(Slots.empty() ? 1024 : Slots.size() * 2, Slot{0, 0, nullptr});
  const size_t mask = bigger.size() - 1;
  for (const Slot& slot : Slots) {
    if (!slot.Node) continue;
    size_t i = Hash(slot.Device, slot.Inode) & mask;
    while (bigger[i].Node) i = (i + 1) & mask;
    bigger[i] = slot;
  }
  Slots.swap(bigger);
}

const DirNode* TInodeMap::FindOrAdd(uint64_t device, uint64_t inode, const DirNode* node) {
  // At most 3/4 full, so that probes stay short.
  if ((Count + 1) * 4 > Slots.size() * 3) Grow();
  const size_t mask = Slots.size() - 1;
  for (size_t i = Hash(device, inode) & mask;; i = (i + 1) & mask) {
    Slot& slot = Slots[i];
    if (!slot.Node) {
      slot = Slot{device, inode, node};
      ++Count;
      return nullptr;
    }
    if (slot.Device == device && slot.Inode == inode) return slot.Node;
  }
}

}  // namespace ostrel
