// The breakdown of one folder into chart points, as plain data: the window's chart draws these
// points and ostrel-scan --breakdown prints them, both from the same nodes through BreakdownOf,
// so both always agree. Names stay the bytes on disk here, in the labels too, and every
// comparison is on bytes; only a front end that shows a label decodes it, for display alone.
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

#include "scan/dirnode.h"

namespace ostrel {

// One subfolder of the folder being broken down.
struct TChartItem {
  std::string Name;  // its name's bytes as on disk; need not be UTF-8
  uint64_t Size = 0;  // its size in bytes in the measure shown; 0 when it has no node
};

inline constexpr int PointFiles = -1;  // the folder's own files
inline constexpr int PointOther = -2;  // the combined small subfolders

struct TChartPoint {
  std::string Label;  // bytes: a subfolder's (shortened) name, or "(files)" / "(other: N dirs)"
  uint64_t Value = 0;  // bytes
  int Child = PointFiles;  // index into the items, or PointFiles / PointOther
};

// Breaks a folder of `folderSize` bytes (0 for an item without a node, such as "My Computer")
// down into points for `children`; "(files)" is what the folder holds beyond its children's
// sum (that sum saturating as totals do). `combineOther` nonzero folds the smallest subfolders: while
// more than ten would remain, each below 1 % of the folder and together below 10 % of it.
std::vector<TChartPoint> ComputeBreakdown(const std::vector<TChartItem>& children, uint64_t folderSize,
                                          int combineOther);

// The subfolders (folder children) of `folder`, in the order the scan linked them.
std::vector<const DirNode*> Subfolders(const DirNode& folder);

// The breakdown of `folder` over `subfolders` in `measure`, as both front ends make it: each
// subfolder is an item of its name's bytes and its size (an empty name of size 0 for a null
// entry, an item without a node); the folder's size is its own in `measure`, so its own blocks
// and its files make the "(files)" point. A null `folder` has size 0 (a "My Computer" item).
// A point's Child indexes `subfolders`, which may come in any order: the points do not depend
// on it.
std::vector<TChartPoint> BreakdownOf(const DirNode* folder, const std::vector<const DirNode*>& subfolders,
                                     TMeasure measure, int combineOther);

// A label of more than 28 characters becomes its first 25 characters and "..."; characters
// are UTF-8 sequences, never cut in the middle (a byte that is not UTF-8 counts as one).
std::string ShortenLabel(const std::string& name);

// ---- Drawing the points ----------------------------------------------------------------------
//
// The chart draws every point, but a pie cannot show thousands of slivers, nor a column of bars
// thousands of readable labels. These decide what is drawn; none of them changes the points.

// Groups `points`, in order, into the slices a pie draws. A point of at least `minFraction` of
// the total gets a slice of its own; a run of smaller neighbours shares one slice until the run
// reaches `minFraction`. Returns the index of each slice's first point, ascending; a slice ends
// where the next begins. With a total of 0 all points share one slice; no points, no slices.
std::vector<int> GroupPieSlices(const std::vector<TChartPoint>& points, double minFraction);

// The point of [first, end) at `fraction` of the pie's full turn (0 at the top, growing
// clockwise, as the slices are laid out), clamped to that run; -1 for an empty run.
int PointAtPieFraction(const std::vector<TChartPoint>& points, int first, int end, double fraction);

// The point too thin to point at that lies nearest `fraction` of the pie's turn: among the
// points whose share of the total is below `minFraction`, the one whose middle is closest to
// `fraction` (measured around the turn), provided it lies within `minFraction` / 2 of it. -1
// when there is none, or when the total is 0. So a sliver of a few bytes beside gigabytes can
// still be hovered and clicked.
int ThinPointNear(const std::vector<TChartPoint>& points, double fraction, double minFraction);

// Which of a pie's slice labels to draw so that none covers another. `values` are the slices'
// values in pie order, `wanted` says which slice has a label at all; each label sits at its
// slice's middle angle, `distance` from the centre, on the right half when that angle is below
// half a turn and on the left half otherwise. Larger slices
// win; a label is left out when one already kept lies less than `lineHeight` above or below it,
// on its half or across the centre line with their arm ends less than `lineHeight` apart.
// Slices of value 0 get no label.
std::vector<bool> PieLabelsShown(const std::vector<double>& values, const std::vector<bool>& wanted,
                                 double distance, double lineHeight);

// The bars a bar chart draws for `points`: each point its own while there are at most `most`;
// past that `most` bars, each standing for a run of neighbours and drawn as the longest of
// them (the first of equal ones), since bars thinner than a pixel show no more than that.
// Returns the point each drawn bar stands for, in order.
std::vector<int> BarsDrawn(const std::vector<TChartPoint>& points, size_t most);

// The same for labels beside bars `pitch` apart: larger bars win, and no two kept labels are
// less than `lineHeight` apart.
std::vector<bool> BarLabelsShown(const std::vector<double>& values, double pitch, double lineHeight);

// A size as the status bar shows it: "%1.1f MB" above 1048576 bytes, "%1.1f KB" above 1024,
// else "%1.0f B"; always with a decimal point, whatever the locale.
std::string FormatSize(uint64_t value);

}  // namespace ostrel
