// The checksums of ext4's metadata, computed as the kernel computes them, by the processor's
// crc32c instruction where it has one.
#pragma once
#include <ext2fs/ext2fs.h>

#include <cstddef>
#include <cstdint>

namespace ostrel {

// The crc32c of the file system's checksums (no inversion before or after).
uint32_t Crc32c(uint32_t crc, const void* data, size_t n);

// Where the checksums of folder `ino`'s blocks begin: its number and generation.
uint32_t FolderChecksumSeed(ext2_filsys fs, ext2_ino_t ino, uint32_t generation);

// Whether the on-disk inode `raw` carries its checksum (true where the file system keeps
// none). A mismatch is checked again by the library, which knows every special case.
bool ChecksumHolds(ext2_filsys fs, ext2_ino_t ino, const unsigned char* raw);

}  // namespace ostrel
