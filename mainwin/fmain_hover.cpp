#include <QFile>
#include <QTreeView>
#include <QTreeWidget>

#include "chart/breakdown.h"
#include "mainwin/chartview.h"
#include "mainwin/comparison.h"
#include "mainwin/fileslist.h"
#include "mainwin/fmain.h"
#include "mainwin/statusbar.h"

namespace ostrel {

void TForm1::ChartPieMouseMove(int point) {
  const std::vector<TChartPoint>& points = ChartPie->Points();
  if (point < 0 || point >= static_cast<int>(points.size())) {
    StatusBar1->SetPanelText(0, QString());
    return;
  }
  const TChartPoint& p = points[static_cast<size_t>(point)];
  if (Comparison->ChartShown()) {
    Comparison->ShowPoint(p);
    return;
  }
  StatusBar1->SetPanelText(0, QFile::decodeName(QByteArray::fromStdString(p.Label)));
  StatusBar1->SetPanelText(1, QString::fromStdString(FormatSize(p.Value)));
}

void TForm1::ChartPieClickSeries(int point) {
  if (ClickDepth > 0) return;
  ++ClickDepth;
  struct TDepth {
    int32_t& Depth;
    ~TDepth() { --Depth; }
  } depth{ClickDepth};
  const std::vector<TChartPoint>& points = ChartPie->Points();
  if (point < 0 || point >= static_cast<int>(points.size()) || !PointsItem) return;
  // The point knows its subfolder's item: found by position, not by its (maybe shortened) label.
  const int child = points[static_cast<size_t>(point)].Child;
  // The folder's own files are looked at in the list.
  if (child == PointFiles) {
    ShowFiles(PointsItem, true);
    FilesList->ListFiles->setFocus();
    return;
  }
  if (child < 0 || child >= PointsItem->childCount()) return;
  SelectItem(PointsItem->child(child));
  TreeViewDirectoriesClick();
}

}  // namespace ostrel
