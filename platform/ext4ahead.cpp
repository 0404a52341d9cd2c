// The device listing's read-ahead (TDeviceListing::Prepare).
#include <ext2fs/ext2_fs.h>
#include <ext2fs/ext2fs.h>
#include <ext2fs/ext3_extents.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/ext4read.h"
#include "platform/ext4state.h"

namespace ostrel {

void TDeviceListing::Prepare(const std::atomic<int>& stop) {
  // Only for a scan of the whole file system: for a folder below its root, this would read the
  // whole disk's tables and folders for a part of them, and the walk reads what it needs anyway.
  if (State->RootIno != EXT2_ROOT_INO) return;
  THandle& s = State->First();
  std::lock_guard<std::mutex> hold(s.Lock);
  // The inode tables in large reads, in disk order, the part of each group in use only; on the
  // way, where the folders' blocks lie (those the inode itself maps: the rest is read as the
  // walk comes to it). Nothing is checked here: the walk checks every inode it reads.
  ext2_super_block* super = s.Fs->super;
  const size_t inodeSize = EXT2_INODE_SIZE(super), blockSize = s.Fs->blocksize;
  const blk64_t total = ext2fs_blocks_count(super);
  const size_t chunkBlocks = std::max<size_t>(1, (size_t{128} << 10) / blockSize);
  std::vector<unsigned char, TMappedAllocator<unsigned char>> chunk(chunkBlocks * blockSize);
  std::vector<std::pair<blk64_t, blk64_t>, TMappedAllocator<std::pair<blk64_t, blk64_t>>> runs;  // first block, blocks
  runs.reserve(4096);
  // The part of a group's inode table in use: its inodes, first block and blocks; false for none.
  const auto tableOf = [&](dgrp_t group, uint64_t& inodes, blk64_t& table, blk64_t& blocks) {
    inodes = super->s_inodes_per_group;
    if (ext2fs_has_group_desc_csum(s.Fs)) {
      if (ext2fs_bg_flags_test(s.Fs, group, EXT2_BG_INODE_UNINIT)) return false;
      inodes -= std::min<uint64_t>(inodes, ext2fs_bg_itable_unused(s.Fs, group));
    }
    table = ext2fs_inode_table_loc(s.Fs, group);
    blocks = (inodes * inodeSize + blockSize - 1) / blockSize;
    return table && table < total && blocks <= total - table && blocks;
  };
  uint64_t inodes = 0;
  blk64_t table = 0, blocks = 0;
  // All asked of the disk at once, so that it has many to take in order while each is parsed.
  const int fd = State->Fd;
  for (dgrp_t group = 0; group < s.Fs->group_desc_count; ++group)
    if (tableOf(group, inodes, table, blocks))
      posix_fadvise(fd, static_cast<off_t>(table * blockSize), static_cast<off_t>(blocks * blockSize),
                    POSIX_FADV_WILLNEED);
  for (dgrp_t group = 0; group < s.Fs->group_desc_count && !stop.load(std::memory_order_relaxed); ++group) {
    if (!tableOf(group, inodes, table, blocks)) continue;
    for (blk64_t done = 0; done < blocks; done += chunkBlocks) {
      const blk64_t count = std::min<blk64_t>(chunkBlocks, blocks - done);
      if (ReadFully(fd, chunk.data(), count * blockSize, (table + done) * blockSize)) continue;
      const uint64_t first = done * blockSize / inodeSize;
      const uint64_t last = std::min<uint64_t>(inodes, (done + count) * blockSize / inodeSize);
      for (uint64_t i = first; i < last; ++i) {
        ext2_inode inode;
        std::memcpy(&inode, chunk.data() + (i - first) * inodeSize, sizeof inode);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
        ext2fs_swap_inode(s.Fs, &inode, &inode, 0);
#endif
        if (!LINUX_S_ISDIR(inode.i_mode) || !inode.i_links_count || (inode.i_flags & EXT4_INLINE_DATA_FL)) continue;
        if (inode.i_flags & EXT4_EXTENTS_FL) {
          const auto* header = reinterpret_cast<const ext3_extent_header*>(inode.i_block);
          if (header->eh_magic != EXT3_EXT_MAGIC || header->eh_depth != 0) continue;
          const auto* extent = reinterpret_cast<const ext3_extent*>(header + 1);
          for (int e = 0; e < std::min<int>(header->eh_entries, 4); ++e) {
            const blk64_t start = extent[e].ee_start | static_cast<blk64_t>(extent[e].ee_start_hi) << 32;
            const blk64_t length = extent[e].ee_len > EXT_INIT_MAX_LEN ? extent[e].ee_len - EXT_INIT_MAX_LEN : extent[e].ee_len;
            runs.emplace_back(start, length);
          }
        } else {
          for (int b = 0; b < EXT2_NDIR_BLOCKS; ++b)
            if (inode.i_block[b]) runs.emplace_back(inode.i_block[b], 1);
        }
      }
    }
  }

  // Then the folders' blocks in the order they lie, near ones merged into large reads, into the
  // kernel's cache before the walk begins: the walk then reads them from there in the tree's
  // order instead of seeking for each folder.
  std::sort(runs.begin(), runs.end());
  const blk64_t size = blockSize;
  const blk64_t most = std::max<blk64_t>(1, (4 << 20) / size), gap = 16;
  size_t ranges = 0;  // merged in place: first block, blocks
  for (size_t i = 0; i < runs.size();) {
    const blk64_t first = runs[i].first;
    blk64_t end = first + runs[i].second;
    for (++i; i < runs.size() && runs[i].first <= end + gap && runs[i].first + runs[i].second - first <= most; ++i)
      end = std::max(end, runs[i].first + runs[i].second);
    if (first >= total) break;
    end = std::min({end, total, first + most});
    runs[ranges++] = {first, end - first};
  }
  runs.resize(ranges);
  // Those the cache holds already are left out: on a warm cache nothing is read or copied.
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  std::vector<unsigned char, TMappedAllocator<unsigned char>> resident(most * size / page + 2);
  std::erase_if(runs, [&](const std::pair<blk64_t, blk64_t>& r) {
    const off_t at = static_cast<off_t>(r.first * size / page * page);
    const size_t length = r.first * size + r.second * size - static_cast<size_t>(at);
    void* map = mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, at);
    if (map == MAP_FAILED) return false;
    const auto pages = static_cast<std::ptrdiff_t>((length + page - 1) / page);
    const bool cached = mincore(map, length, resident.data()) == 0 &&
                        std::all_of(resident.begin(), resident.begin() + pages, [](unsigned char c) { return c & 1; });
    munmap(map, length);
    return cached;
  });
  // All asked for first, so the disk has many to take in order, then each waited for through the
  // inode tables' buffer, read into and dropped: the kernel's cache keeps them.
  for (const auto& [from, length] : runs)
    posix_fadvise(fd, static_cast<off_t>(from * size), static_cast<off_t>(length * size), POSIX_FADV_WILLNEED);
  for (const auto& [from, length] : runs) {
    if (stop.load(std::memory_order_relaxed)) break;
    for (size_t done = 0, want = length * size; done < want; done += chunk.size())
      if (ReadFully(fd, chunk.data(), std::min(want - done, chunk.size()), from * size + done)) break;
  }
}

}  // namespace ostrel
