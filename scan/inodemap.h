// Which inodes a scan has met already, by (device, inode), with the node of the name that met
// each first. The walk asks it for every folder and for every file with more than one name, so
// that each counts once however many names or mounts lead to it. A scan meets millions of
// inodes on a handful of devices: one open-addressing table of (inode, node) per device, no
// heap block per entry.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "scan/dirnode.h"

namespace ostrel {

class TInodeMap {
 public:
  // The node recorded for (device, inode), or null when it is new; a new one is recorded with
  // `node` (not null). Throws std::bad_alloc when a table cannot grow, unchanged.
  const DirNode* FindOrAdd(uint64_t device, uint64_t inode, const DirNode* node);
  // Records `node` (not null) for (device, inode) in place of what was recorded. Throws
  // std::bad_alloc when a table cannot grow.
  void Set(uint64_t device, uint64_t inode, const DirNode* node);
  // The node recorded for (device, inode); null when there is none.
  const DirNode* Find(uint64_t device, uint64_t inode) const;
  size_t Size() const;

 private:
  struct Slot {
    uint64_t Inode;
    const DirNode* Node;  // null: the slot is free
  };
  struct Table {
    uint64_t Device;
    std::vector<Slot> Slots;
    size_t Count = 0;
  };
  static void Grow(Table& table);
  std::vector<Table> Tables;
  size_t Last = 0;  // the table asked last: consecutive inodes mostly share a device
};

}  // namespace ostrel
