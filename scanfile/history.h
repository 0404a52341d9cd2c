// Scan history: each finished walk kept as a gzip-compressed scan file in a folder of the
// user's (the window passes its cache folder), the last few of each root and its oldest, so
// that a later scan can be compared with an earlier one without anybody saving anything.
//
// One file a kept scan, named "<hash>-<time>-<c|p>.json.gz": the hash (16 hex digits) of the
// root's key, so that any root path gives a safe name; the time it was kept, in microseconds
// since 1970 (20 digits, so that names sort by time); "c" for a complete scan, "p" for one
// that was stopped, ran out of memory or could not read something. The root itself is inside
// the file, as its scan named it, and its totals in the metadata before it: a listing reads
// only the start of each file, and skips any file
// that is not a scan of that root (another program's, cut short, of a root whose key has the
// same hash). Files are written under a temporary name in the same folder and renamed when
// whole, so a listing never sees half a file. No Qt here.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "scan/scanview.h"
#include "scanfile/entryids.h"

namespace ostrel {

inline constexpr int KeptScansPerRoot = 5;
// The key of a scan of all drives.
inline constexpr const char* AllDrivesKey = "All Drives";

// The key of a scan whose root is `path`: AllDrivesKey for an empty path (all drives),
// otherwise the path made absolute against the working folder, "." and ".." resolved by
// their text and without a trailing separator (the file system's root stays "/").
std::string HistoryKey(const std::string& path);

struct TKeptScan {
  std::string Path;   // the file
  int64_t Time = 0;   // when it was kept, microseconds since 1970 (UTC), as its name says
  int64_t Changed = 0;  // the file's change time (ctime), microseconds since 1970
  uint64_t Bytes = 0;  // the file's size
  // The scanned root's totals as the file's metadata records them; HasTotals false for a file
  // kept before they were recorded (its totals are then unknown without reading it whole).
  bool HasTotals = false;
  uint64_t TotalApparent = 0;
  uint64_t TotalDisk = 0;
  // Ended complete and read everything; false for a scan that was stopped, ran out of
  // memory or could not read a file or folder.
  bool Complete = false;
};

// The scans of the root with key `key` kept in `folder`, newest first (OrderKeptScans against
// the clock). Files that are not kept scans of that root, or not readable as such, are left
// out; a missing folder has none.
std::vector<TKeptScan> ListKeptScans(const std::string& folder, const std::string& key);

// Sorts `kept` newest first by Time, then by Changed. A Time more than a day after `now`
// (microseconds since 1970) was written by a clock set ahead: such scans count as older than
// all others, so that they can neither stay "newest" for years nor crowd out new ones.
void OrderKeptScans(std::vector<TKeptScan>& kept, int64_t now);

// Writes `scan` (with the numbers of `ids`, may be null) into `folder` (made when missing) as
// a kept scan of `key` made at `time` (microseconds since 1970; a later time is taken when a
// file of that time exists), then removes kept scans of `key` until `keep` are left: the one
// just written, the oldest, and the newest of the others (with `keep` 1, the one just written
// alone), in the order of OrderKeptScans with `time` as the present.
// Returns an empty text when it was kept, otherwise why not; nothing is then left in
// `folder`, and nothing was removed. With `stop` set meanwhile, writing ends early as a failure.
// Temporary files of writers that died (untouched for a day) go too.
std::string KeepScan(const std::string& folder, const std::string& key, int64_t time, const TScanView& scan,
                     const TEntryIds* ids, const std::atomic<bool>* stop = nullptr, int keep = KeptScansPerRoot);

// Keeps scans on a thread of its own, one after the other in the order given, so that
// whoever hands them over never waits for the disk. Each scan's tree and numbers must stay
// unchanged and allocated until the keeper is destroyed, which stops a write under way (its
// file is not kept) and drops those not begun.
class TScanKeeper {
 public:
  TScanKeeper() = default;
  TScanKeeper(const TScanKeeper&) = delete;
  TScanKeeper& operator=(const TScanKeeper&) = delete;
  ~TScanKeeper();

  // Queues KeepScan(folder, key, time, scan, ids); the thread starts with the first one.
  void Keep(const std::string& folder, const std::string& key, int64_t time, const TScanView& scan,
            const TEntryIds* ids);
  // Scans handed over and not yet kept or given up (for tests and for closing).
  int Pending() const;
  // Returns once no scan with this root waits or is being written: a tree about to change
  // must not be read meanwhile.
  void WaitFor(const DirNode* root);
  // Why the last scan given up was not kept; empty while all were kept.
  std::string LastError() const;

 private:
  struct TJob {
    std::string Folder;
    std::string Key;
    int64_t Time;
    TScanView Scan;
    const TEntryIds* Ids;
  };
  void Run();

  mutable std::mutex Lock;
  std::condition_variable Wake;
  std::condition_variable Kept;  // a job left Jobs
  std::deque<TJob> Jobs;  // under Lock, the one being written included
  std::string Failure;    // under Lock
  std::atomic<bool> Stop{false};
  std::thread Thread;
};

}  // namespace ostrel
