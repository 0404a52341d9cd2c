// Writes a scan as a scan file: the JSON export format of minor version 2 that other disk-usage
// tools read and write, so that a scan made where nobody looks (a server, a nightly job) can be
// looked at elsewhere. Written as the tree is walked, without a second copy of it.
//
// What goes in, beyond a plain listing:
// - the root named as the scan named it; both measures, "asize" (length) and "dsize" (blocks
//   on disk, a folder's own included; a folder's asize is written as 0, as it counts nothing);
// - "dev" and "ino" on every folder whose numbers are known and on every file with several
//   names, with "hlnkc" and "nlink" on the latter. Each name of such a file carries the file's
//   sizes (those its first name in the tree's order has): a reader counts the inode once;
// - "mtime" (seconds since 1970) on every entry whose time is known; a folder's is the newest
//   at or below it;
// - "read_error" on what could not be read, with our own "errno" (the system's error number);
//   a folder met twice is written empty with the numbers of the first;
// - in the metadata: "state" ("complete", "stopped" or "out of memory"), for a scan of all
//   drives "alldrives": true (the drives below the root are then named by whole paths), and
//   when there is a root its totals in both measures (TotalApparentKey, TotalDiskKey), which
//   readers that do not know them pass over.
// Names are written as their bytes: quote, backslash and control characters escaped as JSON
// escapes them, all other bytes as they are, also those that are not valid UTF-8. Such a file
// reads back byte-exact here and in the tools that write names the same way.
#pragma once
#include <cstdio>

#include "scan/scanview.h"
#include "scanfile/entryids.h"

namespace ostrel {

// The metadata's keys of the root's totals.
inline constexpr const char* TotalApparentKey = "total_asize";
inline constexpr const char* TotalDiskKey = "total_dsize";

// Writes `scan` to `out` with the numbers from `ids` (null: none known); 0, or the system's
// error number of the first write that failed (writing stops there). The stream is flushed.
int WriteScanFile(const TScanView& scan, const TEntryIds* ids, std::FILE* out);

}  // namespace ostrel
