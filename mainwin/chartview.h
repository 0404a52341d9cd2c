// TChartView: the breakdown chart of the main window (its ChartPie). It draws a list of points
// as a pie, as horizontal bars or as vertical bars, says which point lies under a position, and
// reports the point under the pointer and the point clicked by its index in the list.
//
// Three series live in one chart: Series1 (the pie) always, Series3 (horizontal bars) or Series2
// (vertical bars) only while it draws, since Qt lays out every bar series of a chart side by
// side. Labels that have no room are left out, larger points winning.
#pragma once
#include <QChartView>
#include <vector>

#include "chart/breakdown.h"

class QAbstractSeries;
class QBarSeries;
class QGraphicsPathItem;
class QGraphicsSimpleTextItem;
class QHorizontalBarSeries;
class QPieSeries;
class QValueAxis;

namespace ostrel {

class TChartView : public QChartView {
  Q_OBJECT

 public:
  // The kinds of drawing, numbered as ScanSettings.charttype numbers them.
  static constexpr int KindPie = 0;
  static constexpr int KindHorizontalBars = 1;
  static constexpr int KindVerticalBars = 2;

  // An empty pie, on `parent` (may be null).
  explicit TChartView(QWidget* parent = nullptr);
  ~TChartView() override;

  // Draws `points` in `kind`; a kind outside 0..2 draws the pie. The other two series are
  // emptied. A click reported before and handled after this call is dropped.
  void ShowPoints(std::vector<TChartPoint> points, int kind);
  // The points drawn now, in drawing order; empty before the first ShowPoints.
  const std::vector<TChartPoint>& Points() const { return PointList; }

  // The series that draws `kind` (Series1, Series3, Series2), with `horizontal` set to 1 for
  // Series3 and 0 for the others; null for any other kind, `horizontal` then untouched.
  QAbstractSeries* SeriesOf(int kind, int& horizontal) const;

  // The index of the point drawn at `pos` (viewport coordinates), or -1 where no point is
  // drawn. A pie slice that draws several points answers the one at the position's angle. A
  // point drawn too thin to point at answers within a few pixels of it: a sliver by its
  // middle angle, a short bar near its base.
  int SegmentAt(QPointF pos) const;

  // The pie's slices each draw a run of consecutive points: slice k draws the points from
  // PieSliceFirst()[k] up to the next slice's first. Slivers too thin to see share a slice.
  const std::vector<int>& PieSliceFirst() const { return PieFirst; }
  // The labels the chart draws: beside the bars of the horizontal or vertical bar chart, or
  // beside the pie's slices at the ends of their arms (a pie of one slice: under it, no arm).
  const std::vector<QGraphicsSimpleTextItem*>& OwnMarks() const { return Marks; }

 signals:
  // The pointer moved onto point `point`, or off every point (-1). Not sent when a redraw
  // changes what lies under a pointer that stands still.
  void PointHovered(int point);
  // Point `point` was clicked. Sent once the chart's own mouse handling is over, so that a
  // redraw in the receiver does not delete the slice or bar that took the press.
  void PointClicked(int point);

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  // With the keyboard focus the chart draws a frame in the highlight colour around it.
  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  int DrawnKind() const;  // Kind, the pie for an unknown one
  void Clear();
  void DeleteMarks();
  // Puts `bars` (or no bar series for null) into the chart beside the pie.
  void UseBarSeries(QAbstractSeries* bars);
  void FillPie();
  void FillBars(QAbstractSeries* series);
  // Decides which marks have room and where they go; runs after a build and whenever the plot
  // area moves.
  void PlaceMarks();
  void PlacePieLabels();
  void PlaceLonePieLabel(double radius);
  void PlaceBarMarks(bool horizontal);
  int PieSegmentAt(QPointF inChart) const;
  int BarSegmentAt(QPointF inChart) const;
  void Hover(int point);

  QPieSeries* Series1 = nullptr;             // owned by the chart
  QHorizontalBarSeries* Series3 = nullptr;   // owned by the chart, in it or not
  QBarSeries* Series2 = nullptr;             // owned by the chart, in it or not
  // The hidden value axes of Series3 and Series2: [series][0 values, 1 slots].
  QValueAxis* BarAxes[2][2] = {};
  std::vector<TChartPoint> PointList;
  int Kind = KindPie;
  std::vector<int> PieFirst;
  std::vector<int> BarPoint;  // the point each drawn bar stands for (BarsDrawn)
  std::vector<QGraphicsSimpleTextItem*> Marks;  // owned by the chart
  std::vector<QGraphicsPathItem*> Arms;         // the pie labels' arms; owned by the chart
  int Hovered = -1;
  unsigned Builds = 0;  // counts ShowPoints calls, so that a queued click can tell
};

}  // namespace ostrel
