// Directory listing: the platform's "first entry, next entry, close" over one folder.
// Names are bytes exactly as the file system holds them. Symbolic links are never followed
// for entries: a link is reported as a file of the link's own size.
//
// Every call that can fail says why with the system's error number, so that a caller can
// report what it could not read instead of losing it silently.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

namespace ostrel {

// Attribute bit of a folder entry (the only attribute the walk looks at).
inline constexpr uint32_t FaDirectory = 16;

// What the file system says of one entry or of an open folder.
struct TEntryStat {
  uint64_t Device = 0;
  uint64_t Inode = 0;
  uint64_t Links = 1;     // names the inode has; a file with more is counted once per scan
  uint64_t Size = 0;      // apparent size: the length in bytes, full 64 bits
  uint64_t DiskSize = 0;  // space used on disk: allocated blocks x 512
  bool Folder = false;
  int64_t MTime = 0;      // last modification, seconds since 1970 (negative before it)
};

struct TSearchRec {
  const char* Name = nullptr;  // valid until the next FindNext or FindClose on the same search
  uint32_t Attr = 0;           // FaDirectory for a real directory, 0 for anything else
  uint64_t Size = 0;           // apparent size in bytes, full 64 bits (0 for folders)
  uint64_t Device = 0;         // the file system the entry lives on; for a folder entry, that of
                               // the listed folder (a mount point shows its own in FindSelf)
  // The entry's full details. For a folder entry known from the listing alone they are not
  // read (Examined false: one system call per folder saved); open the folder for them.
  TEntryStat Stat;
  bool Examined = false;
  // Nonzero when the entry was listed but could not be examined (the system's error number,
  // e.g. the folder lacks search permission): sizes are 0 and Attr is what the listing told.
  int Error = 0;
};

// Where entries are read into, a few kilobytes at a time.
struct TFindBuffer {
  size_t Pos = 0;
  size_t End = 0;
  alignas(8) char Data[8 * 1024];
};

// An open listing of one folder: made by FindOpen and destroyed by FindClose, or kept inside
// an object of the caller's and opened by FindOpenIn. Its fields are the listing's own.
struct TSearch {
  TSearch() = default;
  TSearch(const TSearch&) = delete;
  TSearch& operator=(const TSearch&) = delete;
  ~TSearch();  // closes it

  int Fd = -1;
  TEntryStat Self;
  int Error = 0;
  bool Ended = false;
  // Entries that the listing itself shows to be no folder are left unexamined (Examined
  // false, Error 0, Attr 0), for the caller to examine where it likes (FindExamine, from any
  // thread). Entries of a kind the listing does not tell are examined all the same.
  bool LeaveFiles = false;
  std::unique_ptr<TFindBuffer> Own;  // FindNext's buffer, made on its first call
};

// Opens the folder `path` for listing. With `parent` null, `path` is a path of any kind (a
// symbolic link named by the caller is followed). With `parent` an open listing, `path` is a
// single entry name inside that folder (one holding "/" is refused): it is opened relative to
// it, so nesting depth and path length are unlimited, and a link is never followed. Returns
// null when the folder cannot be listed (missing, not a folder, no access, out of descriptors)
// and then stores the system's error number in `*error` when given; the caller owns the result.
// Each open listing holds one descriptor.
TSearch* FindOpen(TSearch* parent, const char* path, int* error = nullptr);
// The same into `search`, which must not be open yet; 0 or the system's error number.
int FindOpenIn(TSearch* parent, const char* path, TSearch& search);

// As FindNext, reading into `buffer` instead of the search's own. Searches may share one
// buffer (one per thread, say) as long as each leaves it empty (FindNext returned false, or
// `buffer.Pos == buffer.End`) before another reads into it; rec.Name points into it.
bool FindNextIn(TSearch* search, TFindBuffer& buffer, TSearchRec& rec);

// Fills `rec` with the next entry, "." and ".." skipped. An entry removed since the folder was
// read is skipped. Returns false at the end of the listing, or when reading fails part-way
// (FindError then tells why; what was returned so far stays valid).
bool FindNext(TSearch* search, TSearchRec& rec);


// The error number of a listing that failed part-way; 0 while it has not (and at a clean end).
int FindError(const TSearch* search);

// The listed folder itself, as it was when opened.
const TEntryStat& FindSelf(const TSearch* search);

// Examines the entry `name` of the open folder without following a link; 0 on success, else
// the system's error number. Safe to call from several threads at once, and while another
// thread reads the listing.
int FindExamine(TSearch* search, const char* name, TEntryStat& stat);
// Examines `path`, a path of any kind, following a link as FindOpen with no parent does: the
// details of a folder that cannot be listed. 0 or the system's error number.
int FindExaminePath(const char* path, TEntryStat& stat);

// Closes the listing; null is allowed.
void FindClose(TSearch* search);

}  // namespace ostrel
