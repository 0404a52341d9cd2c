#include "platform/ext4sum.h"

#include <ext2fs/ext2_fs.h>
#if defined(__x86_64__)
#include <nmmintrin.h>
#endif

#include <cstring>

namespace ostrel {

namespace {

#if defined(__x86_64__)
__attribute__((target("sse4.2"))) uint32_t Crc32cByCpu(uint32_t crc, const unsigned char* p, size_t n) {
  uint64_t c = crc;
  for (; n >= 8; n -= 8, p += 8) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    c = _mm_crc32_u64(c, word);
  }
  for (; n; --n, ++p) c = _mm_crc32_u8(static_cast<uint32_t>(c), *p);
  return static_cast<uint32_t>(c);
}
#endif

}  // namespace

uint32_t Crc32c(uint32_t crc, const void* data, size_t n) {
  const auto* p = static_cast<const unsigned char*>(data);
#if defined(__x86_64__)
  static const bool cpu = __builtin_cpu_supports("sse4.2");
  if (cpu) return Crc32cByCpu(crc, p, n);
#endif
  return ext2fs_crc32c_le(crc, p, n);
}

uint32_t FolderChecksumSeed(ext2_filsys fs, ext2_ino_t ino, uint32_t generation) {
  const uint32_t number = ino;
  return Crc32c(Crc32c(fs->csum_seed, &number, 4), &generation, 4);
}

bool ChecksumHolds(ext2_filsys fs, ext2_ino_t ino, const unsigned char* raw) {
  ext2_super_block* super = fs->super;
  if (!ext2fs_has_feature_metadata_csum(super)) return true;
  const size_t size = EXT2_INODE_SIZE(super);
  const size_t lo = offsetof(ext2_inode, osd2.linux2.l_i_checksum_lo), hi = offsetof(ext2_inode_large, i_checksum_hi);
  const uint16_t none = 0;
  uint16_t extra = 0;
  if (size > EXT2_GOOD_OLD_INODE_SIZE) std::memcpy(&extra, raw + offsetof(ext2_inode_large, i_extra_isize), 2);
  const bool high = size > EXT2_GOOD_OLD_INODE_SIZE && size_t{EXT2_GOOD_OLD_INODE_SIZE} + extra >= hi + 2;
  const uint32_t number = ino;
  uint32_t crc = Crc32c(fs->csum_seed, &number, 4);
  crc = Crc32c(crc, raw + offsetof(ext2_inode, i_generation), 4);
  crc = Crc32c(crc, raw, lo);
  crc = Crc32c(crc, &none, 2);
  crc = Crc32c(crc, raw + lo + 2, EXT2_GOOD_OLD_INODE_SIZE - lo - 2);
  uint16_t storedLo = 0, storedHi = 0;
  std::memcpy(&storedLo, raw + lo, 2);
  if (size > EXT2_GOOD_OLD_INODE_SIZE) {
    crc = Crc32c(crc, raw + EXT2_GOOD_OLD_INODE_SIZE, hi - EXT2_GOOD_OLD_INODE_SIZE);
    size_t at = hi;
    if (high) {
      std::memcpy(&storedHi, raw + hi, 2);
      crc = Crc32c(crc, &none, 2);
      at += 2;
    }
    crc = Crc32c(crc, raw + at, size - at);
  }
  if (high ? crc == (storedLo | static_cast<uint32_t>(storedHi) << 16) : (crc & 0xffff) == storedLo) return true;
  return ext2fs_inode_csum_verify(fs, ino, reinterpret_cast<ext2_inode_large*>(const_cast<unsigned char*>(raw)));
}

}  // namespace ostrel
