#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QEvent>
#include <QMetaObject>
#include <QPieSeries>
#include <QTreeWidget>
#include <cmath>

#include "mainwin/fmain.h"
#include "mainwin/statusbar.h"

namespace ostrel {

void TForm1::ChartHovered(QAbstractSeries* series, int valueIndex, bool state) {
  if (state) {
    HoverSeries = series;
    HoverIndex = valueIndex;
  } else if (HoverSeries == series && HoverIndex == valueIndex) {
    // Moving from one slice to the next may report the new one first.
    HoverIndex = -1;
  }
  ChartPieMouseMove();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  // Within a slice of several points the point under the pointer changes without a new report.
  if (event->type() == QEvent::MouseMove && watched == ChartPie->viewport() && HoverSeries == Series1 &&
      HoverIndex >= 0)
    ChartPieMouseMove();
  return QMainWindow::eventFilter(watched, event);
}

int TForm1::PointOfSeriesIndex(QAbstractSeries* series, int valueIndex) const {
  int horizontal = 0;
  if (!series || series != DrawnSeries(horizontal) || valueIndex < 0) return -1;
  if (series != Series1) return valueIndex < static_cast<int>(Points.size()) ? valueIndex : -1;
  if (valueIndex >= static_cast<int>(PieFirst.size())) return -1;
  const int first = PieFirst[static_cast<size_t>(valueIndex)];
  const int end = valueIndex + 1 < static_cast<int>(PieFirst.size()) ? PieFirst[static_cast<size_t>(valueIndex) + 1]
                                                                     : static_cast<int>(Points.size());
  if (end - first == 1) return first;
  // The pointer's angle around the pie's centre, clockwise from the top as the slices run.
  QChart* chart = ChartPie->chart();
  const QPoint inView = ChartPie->viewport()->mapFromGlobal(QCursor::pos());
  const QPointF at = chart->mapFromScene(ChartPie->mapToScene(inView)) - chart->plotArea().center();
  if (at.isNull() || !ChartPie->viewport()->rect().contains(inView)) return first;
  double angle = std::atan2(at.x(), -at.y());
  if (angle < 0) angle += 2 * M_PI;
  return PointAtPieFraction(Points, first, end, angle / (2 * M_PI));
}

void TForm1::ChartPieMouseMove() {
  int horizontal = 0;
  QAbstractSeries* series = DrawnSeries(horizontal);
  const int point = HoverSeries == series ? PointOfSeriesIndex(series, HoverIndex) : -1;
  if (point < 0) {
    StatusBar1->SetPanelText(0, QString());
    return;
  }
  // The points hold what the series draw; a pie slice may draw several of them.
  const TChartPoint& p = Points[static_cast<size_t>(point)];
  StatusBar1->SetPanelText(0, QString::fromStdString(p.Label));
  StatusBar1->SetPanelText(1, QString::fromStdString(FormatSize(p.Value)));
}

void TForm1::PostChartClick(QAbstractSeries* series, int valueIndex) {
  // Handled once the chart's own mouse handling is over: the redraw deletes the slice or bar
  // whose event reported the click. A click that a redraw overtook is dropped.
  QMetaObject::invokeMethod(
      this,
      [this, series, valueIndex, build = ChartBuilds] {
        if (build == ChartBuilds) ChartPieClickSeries(series, valueIndex);
      },
      Qt::QueuedConnection);
}

void TForm1::ChartPieClickSeries(QAbstractSeries* series, int valueIndex) {
  if (ClickDepth > 0) return;
  ++ClickDepth;
  struct TDepth {
    int32_t& Depth;
    ~TDepth() { --Depth; }
  } depth{ClickDepth};
  const int point = PointOfSeriesIndex(series, valueIndex);
  if (point < 0 || !PointsItem) return;
  // The point knows its subfolder's item: found by position, not by its (maybe shortened) label.
  const int child = Points[static_cast<size_t>(point)].Child;
  if (child < 0 || child >= PointsItem->childCount()) return;
  SelectItem(PointsItem->child(child));
  TreeViewDirectoriesClick();
}

}  // namespace ostrel
