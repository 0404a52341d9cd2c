#include "chart/growth.h"

#include <algorithm>

#include "scan/textcase.h"

namespace ostrel {

TChanges ComputeChanges(std::vector<TChangeItem> items, uint64_t filesThen, uint64_t filesNow, int combineOther) {
  TChanges changes;
  changes.FilesThen = filesThen;
  changes.FilesNow = filesNow;
  // The grown subfolders as breakdown items: the growth is the size drawn, and the whole growth
  // the folder's size, so that "(files)" comes out as the files' own growth.
  std::vector<TChartItem> grown;
  std::vector<int> itemOf;
  uint64_t total = LessBytes(filesNow, filesThen);
  for (size_t i = 0; i < items.size(); ++i) {
    const TChangeItem& item = items[i];
    if (item.Now > item.Then) {
      const uint64_t growth = item.Now - item.Then;
      grown.push_back({item.Name, growth});
      itemOf.push_back(static_cast<int>(i));
      total = AddBytes(total, growth);
    } else if (item.Now < item.Then || item.Gone) {
      changes.Lost.push_back({ShortenLabel(item.Name), item.Then, item.Now, static_cast<int>(i), item.Gone});
    }
  }
  if (filesNow < filesThen) changes.Lost.push_back({"(files)", filesThen, filesNow, PointFiles, false});
  changes.Grown = ComputeBreakdown(grown, total, combineOther);
  for (TChartPoint& point : changes.Grown)
    if (point.Child >= 0) point.Child = itemOf[static_cast<size_t>(point.Child)];
  std::stable_sort(changes.Lost.begin(), changes.Lost.end(), [](const TLoss& a, const TLoss& b) {
    const uint64_t lossA = a.Then - a.Now, lossB = b.Then - b.Now;  // Then >= Now for every loss
    if (lossA != lossB) return lossA > lossB;
    return CompareNoCase(a.Label, b.Label) < 0;
  });
  changes.Items = std::move(items);
  return changes;
}

TChanges ChangesOf(const DirNode* oldFolder, const DirNode* newFolder,
                   const std::vector<std::pair<const DirNode*, const DirNode*>>& subfolders, TMeasure measure,
                   int combineOther) {
  std::vector<TChangeItem> items;
  items.reserve(subfolders.size());
  uint64_t sumThen = 0, sumNow = 0;
  for (const auto& [old, now] : subfolders) {
    TChangeItem item;
    item.Name = now ? now->Name : old ? old->Name : "";
    item.Then = old ? SizeOf(*old, measure) : 0;
    item.Now = now ? SizeOf(*now, measure) : 0;
    item.Gone = old && !now;
    item.New = now && !old;
    sumThen = AddBytes(sumThen, item.Then);
    sumNow = AddBytes(sumNow, item.Now);
    items.push_back(std::move(item));
  }
  // What the subfolders do not hold is the folder's own: its files and its own blocks.
  const uint64_t filesThen = oldFolder ? LessBytes(SizeOf(*oldFolder, measure), sumThen) : 0;
  const uint64_t filesNow = newFolder ? LessBytes(SizeOf(*newFolder, measure), sumNow) : 0;
  return ComputeChanges(std::move(items), filesThen, filesNow, combineOther);
}

}  // namespace ostrel
