#include "chart/treemap.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ostrel {
namespace {

constexpr int MaxCoord = 32767;

// A child waiting for its place; a null Node is the folder's own part, which takes room but
// gets no rectangle. Prefix packs the first eight bytes of the name so that comparing numbers
// compares them: most ties in a folder of a million files are settled without the names.
struct TPiece {
  uint64_t Size;
  uint64_t Prefix;
  const DirNode* Node;
};

uint64_t PrefixOf(const char* name) {
  uint64_t prefix = 0;
  bool ended = !name;
  for (int i = 0; i < 8; ++i) {
    if (!ended && !name[i]) ended = true;
    prefix = prefix << 8 | (ended ? 0 : static_cast<unsigned char>(name[i]));
  }
  return prefix;
}

// The largest first; equal sizes by name, so that a rescan in another listing order draws the
// same picture, and the folder's own part after its equals.
bool Before(const TPiece& a, const TPiece& b) {
  if (a.Size != b.Size) return a.Size > b.Size;
  if (!a.Node || !b.Node) return a.Node && !b.Node;
  if (a.Prefix != b.Prefix) return a.Prefix < b.Prefix;
  return std::strcmp(a.Node->Name ? a.Node->Name : "", b.Node->Name ? b.Node->Name : "") < 0;
}

// The worst aspect ratio of a row of areas from `largest` down to `smallest`, `sum` in all,
// laid along a side `side` long. The pieces are sorted, so the row's ends are its extremes and
// no other member needs a look.
double Worst(double largest, double smallest, double sum, double side) {
  const double sum2 = sum * sum, side2 = side * side;
  return std::max(side2 * largest / sum2, sum2 / (side2 * smallest));
}

// A pixel edge. Every edge is rounded from the one double that both its neighbours share, and
// rounding keeps order, so neighbours meet without a gap or an overlap.
int Edge(double v) { return static_cast<int>(std::floor(v + 0.5)); }

class TLayout {
 public:
  TLayout(std::vector<TTreemapRect>& out, TMeasure measure, int minSide, const std::atomic<bool>* stop)
      : Out(out), Measure(measure), MinSide(std::max(minSide, 1)), Stop(stop) {}

  bool Stopped() const { return Stop && Stop->load(std::memory_order_relaxed); }

  // Appends the rectangle [x0, x1) × [y0, y1) for `node`, unless it has no room.
  void Emit(const DirNode* node, double x0, double y0, double x1, double y1) {
    if (!node) return;
    const int ix = Edge(x0), iy = Edge(y0), w = Edge(x1) - ix, h = Edge(y1) - iy;
    if (w <= 0 || h <= 0) return;
    if (node->Kind != NodeFolder && std::min(w, h) < MinSide) return;
    Out.push_back({static_cast<int16_t>(ix), static_cast<int16_t>(iy), static_cast<int16_t>(w),
                   static_cast<int16_t>(h), node});
  }

  // Sorts Pieces by Before. A folder of a million children takes a tenth of a second, so a
  // large one is sorted in runs, then merged pass by pass into Spare and back, a stop looked
  // for every few thousand pieces; the order is total (names differ within a folder), so the
  // result is std::sort's. False when stopped.
  bool SortPieces() {
    constexpr size_t Run = size_t{1} << 14;
    const size_t n = Pieces.size();
    for (size_t at = 0; at < n; at += Run) {
      if (Stopped()) return false;
      std::sort(Pieces.begin() + static_cast<ptrdiff_t>(at), Pieces.begin() + static_cast<ptrdiff_t>(std::min(at + Run, n)),
                Before);
    }
    if (n <= Run) return true;
    Spare.resize(n);
    for (size_t width = Run; width < n; width *= 2) {
      size_t out = 0;
      for (size_t at = 0; at < n; at += 2 * width) {
        size_t a = at, b = std::min(at + width, n);
        const size_t aEnd = b, bEnd = std::min(at + 2 * width, n);
        while (a < aEnd || b < bEnd) {
          if ((out & 4095) == 0 && Stopped()) return false;
          Spare[out++] = b == bEnd || (a < aEnd && !Before(Pieces[b], Pieces[a])) ? Pieces[a++] : Pieces[b++];
        }
      }
      Pieces.swap(Spare);
    }
    return true;
  }

  // Lays out the children of the folder of Out[index] inside its outline; false when stopped.
  bool Expand(size_t index) {
    const TTreemapRect rect = Out[index];
    const DirNode& folder = *rect.Node;
    if (folder.Kind != NodeFolder || std::min(rect.W, rect.H) < MinSide || rect.W <= 2 || rect.H <= 2) return true;
    Pieces.clear();
    double total = 0;
    size_t seen = 0;
    for (const DirNode* child = folder.FirstChild; child; child = child->NextSibling) {
      if ((++seen & 4095) == 0 && Stopped()) return false;
      if (const uint64_t size = SizeOf(*child, Measure)) {
        Pieces.push_back({size, PrefixOf(child->Name), child});
        total += static_cast<double>(size);
      }
    }
    if (Pieces.empty()) return true;
    if (const uint64_t own = OwnSizeOf(folder, Measure)) {
      Pieces.push_back({own, 0, nullptr});
      total += static_cast<double>(own);
    }
    if (!SortPieces()) return false;
    // The free part of the inside, [x0, x1) × [y0, y1); rows take from its left or top.
    double x0 = rect.X + 1, y0 = rect.Y + 1;
    const double x1 = rect.X + rect.W - 1, y1 = rect.Y + rect.H - 1;
    const double scale = (x1 - x0) * (y1 - y0) / total;
    auto area = [&](size_t i) { return static_cast<double>(Pieces[i].Size) * scale; };
    const size_t n = Pieces.size();
    for (size_t start = 0; start < n;) {
      const double w = x1 - x0, h = y1 - y0, side = std::min(w, h);
      double sum = area(start), worst = Worst(sum, sum, sum, side);
      size_t end = start + 1;
      for (; end < n; ++end) {
        const double more = sum + area(end), worse = Worst(area(start), area(end), more, side);
        if (worse >= worst) break;
        sum = more;
        worst = worse;
      }
      const bool last = end == n;  // the last row takes what is left, whatever rounding lost
      if (w >= h) {  // a column at the left, its pieces top to bottom
        const double thick = sum / h, right = last ? x1 : std::min(x0 + thick, x1);
        double top = y0;
        for (size_t i = start; i < end; ++i) {
          const double bottom = i + 1 == end ? y1 : top + area(i) / thick;
          Emit(Pieces[i].Node, x0, top, right, bottom);
          top = bottom;
        }
        x0 = right;
      } else {  // a row at the top, its pieces left to right
        const double thick = sum / w, bottom = last ? y1 : std::min(y0 + thick, y1);
        double left = x0;
        for (size_t i = start; i < end; ++i) {
          const double right = i + 1 == end ? x1 : left + area(i) / thick;
          Emit(Pieces[i].Node, left, y0, right, bottom);
          left = right;
        }
        y0 = bottom;
      }
      start = end;
    }
    return true;
  }

 private:
  std::vector<TTreemapRect>& Out;
  const TMeasure Measure;
  const int MinSide;
  const std::atomic<bool>* Stop;
  std::vector<TPiece> Pieces;  // one folder's children at a time, kept for its capacity
  std::vector<TPiece> Spare;   // the other side of a large folder's merge
};

}  // namespace

std::vector<TTreemapRect> LayoutTreemap(const DirNode& folder, TMeasure measure, int x, int y, int width,
                                        int height, int minSide, const std::atomic<bool>* stop) {
  std::vector<TTreemapRect> out;
  x = std::clamp(x, 0, MaxCoord);
  y = std::clamp(y, 0, MaxCoord);
  width = std::clamp(width, 0, MaxCoord - x);
  height = std::clamp(height, 0, MaxCoord - y);
  if (SizeOf(folder, measure) == 0) return out;
  TLayout layout(out, measure, minSide, stop);
  layout.Emit(&folder, x, y, x + width, y + height);
  // The output is its own queue: each folder's children go to the end, behind the folders
  // still waiting, which is what makes the order breadth first.
  for (size_t i = 0; i < out.size(); ++i)
    if (layout.Stopped() || !layout.Expand(i)) return {};
  return out;
}

const TTreemapRect* TreemapRectAt(const std::vector<TTreemapRect>& rects, int x, int y) {
  // The rectangles holding a pixel are one folder inside another down to the deepest, and
  // breadth first puts the deepest last.
  for (auto it = rects.rbegin(); it != rects.rend(); ++it)
    if (x >= it->X && x < it->X + it->W && y >= it->Y && y < it->Y + it->H) return &*it;
  return nullptr;
}

}  // namespace ostrel
