#include <QTreeWidget>

#include "chart/breakdown.h"
#include "mainwin/chartview.h"
#include "mainwin/comparison.h"
#include "mainwin/fmain.h"
#include "mainwin/folderitem.h"
#include "mainwin/radiogroup.h"
#include "mainwin/treemapview.h"
#include "scan/dirnode.h"
#include "scan/scansettings.h"

namespace ostrel {

QAbstractSeries* TForm1::GetChartSeries(int& horizontal) const {
  return ChartPie->SeriesOf(ScanSettings.charttype, horizontal);
}

void TForm1::RadioGroupChartTypeClick() {
  ScanSettings.charttype = RadioGroupChartType->ItemIndex();
  TreeViewDirectoriesClick();
}

void TForm1::BuildChart(QTreeWidgetItem* item) {
  if (!item) return;
  ShowTreemap(item);
  if (ScanSettings.charttype == TTreemapView::ChartKind) {
    // The treemap draws the whole subtree itself; the chart's points and growth labels go.
    Comparison->BuildChart(nullptr);
    ChartPie->ShowPoints({}, TChartView::KindPie);
    PointsItem = item;
    return;
  }
  if (Comparison->BuildChart(item)) {
    PointsItem = item;
    return;
  }
  // From the nodes, as ostrel-scan does: the labels are the names' bytes, decoded only where
  // they are shown. A point's Child indexes the child items.
  std::vector<const DirNode*> subfolders;
  subfolders.reserve(static_cast<size_t>(item->childCount()));
  for (int i = 0; i < item->childCount(); ++i) subfolders.push_back(ItemNode(item->child(i)));
  std::vector<TChartPoint> points = BreakdownOf(ItemNode(item), subfolders, ShownMeasure(), ScanSettings.combineother);

  PointsItem = item;
  ChartPie->ShowPoints(std::move(points), ScanSettings.charttype);
}

}  // namespace ostrel
