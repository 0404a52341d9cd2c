// The window's jobs and the scans its tree shows: which job owns which tree, and which shown
// scan holds a tree item or a node; where kept scans live, and what a scan file's error says.
#pragma once
#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scan/dirnode.h"

class QTreeWidgetItem;

namespace ostrel {

class TEntryIds;
class TTreeJob;

// A scan the tree shows: its "My Computer" item, the job that made it, the scan file it was
// opened from (empty for a walk), when a walk ended (microseconds since 1970, the time its kept
// scan is filed under; 0 for a file), and the numbers recorded by each walk of one of its
// folders since (Refresh).
struct TShownScan {
  QTreeWidgetItem* Item;
  const TTreeJob* Job;
  std::string File;
  int64_t Ended = 0;
  std::vector<std::shared_ptr<const TEntryIds>> LaterIds;
};

// Why a folder of `scan` cannot be used here: `opening` ("... is not on this computer, so it
// cannot be shown."), then the scan file it came from (when it came from one) and, with
// `relative`, that its relative path was relative to wherever that scan was made.
QString NotOnThisComputer(const QString& opening, const TShownScan* scan, bool relative);

struct TScanShelf {
  // Takes `job` among the jobs and returns it; Free frees one that has ended, pointed to no more.
  TTreeJob* Own(std::unique_ptr<TTreeJob> job);
  void Free(const TTreeJob* job);
  // The shown scan whose items hold `item`, or null (also for a null `item`).
  const TShownScan* ScanOf(const QTreeWidgetItem* item) const;
  // The job and entry of the shown scan whose tree holds `node`, or null.
  TTreeJob* EditableScanOf(const DirNode* node, TShownScan*& shown);
  // The item of `scan`'s folder `node`, or null.
  static QTreeWidgetItem* ItemFor(const TShownScan& scan, const DirNode* node);

  // Every job the window started: walks, file loads, readings for comparisons. The trees of
  // walks and file loads stay for the items; a reading goes once the comparison lets it go.
  std::vector<std::unique_ptr<TTreeJob>> Jobs;
  std::vector<TShownScan> Shown;  // in the order they were added
};

// The folder where the window keeps its scans (history.h): Harwen/OSTREL in the user's cache
// folder (~/.cache, or $XDG_CACHE_HOME), as the file system names it. The kept scans of a root:
// ListKeptScans(ScanHistoryFolder(), HistoryKey(root)), the root as the scan named it.
std::string ScanHistoryFolder();

// Why a scan file could not be read, as a sentence: ReadScanFile's "byte 12: the file ends
// before the scan does (cut short?)" reads "The file ends before the scan does (cut short?) (at
// byte 12)."
QString ScanFileReason(const std::string& error);

}  // namespace ostrel
