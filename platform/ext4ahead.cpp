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
#include <new>
#include <utility>
#include <vector>

#include "platform/ext4read.h"
#include "platform/ext4state.h"

namespace ostrel {

namespace {

// Memory for the read-ahead's passing buffers, mapped and unmapped directly: freeing a large
// block of the heap would make the heap keep the walk's later blocks instead of returning them.
template <typename T>
struct TMappedAllocator {
  using value_type = T;
  TMappedAllocator() = default;
  template <typename U>
  TMappedAllocator(const TMappedAllocator<U>&) {}
  T* allocate(size_t n) {
    void* p = mmap(nullptr, n * sizeof(T), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, size_t n) { munmap(p, n * sizeof(T)); }
  template <typename U>
  bool operator==(const TMappedAllocator<U>&) const {
    return true;
  }
};

}  // namespace

void TDeviceListing::Prepare(const std::atomic<int>& stop) {
  THandle& s = State->First();
  std::lock_guard<std::mutex> hold(s.Lock);
  // One pass over the disk in the order its blocks lie: the inode tables (the part of each
  // group in use) in large reads, and after each stretch of them the folders' blocks found
  // there that lie before the next table (those the inode itself maps: the rest is read as the
  // walk comes to it), near ones merged. A disk read forwards keeps its speed; one sent back
  // and forth between tables and folders loses much of it. Nothing is checked here: the walk
  // checks every inode and block it reads.
  ext2_super_block* super = s.Fs->super;
  const size_t inodeSize = EXT2_INODE_SIZE(super), blockSize = s.Fs->blocksize;
  const blk64_t total = ext2fs_blocks_count(super), size = blockSize;
  const int fd = State->Fd;
  const size_t chunkBlocks = std::max<size_t>(1, (size_t{128} << 10) / blockSize);
  std::vector<unsigned char, TMappedAllocator<unsigned char>> chunk(chunkBlocks * blockSize);
  using TRuns = std::vector<std::pair<blk64_t, blk64_t>, TMappedAllocator<std::pair<blk64_t, blk64_t>>>;
  TRuns found, asked;  // first block, blocks: folders' blocks not yet asked for, and asked for
  found.reserve(4096);
  struct TTable {
    blk64_t Start, Blocks;
    uint64_t Inodes;
  };
  std::vector<TTable, TMappedAllocator<TTable>> tables;
  for (dgrp_t group = 0; group < s.Fs->group_desc_count; ++group) {
    uint64_t inodes = super->s_inodes_per_group;
    if (ext2fs_has_group_desc_csum(s.Fs)) {
      if (ext2fs_bg_flags_test(s.Fs, group, EXT2_BG_INODE_UNINIT)) continue;
      inodes -= std::min<uint64_t>(inodes, ext2fs_bg_itable_unused(s.Fs, group));
    }
    const blk64_t table = ext2fs_inode_table_loc(s.Fs, group), blocks = (inodes * inodeSize + size - 1) / size;
    if (table && table < total && blocks && blocks <= total - table) tables.push_back({table, blocks, inodes});
  }
  std::sort(tables.begin(), tables.end(), [](const TTable& a, const TTable& b) { return a.Start < b.Start; });

  // Those the cache holds already are left out: on a warm cache nothing is read or copied.
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  const blk64_t most = std::max<blk64_t>(1, (4 << 20) / size), gap = 16;
  std::vector<unsigned char, TMappedAllocator<unsigned char>> resident(most * size / page + 2);
  const auto cached = [&](blk64_t from, blk64_t length) {
    const off_t at = static_cast<off_t>(from * size / page * page);
    const size_t bytes = from * size + length * size - static_cast<size_t>(at);
    void* map = mmap(nullptr, bytes, PROT_READ, MAP_SHARED, fd, at);
    if (map == MAP_FAILED) return false;
    const auto pages = static_cast<std::ptrdiff_t>((bytes + page - 1) / page);
    const bool all = mincore(map, bytes, resident.data()) == 0 &&
                     std::all_of(resident.begin(), resident.begin() + pages, [](unsigned char c) { return c & 1; });
    munmap(map, bytes);
    return all;
  };
  // The folders' blocks found that lie before block `before`, asked for in the order they lie.
  const auto ask = [&](blk64_t before) {
    std::sort(found.begin(), found.end());
    size_t i = 0;
    while (i < found.size() && found[i].first < before && found[i].first < total) {
      const blk64_t first = found[i].first;
      blk64_t end = first + found[i].second;
      for (++i; i < found.size() && found[i].first <= end + gap && found[i].first + found[i].second - first <= most; ++i)
        end = std::max(end, found[i].first + found[i].second);
      end = std::min({end, total, first + most});
      if (cached(first, end - first)) continue;
      posix_fadvise(fd, static_cast<off_t>(first * size), static_cast<off_t>((end - first) * size), POSIX_FADV_WILLNEED);
      asked.emplace_back(first, end - first);
    }
    found.erase(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(i));
  };

  for (const TTable& table : tables) {
    if (stop.load(std::memory_order_relaxed)) return;
    ask(table.Start);
    posix_fadvise(fd, static_cast<off_t>(table.Start * size), static_cast<off_t>(table.Blocks * size),
                  POSIX_FADV_WILLNEED);
    for (blk64_t done = 0; done < table.Blocks; done += chunkBlocks) {
      const blk64_t count = std::min<blk64_t>(chunkBlocks, table.Blocks - done);
      if (ReadFully(fd, chunk.data(), count * size, (table.Start + done) * size)) continue;
      const uint64_t first = done * blockSize / inodeSize;
      const uint64_t last = std::min<uint64_t>(table.Inodes, (done + count) * blockSize / inodeSize);
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
            found.emplace_back(start, length);
          }
        } else {
          for (int b = 0; b < EXT2_NDIR_BLOCKS; ++b)
            if (inode.i_block[b]) found.emplace_back(inode.i_block[b], 1);
        }
      }
    }
  }
  ask(total);
  // Each waited for through the tables' buffer, read into and dropped: the kernel's cache
  // keeps them for the walk.
  for (const auto& [from, length] : asked) {
    if (stop.load(std::memory_order_relaxed)) break;
    for (size_t done = 0, want = length * size; done < want;) {
      const ssize_t got =
          pread(fd, chunk.data(), std::min(want - done, chunk.size()), static_cast<off_t>(from * size + done));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      done += static_cast<size_t>(got);
    }
  }
}

}  // namespace ostrel
