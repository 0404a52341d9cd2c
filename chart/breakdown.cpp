#include "chart/breakdown.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <string>

#include "scan/textcase.h"

namespace ostrel {
namespace {

// A subfolder's place in the label order, as a flat record: the first eight bytes of its label
// without case, packed so that comparing the numbers compares those bytes; its position among
// the children breaks what the prefix cannot. Sorting these touches the labels only where two
// prefixes are equal, so a folder of a million subfolders sorts in a fraction of a second.
struct TLabelKey {
  uint64_t Prefix;
  uint32_t Index;
};

uint64_t PrefixNoCase(const std::string& label) {
  uint64_t prefix = 0;
  for (size_t i = 0; i < 8; ++i) {
    unsigned char c = i < label.size() ? static_cast<unsigned char>(label[i]) : 0;
    if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');
    prefix = prefix << 8 | c;
  }
  return prefix;
}

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

std::vector<TChartPoint> ComputeBreakdown(const std::vector<TChartItem>& children, uint64_t folderSize,
                                          int combineOther) {
  std::vector<TChartPoint> points;
  const size_t count = children.size();
  std::vector<std::string> labels;
  labels.reserve(count);
  std::vector<TLabelKey> byLabel;
  byLabel.reserve(count);
  uint64_t sum = 0;
  for (size_t i = 0; i < count; ++i) {
    labels.push_back(ShortenLabel(children[i].Name));
    byLabel.push_back({PrefixNoCase(labels.back()), static_cast<uint32_t>(i)});
    sum = AddBytes(sum, children[i].Size);
  }
  // By label without case; equal labels by their full names (without case, then by bytes), so
  // that the order does not depend on the children's order; last by position, so that it is
  // always strict. Shortened labels can hide where two names differ: the window and
  // ostrel-scan list the same subfolders in different orders, and must still agree.
  std::sort(byLabel.begin(), byLabel.end(), [&](const TLabelKey& a, const TLabelKey& b) {
    if (a.Prefix != b.Prefix) return a.Prefix < b.Prefix;
    if (const int c = CompareNoCase(labels[a.Index], labels[b.Index])) return c < 0;
    const std::string& x = children[a.Index].Name;
    const std::string& y = children[b.Index].Name;
    if (const int c = CompareNoCase(x, y)) return c < 0;
    if (const int c = x.compare(y)) return c < 0;
    return a.Index < b.Index;
  });

  if (folderSize > sum) points.push_back({"(files)", folderSize - sum, PointFiles});

  // The fold walks from the smallest subfolder up, equal sizes in label order: the marked ones
  // are a run of the smallest, at most all but ten, each below 1 % of the folder, together
  // below 10 % of it. The shares are fractions: compared in double, where the bytes need no
  // exactness.
  std::vector<std::pair<uint64_t, uint32_t>> bySize(count);  // size, place in the label order
  for (size_t k = 0; k < count; ++k) bySize[k] = {children[byLabel[k].Index].Size, static_cast<uint32_t>(k)};
  std::sort(bySize.begin(), bySize.end());
  std::vector<bool> folded(count, false);
  size_t foldedCount = 0;
  uint64_t foldedSize = 0;
  const double folder = static_cast<double>(folderSize);
  for (const auto& [size, place] : bySize) {
    if (count - foldedCount > 10 && static_cast<double>(size) < folder * 0.01 &&
        static_cast<double>(AddBytes(foldedSize, size)) < folder * 0.1) {
      folded[place] = true;
      foldedSize = AddBytes(foldedSize, size);
      ++foldedCount;
    }
  }
  const bool folding = combineOther != 0 && foldedCount > 2;
  if (folding) {
    char label[64];
    std::snprintf(label, sizeof label, "(other: %zu dirs)", foldedCount);
    points.push_back({label, foldedSize, PointOther});
  }

  for (size_t k = 0; k < count; ++k) {
    if (folding && folded[k]) continue;
    const uint32_t i = byLabel[k].Index;
    points.push_back({std::move(labels[i]), children[i].Size, static_cast<int>(i)});
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

std::vector<int> BarsDrawn(const std::vector<TChartPoint>& points, size_t most) {
  const size_t count = points.size();
  const size_t bars = std::min(count, std::max<size_t>(most, 1));
  std::vector<int> drawn;
  drawn.reserve(bars);
  for (size_t k = 0; k < bars; ++k) {
    // Runs of near-equal length, none empty.
    const size_t first = k * count / bars;
    const size_t end = (k + 1) * count / bars;
    size_t longest = first;
    for (size_t i = first + 1; i < end; ++i)
      if (points[i].Value > points[longest].Value) longest = i;
    drawn.push_back(static_cast<int>(longest));
  }
  return drawn;
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
