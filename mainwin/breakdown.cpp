#include "mainwin/breakdown.h"

#include <charconv>
#include <cstdio>
#include <string>

#include "mainwin/textcase.h"
#include "scan/check.h"

namespace ostrel {

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
  return i->Index < j->Index;
}

std::vector<TChartPoint> ComputeBreakdown(const std::vector<TChartItem>& children, double folderSize,
                                          int combineOther) {
  std::vector<TChartPoint> points;
  // Each entry is keyed by its position, so that equal labels never share an entry.
  std::vector<TChartItemEntry> entries;
  entries.reserve(children.size());
  TStringManager list(sizeof(StrEntry), 10, 0, nullptr);
  double sum = 0;
  for (size_t i = 0; i < children.size(); ++i) {
    entries.push_back({&children[i], ShortenLabel(children[i].Name), static_cast<int>(i)});
    StrEntry* entry = list.Add(std::to_string(i).c_str());
    entry->Data = &entries.back();
    sum += children[i].Size;
  }

  if (folderSize - sum > 0) points.push_back({"(files)", folderSize - sum, PointFiles});

  int foldedCount = 0;
  double foldedSize = 0;
  for (StrEntry* e = list.Sort(1, CompareChartItems); e; e = e->ListNext) {
    const double size = static_cast<const TChartItemEntry*>(e->Data)->Item->Size;
    if (list.Count - foldedCount > 10 && size < folderSize * 0.01 && foldedSize + size < folderSize * 0.1) {
      e->Tag |= OtherMark;
      foldedSize += size;
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

std::string FormatSize(double value) {
  // to_chars, not printf: the text must not take the desktop's decimal comma.
  auto fixed = [](double v, int decimals, const char* unit) {
    char text[400];
    auto end = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, decimals).ptr;
    return std::string(text, end) + unit;
  };
  if (value > 1048576) return fixed(value / 1048576, 1, " MB");
  if (value > 1024) return fixed(value / 1024, 1, " KB");
  return fixed(value, 0, " B");
}

}  // namespace ostrel
