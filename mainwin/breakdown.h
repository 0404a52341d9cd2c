// The breakdown of one folder into chart points, as plain data: the window's chart draws these
// points and ostrel-scan --breakdown prints them, so both always agree.
//
// Order: "(files)" (the folder's own files) when they hold anything; then, when combining is on
// and at least three subfolders qualify, one "(other: N dirs)" point for the smallest ones; then
// the remaining subfolders by label, letters compared without case. Every subfolder gets its own
// point, even when two labels come out equal after shortening, and each point says which
// subfolder it stands for.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "scan/strman.h"

namespace ostrel {

// One subfolder of the folder being broken down.
struct TChartItem {
  std::string Name;  // the text the tree shows for it (UTF-8 in the window)
  double Size = 0;   // its TotalSize; 0 when it has no node
};

inline constexpr int PointFiles = -1;  // the folder's own files
inline constexpr int PointOther = -2;  // the combined small subfolders

struct TChartPoint {
  std::string Label;
  double Value = 0;
  int Child = PointFiles;  // index into the items, or PointFiles / PointOther
};

// Marks a folded entry in the working list.
inline constexpr uint32_t OtherMark = 0x80;

// Breaks a folder of `folderSize` bytes (0 for an item without a node, such as "My Computer")
// down into points for `children`. `combineOther` nonzero folds the smallest subfolders: while
// more than ten would remain, each below 1 % of the folder and together below 10 % of it.
std::vector<TChartPoint> ComputeBreakdown(const std::vector<TChartItem>& children, double folderSize,
                                          int combineOther);

// A label of more than 28 characters becomes its first 25 characters and "..."; characters
// are UTF-8 sequences, never cut in the middle.
std::string ShortenLabel(const std::string& name);

// The working list's comparator: entries' Data point at a TChartItemEntry. With param 1 by size
// first, then by label without case; then by position, so that the order is always strict.
struct TChartItemEntry {
  const TChartItem* Item;
  std::string Label;
  int Index;
};
int CompareChartItems(StrEntry* a, StrEntry* b, int32_t param);

// A size as the status bar shows it: "%1.1f MB" above 1048576 bytes, "%1.1f KB" above 1024,
// else "%1.0f B"; always with a decimal point, whatever the locale.
std::string FormatSize(double value);

}  // namespace ostrel
