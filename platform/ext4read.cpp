#include "platform/ext4read.h"

extern "C" {
#include <et/com_err.h>
}
#include <ext2fs/ext2_fs.h>
#include <ext2fs/ext2fs.h>
#include <ext2fs/ext3_extents.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>
#include <new>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/ext4state.h"
#include "platform/ext4sum.h"
#include "platform/mountinfo.h"

namespace ostrel {

int ReadFully(int fd, void* into, size_t bytes, uint64_t at) {
  for (size_t done = 0; done < bytes;) {
    const ssize_t got = pread(fd, static_cast<char*>(into) + done, bytes - done, static_cast<off_t>(at + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    if (got == 0) return EIO;  // past the device's end
    done += static_cast<size_t>(got);
  }
  return 0;
}

namespace {

using TState = TDeviceListing::TState;

// The system's error number for a failure of the library, as the kernel would report the same
// fault: a bad checksum as EBADMSG, anything malformed as EUCLEAN.
int ErrorNumber(errcode_t error) {
  if (error == EXT2_ET_NO_MEMORY || error == ENOMEM) throw std::bad_alloc();
  if (error > 0 && error < 4096) return static_cast<int>(error);  // the system's own
  switch (error) {
    case EXT2_ET_SHORT_READ: return EIO;
    case EXT2_ET_DIR_CSUM_INVALID:
    case EXT2_ET_INODE_CSUM_INVALID:
    case EXT2_ET_EXTENT_CSUM_INVALID:
    case EXT2_ET_EXT_ATTR_CSUM_INVALID:
    case EXT2_ET_INLINE_DATA_NO_SPACE:
      return EBADMSG;
    default: return EUCLEAN;
  }
}

std::string Joined(const std::string& path, const char* name) {
  if (path.empty()) return {};
  return path + (path.back() == '/' ? "" : "/") + name;
}

// The bytes of inode `ino` as the table holds them, read with their neighbours; 0 or the
// error number. Under the handle's lock.
int RawInode(THandle& s, ext2_ino_t ino, const unsigned char*& raw) {
  ext2_super_block* super = s.Fs->super;
  const size_t size = EXT2_INODE_SIZE(super), block = s.Fs->blocksize;
  const dgrp_t group = (ino - 1) / super->s_inodes_per_group;
  const uint32_t index = (ino - 1) % super->s_inodes_per_group;
  // A block at a time: a folder's own inode lies anywhere, its files' mostly in a block or two.
  const size_t pieceBytes = std::max<size_t>(4096, block), perPiece = pieceBytes / size;
  const uint32_t first = static_cast<uint32_t>(index / perPiece * perPiece);
  THandle::TPiece* piece = nullptr;
  for (THandle::TPiece& p : s.Pieces)
    if (p.Group == group && p.First == first) piece = &p;
  if (!piece) {
    const blk64_t table = ext2fs_inode_table_loc(s.Fs, group);
    if (!table || table >= ext2fs_blocks_count(super)) return EUCLEAN;
    const size_t left = (super->s_inodes_per_group - first) * size;
    const size_t blocks = (std::min(pieceBytes, left) + block - 1) / block;
    piece = &s.Pieces[s.NextPiece++ % std::size(s.Pieces)];
    piece->Group = ~dgrp_t{0};
    piece->Bytes.resize(pieceBytes);
    if (const int error = ReadFully(s.Fd, piece->Bytes.data(), blocks * block, (table + first * size / block) * block))
      return error;
    piece->Group = group;
    piece->First = first;
  }
  raw = piece->Bytes.data() + (index - first) * size;
  return 0;
}

// Reads inode `ino`; 0 or the error number. Under the handle's lock.
int ReadInode(THandle& s, ext2_ino_t ino, ext2_inode_large& inode) {
  // What the kernel refuses to look up as an entry's inode.
  if ((ino < EXT2_FIRST_INO(s.Fs->super) && ino != EXT2_ROOT_INO) || ino > s.Fs->super->s_inodes_count)
    return EUCLEAN;
  std::memset(&inode, 0, sizeof inode);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  const unsigned char* raw = nullptr;
  if (const int error = RawInode(s, ino, raw)) return error;
  if (!ChecksumHolds(s.Fs, ino, raw)) return EBADMSG;
  std::memcpy(&inode, raw, std::min<size_t>(sizeof inode, EXT2_INODE_SIZE(s.Fs->super)));
  return 0;
#else
  std::lock_guard<std::mutex> library(*s.Library);
  const errcode_t error = ext2fs_read_inode_full(s.Fs, ino, reinterpret_cast<ext2_inode*>(&inode), sizeof inode);
  return error ? ErrorNumber(error) : 0;
#endif
}

bool InUse(const ext2_inode_large& inode) { return inode.i_links_count != 0 && inode.i_mode != 0; }

// What stat would say of the inode, the blocks of delayed allocation aside.
void FillStat(const TState& s, ext2_filsys fs, ext2_ino_t ino, const ext2_inode_large& inode, TEntryStat& stat) {
  ext2_super_block* super = fs->super;
  stat.Device = s.DeviceNumber;
  stat.Inode = ino;
  stat.Links = inode.i_links_count;
  stat.Folder = LINUX_S_ISDIR(inode.i_mode);
  // The high bits of the length belong to regular files (and to folders where large folders
  // are allowed); elsewhere they are something else.
  const bool wide = LINUX_S_ISREG(inode.i_mode) || ext2fs_has_feature_largedir(super);
  stat.Size = wide ? EXT2_I_SIZE(&inode) : inode.i_size;
  stat.DiskSize = ext2fs_get_stat_i_blocks(fs, reinterpret_cast<ext2_inode*>(const_cast<ext2_inode_large*>(&inode))) * 512;
  // As the kernel says of a file kept inside its inode: the sectors its length would fill.
  if (LINUX_S_ISREG(inode.i_mode) && (inode.i_flags & EXT4_INLINE_DATA_FL))
    stat.DiskSize += (stat.Size / 512 + (stat.Size % 512 != 0)) * 512;
  int64_t seconds = static_cast<int32_t>(inode.i_mtime);
  const size_t carried = EXT2_GOOD_OLD_INODE_SIZE + inode.i_extra_isize;
  if (EXT2_INODE_SIZE(super) > EXT2_GOOD_OLD_INODE_SIZE &&
      carried >= offsetof(ext2_inode_large, i_mtime_extra) + sizeof inode.i_mtime_extra)
    seconds += static_cast<int64_t>(inode.i_mtime_extra & EXT4_EPOCH_MASK) << 32;
  stat.MTime = seconds;
}

class TDeviceFolder : public TOpenFolder {
 public:
  TDeviceFolder(std::shared_ptr<TState> state, const TEntryStat& self, std::string hostPath)
      : S(std::move(state)), SelfStat(self), HostPath(std::move(hostPath)) {}

  const TEntryStat& Self() const override { return SelfStat; }
  int Error() const override { return ReadError; }

  // Reads the folder's entries, all at once: the walk holds a folder only while it works on it
  // or its subfolders wait. Under the handle's lock.
  void List(THandle& h, ext2_ino_t ino, const ext2_inode_large& inode) {
    ext2_filsys fs = h.Fs;
    if (!ReadSimple(h, ino, inode)) {
      std::lock_guard<std::mutex> library(*h.Library);
      Raw.clear();
      Names.clear();
      // Blocks checked here by the processor's crc32c; on any failure the library reads the
      // folder again and decides itself.
      const bool fast = !(inode.i_flags & EXT4_INLINE_DATA_FL) && ext2fs_has_feature_metadata_csum(fs->super);
      errcode_t error = Iterate(fs, ino, inode, fast);
      if (error && fast) {
        Raw.clear();
        Names.clear();
        error = Iterate(fs, ino, inode, false);
      }
      if (error) ReadError = ErrorNumber(error);
    }
    PutInListingOrder(fs, inode);
  }

  bool Read(TEntryBatch& batch, size_t max, bool) override {
    batch.Clear();
    THandle& h = S->Mine();
    std::lock_guard<std::mutex> hold(h.Lock);
    for (; Next < Raw.size() && batch.Size() < max; ++Next) {
      const TRaw& raw = Raw[Next];
      const char* name = Names.data() + raw.Name;
      TListedEntry entry;
      // A folder is opened for its details; one where something is mounted is the mount's.
      if (raw.Type == EXT2_FT_DIR || Mounted(raw.Ino)) {
        entry.Folder = true;
        batch.Add(name, entry);
        continue;
      }
      ext2_inode_large inode;
      if ((entry.Error = ReadInode(h, raw.Ino, inode)) == 0) {
        if (!InUse(inode)) continue;  // removed since the folder was read
        entry.Folder = LINUX_S_ISDIR(inode.i_mode);
        if (!entry.Folder) {
          FillStat(*S, h.Fs, raw.Ino, inode, entry.Stat);
          entry.Examined = true;
        }
      }
      batch.Add(name, entry);
    }
    return batch.Size() > 0;
  }

  int Examine(const char* name, TEntryStat& stat) override {
    const TRaw* raw = Find(name);
    if (!raw) return ENOENT;
    if (Mounted(raw->Ino)) return FindExaminePath(Joined(HostPath, name).c_str(), stat);
    THandle& h = S->Mine();
    std::lock_guard<std::mutex> hold(h.Lock);
    ext2_inode_large inode;
    if (const int error = ReadInode(h, raw->Ino, inode)) return error;
    if (!InUse(inode)) return ENOENT;
    FillStat(*S, h.Fs, raw->Ino, inode, stat);
    return 0;
  }

  std::shared_ptr<TOpenFolder> OpenChild(const char* name, int& error) override {
    const TRaw* raw = Find(name);
    if (!raw) {
      error = ENOENT;
      return nullptr;
    }
    if (Mounted(raw->Ino)) return SystemListing()->OpenRoot(Joined(HostPath, name).c_str(), error);
    return Open(S, raw->Ino, Joined(HostPath, name), error);
  }

  // Folder `ino` opened, with `hostPath` its path on this computer (empty: none).
  static std::shared_ptr<TOpenFolder> Open(const std::shared_ptr<TState>& s, ext2_ino_t ino, const std::string& hostPath,
                                           int& error) {
    THandle& h = s->Mine();
    std::unique_lock<std::mutex> hold(h.Lock);
    ext2_inode_large inode;
    if ((error = ReadInode(h, ino, inode)) != 0) return nullptr;
    error = !InUse(inode) ? ENOENT : !LINUX_S_ISDIR(inode.i_mode) ? ENOTDIR : 0;
    if (error) return nullptr;
    if (inode.i_flags & EXT4_ENCRYPT_FL) {
      // Its names are held in cipher: the kernel, which may hold the key, reads it.
      if (hostPath.empty()) {
        error = EOPNOTSUPP;
        return nullptr;
      }
      const bool tell = !s->EncryptedNoted.exchange(true);
      hold.unlock();
      if (tell && s->Note) s->Note("encrypted folders such as '" + hostPath + "' are read through the file system");
      return SystemListing()->OpenRoot(hostPath.c_str(), error);
    }
    TEntryStat self;
    FillStat(*s, h.Fs, ino, inode, self);
    auto folder = std::make_shared<TDeviceFolder>(s, self, hostPath);
    folder->List(h, ino, inode);
    return folder;
  }

 private:
  struct TRaw {
    ext2_ino_t Ino;
    uint32_t Name;  // offset in Names
    uint8_t Type;   // the entry's file type, as the folder records it
  };

  // The folder read here, without the library, where its blocks are laid out as nearly every
  // folder's are (a few extents or direct blocks, just as long as its length) and every block
  // checks out; false for anything else, which the library then reads and judges.
  bool ReadSimple(THandle& h, ext2_ino_t ino, const ext2_inode_large& inode) {
    if (__BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__) return false;  // the library swaps what it reads
    ext2_filsys fs = h.Fs;
    ext2_super_block* super = fs->super;
    const uint64_t size = EXT2_I_SIZE(&inode), block = fs->blocksize, total = ext2fs_blocks_count(super);
    if ((inode.i_flags & (EXT4_INLINE_DATA_FL | EXT4_ENCRYPT_FL)) || !size || size % block) return false;
    struct TRun {
      blk64_t Start, Length;
    } runs[EXT2_NDIR_BLOCKS];
    size_t count = 0;
    uint64_t mapped = 0;
    const auto add = [&](blk64_t start, blk64_t length) {
      if (start < super->s_first_data_block || start >= total || length > total - start) return false;
      if (count && runs[count - 1].Start + runs[count - 1].Length == start)
        runs[count - 1].Length += length;
      else
        runs[count++] = {start, length};
      mapped += length;
      return true;
    };
    if (inode.i_flags & EXT4_EXTENTS_FL) {
      ext3_extent_header header;
      std::memcpy(&header, inode.i_block, sizeof header);
      if (header.eh_magic != EXT3_EXT_MAGIC || header.eh_depth != 0 || header.eh_entries > 4) return false;
      for (int e = 0; e < header.eh_entries; ++e) {
        ext3_extent extent;
        std::memcpy(&extent, reinterpret_cast<const char*>(inode.i_block) + sizeof header + e * sizeof extent,
                    sizeof extent);
        // Logical blocks in order without holes, none unwritten.
        if (extent.ee_block != mapped || !extent.ee_len || extent.ee_len > EXT_INIT_MAX_LEN ||
            !add(extent.ee_start | static_cast<blk64_t>(extent.ee_start_hi) << 32, extent.ee_len))
          return false;
      }
    } else {
      if (size / block > EXT2_NDIR_BLOCKS) return false;
      for (uint64_t b = 0; b < size / block; ++b)
        if (!inode.i_block[b] || !add(inode.i_block[b], 1)) return false;
    }
    if (mapped != size / block) return false;

    const bool checked = ext2fs_has_feature_metadata_csum(super);
    const uint32_t seed = checked ? FolderChecksumSeed(fs, ino, inode.i_generation) : 0;
    // Read a few blocks at a time; the buffer grows only as far as folders need.
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(std::max<size_t>(4, (size_t{16} << 10) / block) * block, size));
    if (h.Blocks.size() < chunk) h.Blocks.resize(chunk);
    for (size_t r = 0; r < count; ++r) {
      for (uint64_t done = 0; done < runs[r].Length * block;) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(chunk, runs[r].Length * block - done));
        if (ReadFully(S->Fd, h.Blocks.data(), want, runs[r].Start * block + done)) return false;
        if (r == 0 && done == 0) NoteIndexRoot(h.Blocks.data(), block);
        for (size_t at = 0; at < want; at += block)
          if (!ParseBlock(h, ino, reinterpret_cast<char*>(h.Blocks.data()) + at, checked, seed)) return false;
        done += want;
      }
    }
    return true;
  }

  // One folder block's entries taken, as the library takes them; false where it is damaged or
  // its checksum does not hold.
  bool ParseBlock(THandle& h, ext2_ino_t dir, char* block, bool checked, uint32_t seed) {
    ext2_filsys fs = h.Fs;
    const unsigned size = fs->blocksize;
    if (checked && !TailHolds(seed, block, size)) {
      std::lock_guard<std::mutex> library(*h.Library);
      if (!ext2fs_dir_block_csum_verify(fs, dir, reinterpret_cast<ext2_dir_entry*>(block))) return false;
    }
    // Like the library, the last eight bytes hold no entry.
    for (unsigned offset = 0; offset < size - 8;) {
      auto* entry = reinterpret_cast<ext2_dir_entry*>(block + offset);
      unsigned length = 0;
      if (ext2fs_get_rec_len(fs, entry, &length) || length < 8 || length % 4 || length > size - offset) return false;
      const unsigned nameLength = static_cast<unsigned>(ext2fs_dirent_name_len(entry));
      if (nameLength + 8 > length) return false;
      offset += length;
      if (!entry->inode || (nameLength == 1 && entry->name[0] == '.') ||
          (nameLength == 2 && entry->name[0] == '.' && entry->name[1] == '.'))
        continue;
      Raw.push_back(TRaw{entry->inode, static_cast<uint32_t>(Names.size()),
                         static_cast<uint8_t>(ext2fs_dirent_file_type(entry))});
      Names.insert(Names.end(), entry->name, entry->name + nameLength);
      Names.push_back('\0');
    }
    return true;
  }

  // One pass over the folder's entries; with `fast`, each block's checksum is computed here.
  errcode_t Iterate(ext2_filsys fs, ext2_ino_t ino, const ext2_inode_large& inode, bool fast) {
    struct TCollect {
      TDeviceFolder* Folder;
      ext2_filsys Fs;
      uint32_t Seed;  // the folder's checksums begin from this
      bool Fast;
      bool RanOut;
      bool Bad;
      bool Begun;  // past the first entry
    } collect{this, fs, 0, fast, false, false, false};
    if (fast) collect.Seed = FolderChecksumSeed(fs, ino, inode.i_generation);
    const auto take = [](ext2_ino_t dir, int, ext2_dir_entry* entry, int offset, int size, char* block,
                         void* data) -> int {
      auto* c = static_cast<TCollect*>(data);
      // The first block comes first, and the first entry at its start.
      if (!c->Begun && offset == 0) c->Folder->NoteIndexRoot(reinterpret_cast<unsigned char*>(block), static_cast<unsigned>(size));
      c->Begun = true;
      if (c->Fast && offset == 0 && !BlockHolds(c->Fs, dir, c->Seed, block, size)) {
        c->Bad = true;
        return DIRENT_ABORT;
      }
      if (!entry->inode) return 0;  // free room, met here only for the check above
      const int length = ext2fs_dirent_name_len(entry);
      if ((length == 1 && entry->name[0] == '.') || (length == 2 && entry->name[0] == '.' && entry->name[1] == '.'))
        return 0;
      try {
        TDeviceFolder& f = *c->Folder;
        f.Raw.push_back(TRaw{entry->inode, static_cast<uint32_t>(f.Names.size()),
                             static_cast<uint8_t>(ext2fs_dirent_file_type(entry))});
        f.Names.insert(f.Names.end(), entry->name, entry->name + length);
        f.Names.push_back('\0');
      } catch (const std::bad_alloc&) {
        c->RanOut = true;  // never through the library's frames
        return DIRENT_ABORT;
      }
      return 0;
    };
    int flags = inode.i_flags & EXT4_INLINE_DATA_FL ? DIRENT_FLAG_INCLUDE_INLINE_DATA : 0;
    // The library's own check is left out only for this pass: it would compute it again.
    if (fast) {
      flags |= DIRENT_FLAG_INCLUDE_EMPTY;
      fs->flags |= EXT2_FLAG_IGNORE_CSUM_ERRORS;
    }
    const errcode_t error = ext2fs_dir_iterate2(fs, ino, flags, nullptr, take, &collect);
    fs->flags &= ~EXT2_FLAG_IGNORE_CSUM_ERRORS;
    if (collect.RanOut) throw std::bad_alloc();
    return collect.Bad ? EXT2_ET_DIR_CSUM_INVALID : error;
  }

  // The hash an indexed folder's index root names, from the folder's first block (where "." and
  // ".." are followed by the index's description).
  void NoteIndexRoot(const unsigned char* first, unsigned size) {
    constexpr unsigned at = 28;  // "." and ".." in 12 bytes each, 4 reserved, then the hash
    if (size > at) IndexHash = first[at];
  }

  // Whether folder block `block` of folder `dir` carries its checksum: a leaf's tail checked
  // here, anything else (an index block, a mismatch) by the library, under its lock (its check
  // looks up the folder's inode).
  static bool BlockHolds(ext2_filsys fs, ext2_ino_t dir, uint32_t seed, const char* block, int size) {
    return TailHolds(seed, block, static_cast<unsigned>(size)) ||
           ext2fs_dir_block_csum_verify(fs, dir, reinterpret_cast<ext2_dir_entry*>(const_cast<char*>(block)));
  }

  // Whether a leaf block's tail carries its checksum; false also for any other block.
  static bool TailHolds(uint32_t seed, const char* block, unsigned size) {
    const size_t tail = size - sizeof(ext2_dir_entry_tail);
    ext2_dir_entry_tail t;
    std::memcpy(&t, block + tail, sizeof t);
    return t.det_reserved_zero1 == 0 && t.det_rec_len == sizeof t && t.det_reserved_name_len == EXT2_DIR_NAME_LEN_CSUM &&
           Crc32c(seed, block, tail) == t.det_checksum;
  }

  // The kernel lists a folder that is hashed, or could be (one block, or inline), in the order
  // of its names' hashes, and the tree keeps a folder's files in the order listed.
  void PutInListingOrder(ext2_filsys fs, const ext2_inode_large& inode) {
    ext2_super_block* super = fs->super;
    if (!ext2fs_has_feature_dir_index(super)) return;
    if (!(inode.i_flags & (EXT2_INDEX_FL | EXT4_INLINE_DATA_FL)) &&
        EXT2_I_SIZE(&inode) >> EXT2_BLOCK_SIZE_BITS(super) != 1)
      return;
    int version = super->s_def_hash_version;
    // An indexed folder is hashed as its index says; one whose index names no hash the kernel
    // knows is listed by the kernel in the order of its blocks.
    if (inode.i_flags & EXT2_INDEX_FL) {
      if (IndexHash != EXT2_HASH_LEGACY && IndexHash != EXT2_HASH_HALF_MD4 && IndexHash != EXT2_HASH_TEA &&
          IndexHash != EXT2_HASH_SIPHASH)
        return;
      version = IndexHash;
    }
    // Neither flag: the kernel takes char as signed, as it is here.
    if (version <= EXT2_HASH_TEA && (super->s_flags & EXT2_FLAGS_UNSIGNED_HASH)) version += 3;
    struct TKey {
      ext2_dirhash_t Hash, Minor;
      uint32_t Index;
    };
    TBig<TKey> keys(Raw.size());
    for (uint32_t i = 0; i < keys.size(); ++i) {
      const char* name = Names.data() + Raw[i].Name;
      keys[i].Index = i;
      if (ext2fs_dirhash2(version, name, static_cast<int>(std::strlen(name)), fs->encoding, inode.i_flags,
                          super->s_hash_seed, &keys[i].Hash, &keys[i].Minor))
        return;
    }
    // Equal hashes keep the folder's order.
    std::sort(keys.begin(), keys.end(), [](const TKey& a, const TKey& b) {
      return a.Hash != b.Hash ? a.Hash < b.Hash : a.Minor != b.Minor ? a.Minor < b.Minor : a.Index < b.Index;
    });
    TBig<TRaw> ordered;
    ordered.reserve(Raw.size());
    for (const TKey& key : keys) ordered.push_back(Raw[key.Index]);
    Raw.swap(ordered);
  }

  bool Mounted(ext2_ino_t ino) const { return !S->Mounts.empty() && S->Mounts.count(ino); }

  // The entry named `name`; null when there is none. Any thread.
  const TRaw* Find(const char* name) {
    // Sorted at the first call (a folder without subfolders never needs it); a flag of its own,
    // since a once_flag wakes waiters through the kernel every time.
    if (!Sorted.load(std::memory_order_acquire)) {
      std::lock_guard<std::mutex> hold(Sorting);
      if (!Sorted.load(std::memory_order_relaxed)) {
        ByName.resize(Raw.size());
        for (uint32_t i = 0; i < ByName.size(); ++i) ByName[i] = i;
        std::sort(ByName.begin(), ByName.end(), [this](uint32_t a, uint32_t b) {
          return std::strcmp(Names.data() + Raw[a].Name, Names.data() + Raw[b].Name) < 0;
        });
        Sorted.store(true, std::memory_order_release);
      }
    }
    const auto it = std::lower_bound(ByName.begin(), ByName.end(), name, [this](uint32_t i, const char* n) {
      return std::strcmp(Names.data() + Raw[i].Name, n) < 0;
    });
    return it != ByName.end() && std::strcmp(Names.data() + Raw[*it].Name, name) == 0 ? &Raw[*it] : nullptr;
  }

  std::shared_ptr<TState> S;
  TEntryStat SelfStat;
  std::string HostPath;
  // A large folder's lists are given back to the system when it is closed.
  template <typename T>
  using TBig = std::vector<T, TMappedAllocator<T, size_t{64} << 10>>;

  TBig<char> Names;
  TBig<TRaw> Raw;  // in the folder's own order, as a listing gives them
  std::atomic<bool> Sorted{false};
  std::mutex Sorting;
  TBig<uint32_t> ByName;  // Raw's indices in byte order of the names
  size_t Next = 0;
  int ReadError = 0;
  int IndexHash = -1;  // the hash the index root names, for an indexed folder
};

// Opens the file system on `device` read-only into `s`; empty, or why it cannot.
std::string OpenFileSystem(TState& s, const std::string& device) {
  s.Device = device;
  static std::once_flag texts;
  std::call_once(texts, [] { initialize_ext2_error_table(); });
  // Read-only: the journal is never replayed, nothing is written, not even the mount count.
  const errcode_t error =
      ext2fs_open2(device.c_str(), nullptr, EXT2_FLAG_64BITS | EXT2_FLAG_SKIP_MMP, 0, 0, unix_io_manager, &s.Fs);
  if (error == EXT2_ET_BAD_MAGIC) return "'" + device + "' holds no ext2/3/4 file system";
  if (error == EXT2_ET_UNSUPP_FEATURE || error == EXT2_ET_RO_UNSUPP_FEATURE)
    return "the file system on '" + device + "' has features this program cannot read";
  if (error) return "cannot read '" + device + "': " + error_message(error);
  // What the library still reads itself is read once: its cache would only copy it.
  io_channel_set_options(s.Fs->io, "cache=off");
  const ext2_super_block* super = s.Fs->super;
  if ((super->s_feature_incompat & ~EXT2_LIB_FEATURE_INCOMPAT_SUPP) ||
      (super->s_feature_ro_compat & ~EXT2_LIB_FEATURE_RO_COMPAT_SUPP))
    return "the file system on '" + device + "' has features this program cannot read";
  s.Fd = open(device.c_str(), O_RDONLY | O_CLOEXEC);
  if (s.Fd < 0) return "cannot read '" + device + "': " + std::strerror(errno);
  s.Handles[0] = s.MakeHandle();
  return {};
}

// The inode of the folder at `path` inside the file system; 0 when there is none.
ext2_ino_t InodeAt(TState& s, const std::string& path) {
  ext2_ino_t ino = 0;
  if (path.empty() || path == "/") return EXT2_ROOT_INO;
  if (ext2fs_namei(s.Fs, EXT2_ROOT_INO, EXT2_ROOT_INO, path.c_str(), &ino)) return 0;
  return ino;
}

// The root folder is one the device can read: a folder, not encrypted. Empty or why not.
std::string CheckRoot(TState& s, const std::string& shown) {
  ext2_inode_large inode;
  if (ReadInode(s.First(), s.RootIno, inode) != 0 || !InUse(inode) || !LINUX_S_ISDIR(inode.i_mode))
    return "'" + shown + "' is no folder that '" + s.Device + "' can read";
  if (inode.i_flags & EXT4_ENCRYPT_FL) return "'" + shown + "' is an encrypted folder";
  return {};
}

}  // namespace

TDeviceListing::TDeviceListing(std::shared_ptr<TState> state) : State(std::move(state)) {}
TDeviceListing::~TDeviceListing() = default;

TDeviceScan DeviceScanOf(const std::string& path, TDeviceNote note) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {nullptr, "'" + path + "' names no folder"};
  char* resolved = realpath(path.c_str(), nullptr);
  if (!resolved) return {nullptr, "'" + path + "' names no folder"};
  const std::string real = resolved;
  std::free(resolved);
  const std::vector<TMountInfo> mounts = ReadMountInfo();
  const TMountInfo* mount = nullptr;  // the deepest mount holding it, the last one there
  for (const TMountInfo& m : mounts)
    if (Within(real, m.Point) && (!mount || m.Point.size() >= mount->Point.size())) mount = &m;
  if (!mount || mount->Device != st.st_dev) return {nullptr, "cannot tell which mount holds '" + path + "'"};
  if (mount->Type != "ext2" && mount->Type != "ext3" && mount->Type != "ext4")
    return {nullptr, "'" + path + "' lies on a " + mount->Type + " file system, not ext2/3/4"};
  // The device the mount table names, or the system's own name for the number.
  std::string device;
  for (const std::string& candidate : {mount->Source, "/dev/block/" + std::to_string(major(st.st_dev)) + ":" +
                                                          std::to_string(minor(st.st_dev))}) {
    struct stat dst {};
    if (device.empty() && stat(candidate.c_str(), &dst) == 0 && S_ISBLK(dst.st_mode) && dst.st_rdev == st.st_dev)
      device = candidate;
  }
  if (device.empty()) return {nullptr, "cannot find the block device of '" + path + "'"};
  if (std::string why = NotLocal(st.st_dev); !why.empty()) return {nullptr, why};

  auto state = std::make_shared<TState>();
  if (std::string why = OpenFileSystem(*state, device); !why.empty()) return {nullptr, why};
  state->DeviceNumber = st.st_dev;
  state->RootName = path;
  state->HostRoot = path;
  state->Note = std::move(note);
  state->RootIno = InodeAt(*state, InsidePath(*mount, real));
  if (state->RootIno != st.st_ino)
    return {nullptr, "the folder '" + path + "' was not found on '" + device + "' by its inode"};
  if (std::string why = CheckRoot(*state, path); !why.empty()) return {nullptr, why};
  // What is mounted on a folder of this file system below the root is the mount's to show.
  for (const TMountInfo& m : mounts) {
    if (m.Parent != mount->Id || m.Point == real || !Within(m.Point, real)) continue;
    struct stat mst {};
    if (lstat(m.Point.c_str(), &mst) != 0 || !S_ISDIR(mst.st_mode)) continue;
    if (const ext2_ino_t ino = InodeAt(*state, InsidePath(*mount, m.Point))) state->Mounts[ino] = m.Point;
  }
  return {std::shared_ptr<TDeviceListing>(new TDeviceListing(state)), {}};
}

TDeviceScan DeviceImageScan(const std::string& image, const std::string& inside, TDeviceNote note) {
  auto state = std::make_shared<TState>();
  if (std::string why = OpenFileSystem(*state, image); !why.empty()) return {nullptr, why};
  state->RootName = inside;
  state->Note = std::move(note);
  state->RootIno = InodeAt(*state, inside);
  if (!state->RootIno) return {nullptr, "'" + inside + "' names no folder in '" + image + "'"};
  if (std::string why = CheckRoot(*state, inside); !why.empty()) return {nullptr, why};
  if (ext2fs_has_feature_journal_needs_recovery(state->Fs->super) && state->Note)
    state->Note("the journal of '" + image + "' holds changes not yet written to its file system: they are not shown");
  return {std::shared_ptr<TDeviceListing>(new TDeviceListing(state)), {}};
}

std::shared_ptr<TOpenFolder> TDeviceListing::OpenRoot(const char* path, int& error) {
  if (path != State->RootName) return SystemListing()->OpenRoot(path, error);
  return TDeviceFolder::Open(State, State->RootIno, State->HostRoot, error);
}

int TDeviceListing::ExamineRoot(const char* path, TEntryStat& stat) {
  if (path != State->RootName || !State->HostRoot.empty()) return FindExaminePath(path, stat);
  THandle& h = State->Mine();
  std::lock_guard<std::mutex> hold(h.Lock);
  ext2_inode_large inode;
  if (const int error = ReadInode(h, State->RootIno, inode)) return error;
  FillStat(*State, h.Fs, State->RootIno, inode, stat);
  return 0;
}

size_t TDeviceListing::OpenFolderBudget() const { return SystemListing()->OpenFolderBudget(); }

}  // namespace ostrel
