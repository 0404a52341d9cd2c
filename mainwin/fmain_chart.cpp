#include <QTreeWidget>

#include "mainwin/chartview.h"
#include "mainwin/fmain.h"
#include "mainwin/radiogroup.h"
#include "scan/dirnode.h"
#include "scan/scansettings.h"

namespace ostrel {

TMeasure ShownMeasure() { return ScanSettings.apparentsize != 0 ? TMeasure::Apparent : TMeasure::DiskUsage; }

QAbstractSeries* TForm1::GetChartSeries(int& horizontal) const {
  return ChartPie->SeriesOf(ScanSettings.charttype, horizontal);
}

void TForm1::RadioGroupChartTypeClick() {
  ScanSettings.charttype = RadioGroupChartType->ItemIndex();
  TreeViewDirectoriesClick();
}

void TForm1::BuildChart(QTreeWidgetItem* item) {
  if (!item) return;
  const TMeasure measure = ShownMeasure();
  std::vector<TChartItem> children;
  children.reserve(static_cast<size_t>(item->childCount()));
  for (int i = 0; i < item->childCount(); ++i) {
    QTreeWidgetItem* child = item->child(i);
    const DirNode* node = ItemNode(child);
    children.push_back({child->text(0).toStdString(), node ? SizeOf(*node, measure) : 0});
  }
  // The folder's own blocks are part of its size but of no subfolder's: they go to "(files)".
  const DirNode* own = ItemNode(item);
  std::vector<TChartPoint> points =
      ComputeBreakdown(children, own ? SizeOf(*own, measure) : 0, ScanSettings.combineother);
  PointsItem = item;
  ChartPie->ShowPoints(std::move(points), ScanSettings.charttype);
}

}  // namespace ostrel
