// A scan read back from a scan file (ours or another tool's, in the same format) instead of
// walking: the same tree as a walk of the same folders makes, under the same rules, whatever
// order the file gives the entries in (a TTreeBuilder puts them in the tree's order). Each
// inode counts once, by (device, inode): a file with several names by its first name in the
// tree's order, a folder met again as an empty node of size 0 (in Repeats). A folder's own apparent size is
// not counted (folders count in disk usage only). What the file marks as unreadable is in
// Problems. An entry's "mtime" and "ino" go into MTime and InodeTag (a folder's time then
// becomes the newest at or below it, whether the file gave its own or, as ours do, that).
// A file that is not a whole, well-formed scan gives no tree at all.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>
#include <deque>

#include "scan/dirnode.h"
#include "scan/scanview.h"
#include "scanfile/entryids.h"

namespace ostrel {

class TImportedScan : public TEntryIds {
 public:
  TImportedScan() = default;
  TImportedScan(const TImportedScan&) = delete;
  TImportedScan& operator=(const TImportedScan&) = delete;

  // The most bytes the tree may take; 0 for no limit but the system's.
  size_t MemoryLimit = 0;
  // Refuse to read anything but a regular file ("not a regular file"): a pipe may never end.
  bool RegularOnly = false;

  // The scan read: a tree only when the file was read whole, or cut short by a stop.
  TScanResult Result;
  // Folders read so far, for another thread to show while the file is read.
  std::atomic<int32_t> FolderCount{0};

  TScanView View() const { return ViewOf(Result); }
  // The numbers the file gave a folder or a file with several names.
  bool Find(const DirNode& node, const TEntryId* parent, TEntryId& id) const override;

 private:
  friend class TScanFileHandler;
  friend std::string ReadScanFile(const std::string& path, TImportedScan& scan, const std::atomic<int>* stop);
  // The numbers of folders and of files with several names, by node, in as little room as
  // they fit: a scan of a million folders keeps them all. Put in order of the nodes' addresses
  // once the file is read, then looked up by halving.
  struct TIdRecord {
    const DirNode* Node;
    uint64_t Inode;
    uint32_t Device;  // an index into IdDevices
    uint32_t Links;
  };
  void AddId(const DirNode* node, uint64_t device, uint64_t inode, uint64_t links);
  void SortIds();
  TNodeArena& Arena = *Result.Arena;
  std::deque<TIdRecord> Ids;  // grows without copying what it holds
  std::vector<uint64_t> IdDevices;
};

// The longest names a scan file may give: an entry's, and a top-level node's (a whole path).
// Longer ones no file system has; a file holding one is refused.
inline constexpr size_t MaxNameBytes = 4096;
inline constexpr size_t MaxTopNameBytes = size_t{1} << 20;

// Reads the scan file at `path` ("-": standard input), plain or gzip-compressed, into `scan`,
// which must be new. Returns an empty text when it was read (or, with `stop` set meanwhile, cut
// short: Ending is then Stopped and the tree holds what was read); otherwise what was wrong,
// with the byte offset where the reading stopped, and `scan` holds no tree. Throws
// std::bad_alloc when memory runs out.
std::string ReadScanFile(const std::string& path, TImportedScan& scan, const std::atomic<int>* stop = nullptr);

}  // namespace ostrel
