#include "chart/breakdown.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <string>

#include "scan/check.h"
#include "scan/textcase.h"

namespace ostrel {
namespace {

// One entry of the working list: the subfolder, its point's label and its position among the
// children.
struct TChartItemEntry {
  const TChartItem* Item;
  std::string Label;
  int Index;
};

// Marks a folded entry in the working list (StrEntry::Tag).
constexpr uint32_t OtherMark = 0x80;

// A point's bytes as a drawing measures them: shares of a turn or of an axis need no exactness,
// and a double holds any count, rounded past 2^53.
double Drawn(const TChartPoint& point) { return static_cast<double>(point.Value); }

}  // namespace

std::vector<const DirNode*> Subfolders(const DirNode& folder) {
  std::vector<const DirNode*> subfolders;
  for (const DirNode* child = folder.FirstChild; child; child = child->NextSibling)
    if (child->Kind == NodeFolder) subfolders.push_back(child);
  return subfolders;
}

std::vector<TChartPoint> BreakdownOf(const DirNode* folder, const std::vector<const DirNode*>& subfolders,
                                     TMeasure measure, int combineOther) {
  std::vector<TChartItem> children;
  children.reserve(subfolders.size());
  for (const DirNode* sub : subfolders)
    children.push_back(sub ? TChartItem{sub->Name, SizeOf(*sub, measure)} : TChartItem{});
  return ComputeBreakdown(children, folder ? SizeOf(*folder, measure) : 0, combineOther);
}

std::string ShortenLabel(const std::string& name) {
  auto isLead = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; };
  size_t characters = 0;
  size_t cut = name.size();
  for (size_t i = 0; i < name.size(); ++i) {
    if (!isLead(name[i])) continue;
    if (characters == 25) cut = i;
    ++characters;
  }
  if (characters <= 28) return name;
  return name.substr(0, cut) + "...";
}

int CompareChartItems(StrEntry* a, StrEntry* b, int32_t param) {
  auto* i = a ? static_cast<const TChartItemEntry*>(a->Data) : nullptr;
  auto* j = b ? static_cast<const TChartItemEntry*>(b->Data) : nullptr;
  OSTREL_ASSERT(i!=NULL);
  OSTREL_ASSERT(j!=NULL);
  if (param == 1) {
    if (i->Item->Size < j->Item->Size) return 1;
    if (i->Item->Size > j->Item->Size) return 0;
  }
  const int byLabel = CompareNoCase(i->Label, j->Label);
  if (byLabel != 0) return byLabel < 0;
  // Shortened labels can hide where two names differ: the window and ostrel-scan list the same
  // subfolders in different orders, and must still agree.
  const int byName = CompareNoCase(i->Item->Name, j->Item->Name);
  if (byName != 0) return byName < 0;
  const int byBytes = i->Item->Name.compare(j->Item->Name);
  if (byBytes != 0) return byBytes < 0;
  return i->Index < j->Index;
}

std::vector<TChartPoint> ComputeBreakdown(const std::vector<TChartItem>& children, uint64_t folderSize,
                                          int combineOther) {
  std::vector<TChartPoint> points;
  // Each entry is keyed by its position, so that equal labels never share an entry.
  std::vector<TChartItemEntry> entries;
  entries.reserve(children.size());
  TStringManager list(sizeof(StrEntry), 10, 0, nullptr);
  uint64_t sum = 0;
  for (size_t i = 0; i < children.size(); ++i) {
    entries.push_back({&children[i], ShortenLabel(children[i].Name), static_cast<int>(i)});
    StrEntry* entry = list.Add(std::to_string(i).c_str());
    entry->Data = &entries.back();
    sum = AddBytes(sum, children[i].Size);
  }

  if (folderSize > sum) points.push_back({"(files)", folderSize - sum, PointFiles});

  int foldedCount = 0;
  uint64_t foldedSize = 0;
  // The shares are fractions: compared in double, where the bytes need no exactness.
  const double folder = static_cast<double>(folderSize);
  for (StrEntry* e = list.Sort(1, CompareChartItems); e; e = e->ListNext) {
    const uint64_t size = static_cast<const TChartItemEntry*>(e->Data)->Item->Size;
    if (list.Count - foldedCount > 10 && static_cast<double>(size) < folder * 0.01 &&
        static_cast<double>(AddBytes(foldedSize, size)) < folder * 0.1) {
      e->Tag |= OtherMark;
      foldedSize = AddBytes(foldedSize, size);
      ++foldedCount;
    }
  }
  const bool folding = combineOther != 0 && foldedCount > 2;
  if (folding) {
    char label[64];
    std::snprintf(label, sizeof label, "(other: %d dirs)", foldedCount);
    points.push_back({label, foldedSize, PointOther});
  }

  for (StrEntry* e = list.Sort(0, CompareChartItems); e; e = e->ListNext) {
    if (folding && (e->Tag & OtherMark)) continue;
    const auto* item = static_cast<const TChartItemEntry*>(e->Data);
    points.push_back({item->Label, item->Item->Size, item->Index});
  }
  return points;
}

std::vector<int> GroupPieSlices(const std::vector<TChartPoint>& points, double minFraction) {
  std::vector<int> first;
  double total = 0;
  for (const TChartPoint& p : points) total += Drawn(p);
  const double minValue = total * minFraction;
  double run = -1;  // the open run's sum; -1 while none is open
  for (size_t i = 0; i < points.size(); ++i) {
    const double v = Drawn(points[i]);
    if (total > 0 && v >= minValue) {
      first.push_back(static_cast<int>(i));
      run = -1;
      continue;
    }
    if (run < 0) {
      first.push_back(static_cast<int>(i));
      run = 0;
    }
    run += v;
    if (total > 0 && run >= minValue) run = -1;
  }
  return first;
}

int PointAtPieFraction(const std::vector<TChartPoint>& points, int first, int end, double fraction) {
  if (first < 0 || end > static_cast<int>(points.size()) || first >= end) return -1;
  double total = 0;
  for (const TChartPoint& p : points) total += Drawn(p);
  if (total <= 0) return first;
  double before = 0;
  for (int i = 0; i < first; ++i) before += Drawn(points[static_cast<size_t>(i)]);
  const double at = fraction * total;
  for (int i = first; i < end; ++i) {
    before += Drawn(points[static_cast<size_t>(i)]);
    if (at < before) return i;
  }
  return end - 1;
}

int ThinPointNear(const std::vector<TChartPoint>& points, double fraction, double minFraction) {
  double total = 0;
  for (const TChartPoint& p : points) total += Drawn(p);
  if (total <= 0) return -1;
  int nearest = -1;
  double nearestDistance = minFraction / 2;
  double before = 0;
  for (size_t i = 0; i < points.size(); ++i) {
    const double share = Drawn(points[i]) / total;
    const double middle = before + share / 2;
    before += share;
    if (share >= minFraction) continue;
    // Around the turn: a point at the top is near from both sides.
    const double apart = std::abs(fraction - middle);
    const double distance = std::min(apart, 1 - apart);
    if (distance <= nearestDistance) {
      nearest = static_cast<int>(i);
      nearestDistance = distance;
    }
  }
  return nearest;
}

namespace {

// Indices of `values` from the largest down; equal values keep their order.
std::vector<size_t> LargestFirst(const std::vector<double>& values) {
  std::vector<size_t> order(values.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return values[a] > values[b]; });
  return order;
}

}  // namespace

std::vector<bool> PieLabelsShown(const std::vector<double>& values, const std::vector<bool>& wanted,
                                 double distance, double lineHeight) {
  const size_t n = values.size();
  std::vector<bool> shown(n, false);
  std::vector<double> x(n, 0);
  std::vector<double> y(n, 0);
  std::vector<bool> right(n, false);
  double total = 0;
  for (double v : values) total += std::max(0.0, v);
  if (total <= 0) return shown;
  double start = 0;
  for (size_t i = 0; i < n; ++i) {
    const double v = std::max(0.0, values[i]);
    const double middle = (start + v / 2) / total;  // of the turn, from the top, clockwise
    start += v;
    x[i] = std::sin(middle * 2 * M_PI) * distance;
    y[i] = -std::cos(middle * 2 * M_PI) * distance;
    right[i] = middle < 0.5;
  }
  std::vector<size_t> kept;
  for (size_t i : LargestFirst(values)) {
    if (values[i] <= 0 || i >= wanted.size() || !wanted[i]) continue;
    // Near the top or the bottom, labels of the two halves run outward from arm ends close
    // together: without a gap between them they read as one name.
    const bool clash = std::any_of(kept.begin(), kept.end(), [&](size_t k) {
      return std::abs(y[k] - y[i]) < lineHeight && (right[k] == right[i] || std::abs(x[k] - x[i]) < lineHeight);
    });
    if (clash) continue;
    kept.push_back(i);
    shown[i] = true;
  }
  return shown;
}

std::vector<bool> BarLabelsShown(const std::vector<double>& values, double pitch, double lineHeight) {
  std::vector<bool> shown(values.size(), false);
  std::vector<size_t> kept;
  for (size_t i : LargestFirst(values)) {
    const bool clash = std::any_of(kept.begin(), kept.end(), [&](size_t k) {
      const double apart = std::abs(static_cast<double>(k) - static_cast<double>(i)) * pitch;
      return apart < lineHeight;
    });
    if (clash) continue;
    kept.push_back(i);
    shown[i] = true;
  }
  return shown;
}

std::string FormatSize(uint64_t value) {
  // to_chars, not printf: the text must not take the desktop's decimal comma.
  auto fixed = [](double v, int decimals, const char* unit) {
    char text[64];
    auto end = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, decimals).ptr;
    return std::string(text, end) + unit;
  };
  // Rounded to one decimal, the quotient need not be exact; the bytes below 1 KB are written whole.
  if (value > 1048576) return fixed(static_cast<double>(value) / 1048576, 1, " MB");
  if (value > 1024) return fixed(static_cast<double>(value) / 1024, 1, " KB");
  return std::to_string(value) + " B";
}

}  // namespace ostrel
