// Directory listing: the platform's "first entry, next entry, close" over one folder.
// Names are bytes exactly as the file system holds them. Symbolic links are never followed
// for entries: a link is reported as a file of the link's own size.
#pragma once
#include <cstdint>

namespace ostrel {

// Attribute bit of a folder entry (the only attribute the walk looks at).
inline constexpr uint32_t FaDirectory = 16;

struct TSearchRec {
  const char* Name = nullptr;  // valid until the next FindNext or FindClose on the same search
  uint32_t Attr = 0;           // FaDirectory for a real directory, 0 for anything else
  uint64_t Size = 0;           // apparent size in bytes, full 64 bits (0 for folders)
  uint64_t Device = 0;         // the file system the entry lives on; for a folder entry, that of
                               // the listed folder (a mount point shows its own in FindDevice)
};

// An open listing of one folder. Opaque; created by FindOpen, destroyed by FindClose.
struct TSearch;

// Opens the folder `path` for listing. With `parent` null, `path` is a path of any kind (a
// symbolic link named by the caller is followed). With `parent` an open listing, `path` is a
// single entry name inside that folder (one holding "/" is refused): it is opened relative to
// it, so nesting depth and path length are unlimited, and a link is never followed. Returns
// null when the folder cannot be listed (missing, not a folder, no access, out of descriptors);
// the caller owns the result. Each open listing holds one descriptor; the first call raises the
// process's soft descriptor limit to its hard limit so that deep walks have enough.
TSearch* FindOpen(TSearch* parent, const char* path);

// Fills `rec` with the next entry, "." and ".." skipped. An entry removed since the folder was
// read is skipped; one that can be listed but not examined (the folder lacks search permission)
// comes with Size 0 and the folder attribute as far as the listing itself tells. Returns false
// at the end of the listing, or when reading fails part-way (what was returned so far stays
// valid).
bool FindNext(TSearch* search, TSearchRec& rec);

// The file system of the listed folder itself; 0 for null.
uint64_t FindDevice(const TSearch* search);

// Closes the listing; null is allowed.
void FindClose(TSearch* search);

}  // namespace ostrel
