#include "mainwin/chartview.h"

#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QFile>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QGraphicsPathItem>
#include <QGraphicsSimpleTextItem>
#include <QHorizontalBarSeries>
#include <QLegend>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPieSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "controls/named.h"

namespace ostrel {
namespace {

// The slices' colours, by point index: neighbours always differ, and all stand out on white.
const QColor SlicePalette[] = {
    QColor(0xE6, 0x19, 0x4B), QColor(0x3C, 0xB4, 0x4B), QColor(0xFF, 0xE1, 0x19), QColor(0x43, 0x63, 0xD8),
    QColor(0xF5, 0x82, 0x31), QColor(0x91, 0x1E, 0xB4), QColor(0x42, 0xD4, 0xF4), QColor(0xF0, 0x32, 0xE6),
    QColor(0xBF, 0xEF, 0x45), QColor(0xFA, 0xBE, 0xD4), QColor(0x46, 0x99, 0x90), QColor(0xDC, 0xBE, 0xFF),
    QColor(0x9A, 0x63, 0x24), QColor(0x80, 0x00, 0x00), QColor(0x80, 0x80, 0x00), QColor(0x00, 0x00, 0x75),
};

// A slice narrower than this share of the turn (one degree) is drawn together with its
// neighbours: Qt's pie slows down badly with thousands of slices, and they would not show.
constexpr double MinSliceFraction = 1.0 / 360;
constexpr double ThinSliceFraction = 2.0 / 360;
constexpr double ThinBarSlot = 4;  // pixels
// More bars than any chart has pixels across; past it, neighbours share a bar.
constexpr size_t MostBars = 2048;
// A point drawn thinner than this can still be pointed at: within this width around it.
constexpr double MinHitWidth = 6;  // pixels
constexpr double PieArmLength = 8;
constexpr double PieSize = 0.7;   // of the plot area's shorter side
constexpr double BarWidth = 0.7;  // of a bar's slot
// The buttons lie on the chart's corners; the plot keeps clear of their row.
constexpr int ButtonRow = 24;
constexpr int MarkGap = 4;
constexpr int FocusFrameWidth = 2;  // pixels
// A label band takes at most this share of the chart.
constexpr double MaxBandShare = 0.4;

QValueAxis* HiddenAxis(QChart* chart, Qt::Alignment side) {
  auto* axis = new QValueAxis(chart);
  axis->setVisible(false);
  chart->addAxis(axis, side);
  return axis;
}

void SetMarginsIfChanged(QChart* chart, const QMargins& margins) {
  if (chart->margins() != margins) chart->setMargins(margins);
}

}  // namespace

TChartView::TChartView(QWidget* parent) : QChartView(new QChart(), parent) {
  QChart* chart = this->chart();
  chart->legend()->hide();
  chart->setBackgroundRoundness(0);
  chart->setDropShadowEnabled(false);
  chart->layout()->setContentsMargins(0, 0, 0, 0);
  chart->setAnimationOptions(QChart::NoAnimation);
  Series1 = new QPieSeries(chart);
  Named(Series1, "Series1");
  Series3 = new QHorizontalBarSeries(chart);
  Named(Series3, "Series3");
  Series2 = new QBarSeries(chart);
  Named(Series2, "Series2");
  chart->addSeries(Series1);
  chart->addSeries(Series3);
  chart->addSeries(Series2);
  setFrameShape(QFrame::NoFrame);
  setRenderHint(QPainter::Antialiasing);
  setRubberBand(QChartView::NoRubberBand);
  viewport()->setMouseTracking(true);

  // The bars start from 0 and each point has its own slot; the axes stay hidden.
  BarAxes[0][0] = HiddenAxis(chart, Qt::AlignBottom);
  BarAxes[0][1] = HiddenAxis(chart, Qt::AlignLeft);
  BarAxes[1][0] = HiddenAxis(chart, Qt::AlignLeft);
  BarAxes[1][1] = HiddenAxis(chart, Qt::AlignBottom);
  // Horizontal bars read from the top in the points' order, as the column of labels does.
  BarAxes[0][1]->setReverse(true);
  UseBarSeries(nullptr);
  Series3->setBarWidth(BarWidth);
  Series2->setBarWidth(BarWidth);
  Series1->setPieSize(PieSize);
  SetMarginsIfChanged(chart, QMargins(0, ButtonRow, 0, ButtonRow));
  connect(chart, &QChart::plotAreaChanged, this, &TChartView::PlaceMarks);
}

TChartView::~TChartView() = default;

QAbstractSeries* TChartView::SeriesOf(int kind, int& horizontal) const {
  switch (kind) {
    case KindPie: horizontal = 0; return Series1;
    case KindHorizontalBars: horizontal = 1; return Series3;
    case KindVerticalBars: horizontal = 0; return Series2;
    default: return nullptr;
  }
}

int TChartView::DrawnKind() const { return Kind == KindHorizontalBars || Kind == KindVerticalBars ? Kind : KindPie; }

void TChartView::ShowPoints(std::vector<TChartPoint> points, int kind) {
  Clear();
  ++Builds;
  PointList = std::move(points);
  Kind = kind;
  int horizontal = 0;
  QAbstractSeries* series = SeriesOf(DrawnKind(), horizontal);
  UseBarSeries(series == Series1 ? nullptr : series);
  if (series == Series1)
    FillPie();
  else
    FillBars(series);
  PlaceMarks();
}

void TChartView::UseBarSeries(QAbstractSeries* bars) {
  QChart* chart = this->chart();
  for (int k = 0; k < 2; ++k) {
    QAbstractSeries* series = k == 0 ? static_cast<QAbstractSeries*>(Series3) : Series2;
    const bool inChart = chart->series().contains(series);
    if (series == bars && !inChart) {
      chart->addSeries(series);
      series->attachAxis(BarAxes[k][0]);
      series->attachAxis(BarAxes[k][1]);
    } else if (series != bars && inChart) {
      chart->removeSeries(series);
      series->setParent(chart);  // removing hands it back without an owner
    }
  }
}

void TChartView::Clear() {
  Series1->clear();
  Series3->clear();
  Series2->clear();
  DeleteMarks();
  PieFirst.clear();
  BarPoint.clear();
  PointList.clear();
  Hovered = -1;
}

void TChartView::DeleteMarks() {
  for (QGraphicsSimpleTextItem* mark : Marks) delete mark;
  Marks.clear();
  for (QGraphicsPathItem* arm : Arms) delete arm;
  Arms.clear();
}

void TChartView::FillPie() {
  PieFirst = GroupPieSlices(PointList, MinSliceFraction);
  QList<QPieSlice*> slices;
  slices.reserve(static_cast<qsizetype>(PieFirst.size()));
  const QFont font = this->font();
  for (size_t k = 0; k < PieFirst.size(); ++k) {
    const size_t first = static_cast<size_t>(PieFirst[k]);
    const size_t end = k + 1 < PieFirst.size() ? static_cast<size_t>(PieFirst[k + 1]) : PointList.size();
    double value = 0;
    for (size_t i = first; i < end; ++i) value += static_cast<double>(PointList[i].Value);
    auto* slice = new QPieSlice(QString(), value);
    slice->setBrush(SlicePalette[first % std::size(SlicePalette)]);
    slice->setLabelPosition(QPieSlice::LabelOutside);
    slice->setLabelFont(font);
    slice->setLabelVisible(false);
    slices.push_back(slice);
  }
  if (!slices.isEmpty()) Series1->append(slices);
  // Borders would bury thin slices, and show as a seam across a whole turn: those get none. A
  // slice of nothing is left out altogether: its border alone would show as a bare line.
  const double total = Series1->sum();
  for (QPieSlice* slice : slices)
    if (slice->value() <= 0)
      slice->setPen(Qt::NoPen);
    else if (slices.size() == 1 || slice->value() < total * ThinSliceFraction)
      slice->setPen(QPen(slice->brush().color()));
}

void TChartView::FillBars(QAbstractSeries* series) {
  if (PointList.empty()) return;
  auto* bars = static_cast<QAbstractBarSeries*>(series);
  auto* set = new QBarSet(QString());
  // The chart makes an item per bar: a folder of a million subfolders would take it seconds
  // and gigabytes for bars no screen can tell apart.
  BarPoint = BarsDrawn(PointList, MostBars);
  QList<qreal> values;
  values.reserve(static_cast<qsizetype>(BarPoint.size()));
  double largest = 0;
  for (const int point : BarPoint) {
    const double value = static_cast<double>(PointList[static_cast<size_t>(point)].Value);
    values.push_back(value);
    largest = std::max(largest, value);
  }
  set->append(values);
  set->setColor(Qt::red);
  // Bars too thin for a border of their own are all fill.
  const QRectF plot = chart()->plotArea();
  const double slot = (series == Series3 ? plot.height() : plot.width()) / static_cast<double>(BarPoint.size());
  set->setBorderColor(slot >= ThinBarSlot ? QColor(0x80, 0, 0) : QColor(Qt::red));
  QValueAxis* const* axes = BarAxes[series == Series3 ? 0 : 1];
  axes[0]->setRange(0, largest > 0 ? largest : 1);
  axes[1]->setRange(-0.5, static_cast<double>(BarPoint.size()) - 0.5);
  bars->append(set);
}

void TChartView::PlaceMarks() {
  if (DrawnKind() == KindPie)
    PlacePieLabels();
  else
    PlaceBarMarks(DrawnKind() == KindHorizontalBars);
}

void TChartView::PlacePieLabels() {
  QChart* chart = this->chart();
  SetMarginsIfChanged(chart, QMargins(0, ButtonRow, 0, ButtonRow));
  DeleteMarks();
  const QList<QPieSlice*> slices = Series1->slices();
  if (slices.isEmpty()) return;
  // Where Qt puts the pie: centred in the plot area, pieSize of the shorter side across.
  const QRectF plot = chart->plotArea();
  const double radius = std::min(plot.width(), plot.height()) / 2 * Series1->pieSize();
  const QFontMetricsF metrics(font());
  if (slices.size() == 1) {
    PlaceLonePieLabel(radius);
    return;
  }

  std::vector<double> values;
  std::vector<bool> wanted;
  for (qsizetype k = 0; k < slices.size(); ++k) {
    values.push_back(slices[k]->value());
    const int end = k + 1 < slices.size() ? PieFirst[static_cast<size_t>(k + 1)] : static_cast<int>(PointList.size());
    wanted.push_back(end - PieFirst[static_cast<size_t>(k)] == 1);
  }
  const std::vector<bool> shown = PieLabelsShown(values, wanted, radius + PieArmLength, metrics.height());

  // The labels and their arms are drawn here rather than by Qt: Qt's arm runs under the label's
  // text, hiding underscores, and ends in a stray tick beside a slice of nearly a whole turn.
  const double total = Series1->sum();
  const QPointF centre = plot.center();
  const QFont font = this->font();
  double start = 0;
  for (qsizetype k = 0; k < slices.size(); ++k) {
    QPieSlice* slice = slices[k];
    const double middle = (start + slice->value() / 2) / (total > 0 ? total : 1);  // of the turn
    start += slice->value();
    if (!shown[static_cast<size_t>(k)]) continue;
    const bool right = middle < 0.5;
    const QPointF out(std::sin(middle * 2 * M_PI), -std::cos(middle * 2 * M_PI));
    const QPointF elbow = centre + out * (radius + PieArmLength);
    const QPointF end = elbow + QPointF(right ? PieArmLength : -PieArmLength, 0);
    QPainterPath path(centre + out * radius);
    path.lineTo(elbow);
    path.lineTo(end);
    auto* arm = new QGraphicsPathItem(path, chart);
    arm->setPen(QPen(palette().color(QPalette::WindowText), 1));
    Arms.push_back(arm);
    // The label runs outward from its arm's end, centred on it; what does not fit is elided.
    const double room = right ? chart->size().width() - end.x() - 2 * MarkGap : end.x() - 2 * MarkGap;
    const QString label = QFile::decodeName(QByteArray::fromStdString(PointList[static_cast<size_t>(PieFirst[static_cast<size_t>(k)])].Label));
    const QString text = metrics.elidedText(label, Qt::ElideRight, std::max(room, 3 * metrics.height()));
    auto* mark = new QGraphicsSimpleTextItem(text, chart);
    mark->setFont(font);
    const double width = metrics.horizontalAdvance(text);
    mark->setPos(right ? end.x() + MarkGap / 2 : end.x() - MarkGap / 2 - width, end.y() - metrics.height() / 2);
    Marks.push_back(mark);
  }
}

void TChartView::PlaceLonePieLabel(double radius) {
  // Qt's arm would point straight down from a whole turn's middle and end in a stray tick
  // beside the label: the one label stands centred under the pie instead, with no arm.
  QChart* chart = this->chart();
  QPieSlice* slice = Series1->slices().front();
  if (slice->isLabelVisible()) slice->setLabelVisible(false);
  if (PointList.size() != 1) return;  // a slice of slivers has no one name
  const QFont font = this->font();
  const QFontMetricsF metrics(font);
  const QString label = QFile::decodeName(QByteArray::fromStdString(PointList[static_cast<size_t>(PieFirst.front())].Label));
  const QString text = metrics.elidedText(label, Qt::ElideRight, std::max(0.0, chart->size().width() - 2 * MarkGap));
  auto* mark = new QGraphicsSimpleTextItem(text, chart);
  mark->setFont(font);
  mark->setBrush(slice->labelBrush());
  const QRectF plot = chart->plotArea();
  mark->setPos(plot.center().x() - metrics.horizontalAdvance(text) / 2, plot.center().y() + radius + MarkGap);
  Marks.push_back(mark);
}

void TChartView::PlaceBarMarks(bool horizontal) {
  QChart* chart = this->chart();
  QAbstractSeries* series = horizontal ? static_cast<QAbstractSeries*>(Series3) : Series2;
  DeleteMarks();
  if (PointList.empty()) {
    SetMarginsIfChanged(chart, QMargins(MarkGap, ButtonRow, MarkGap, ButtonRow));
    return;
  }
  const QFont font = this->font();
  const QFontMetricsF metrics(font);
  // The bars' spacing does not depend on the label band beside them.
  QRectF plot = chart->plotArea();
  const double pitch = (horizontal ? plot.height() : plot.width()) / static_cast<double>(BarPoint.size());
  std::vector<double> values;
  for (const int point : BarPoint) values.push_back(static_cast<double>(PointList[static_cast<size_t>(point)].Value));
  const std::vector<bool> shown = BarLabelsShown(values, pitch, metrics.height());
  auto label = [&](size_t bar) {
    return QFile::decodeName(QByteArray::fromStdString(PointList[static_cast<size_t>(BarPoint[bar])].Label));
  };

  double band = 0;
  for (size_t i = 0; i < BarPoint.size(); ++i)
    if (shown[i]) band = std::max(band, metrics.horizontalAdvance(label(i)));
  const QSizeF size = chart->size();
  band = std::ceil(std::min(band, MaxBandShare * (horizontal ? size.width() : size.height())));
  const int reserve = static_cast<int>(band) + 2 * MarkGap;
  // The labels of the left column, or the rotated ones of the band below the bars. The column's
  // end labels reach half a line beyond the end bars: still clear of the buttons' rows.
  const int halfLine = static_cast<int>(std::ceil(metrics.height() / 2));
  SetMarginsIfChanged(chart, horizontal ? QMargins(reserve, ButtonRow + halfLine, 3 * MarkGap, ButtonRow + halfLine)
                                        : QMargins(3 * MarkGap, ButtonRow, 3 * MarkGap, ButtonRow + reserve));
  plot = chart->plotArea();

  for (size_t i = 0; i < BarPoint.size(); ++i) {
    if (!shown[i]) continue;
    const QString text = metrics.elidedText(label(i), Qt::ElideRight, band);
    auto* mark = new QGraphicsSimpleTextItem(text, chart);
    mark->setFont(font);
    const double width = metrics.horizontalAdvance(text);
    const double height = metrics.height();
    if (horizontal) {
      const double y = chart->mapToPosition(QPointF(0, static_cast<double>(i)), series).y();
      mark->setPos(plot.left() - MarkGap - width, y - height / 2);
    } else {
      // Reads upwards and ends just below the bar.
      const double x = chart->mapToPosition(QPointF(static_cast<double>(i), 0), series).x();
      mark->setRotation(-90);
      mark->setPos(x - height / 2, plot.bottom() + MarkGap + width);
    }
    Marks.push_back(mark);
  }
}

int TChartView::SegmentAt(QPointF pos) const {
  if (PointList.empty() || !QRectF(viewport()->rect()).contains(pos)) return -1;
  const QPointF inChart = chart()->mapFromScene(viewportTransform().inverted().map(pos));
  return DrawnKind() == KindPie ? PieSegmentAt(inChart) : BarSegmentAt(inChart);
}

int TChartView::PieSegmentAt(QPointF inChart) const {
  // Where Qt puts the pie: centred in the plot area, PieSize of the shorter side across, the
  // slices running clockwise from the top.
  const QRectF plot = chart()->plotArea();
  const double radius = std::min(plot.width(), plot.height()) / 2 * Series1->pieSize();
  const QPointF at = inChart - plot.center();
  const double total = Series1->sum();
  if (total <= 0 || std::hypot(at.x(), at.y()) > radius) return -1;
  double angle = std::atan2(at.x(), -at.y());
  if (angle < 0) angle += 2 * M_PI;
  const double fraction = angle / (2 * M_PI);
  if (const int thin = ThinPointNear(PointList, fraction, MinHitWidth / (2 * M_PI * radius));
      thin >= 0 && PointList[static_cast<size_t>(thin)].Value > 0)
    return thin;
  // The slice holding that angle, then the point within it.
  const QList<QPieSlice*> slices = Series1->slices();
  double start = 0;
  for (qsizetype k = 0; k < slices.size(); ++k) {
    start += slices[k]->value();
    if (fraction * total < start || k + 1 == slices.size()) {
      const size_t slice = static_cast<size_t>(k);
      const int end = slice + 1 < PieFirst.size() ? PieFirst[slice + 1] : static_cast<int>(PointList.size());
      return PointAtPieFraction(PointList, PieFirst[slice], end, fraction);
    }
  }
  return -1;
}

int TChartView::BarSegmentAt(QPointF inChart) const {
  const bool horizontal = DrawnKind() == KindHorizontalBars;
  QAbstractSeries* series = horizontal ? static_cast<QAbstractSeries*>(Series3) : Series2;
  if (!chart()->plotArea().contains(inChart)) return -1;
  const QPointF value = chart()->mapToValue(inChart, series);
  const double slot = horizontal ? value.y() : value.x();
  const double length = horizontal ? value.x() : value.y();
  const double index = std::round(slot);
  if (index < 0 || index >= static_cast<double>(BarPoint.size()) || std::abs(slot - index) > BarWidth / 2) return -1;
  const int hit = BarPoint[static_cast<size_t>(index)];
  const double bar = static_cast<double>(PointList[static_cast<size_t>(hit)].Value);  // the axis is in double
  if (length < 0) return -1;
  if (length <= bar) return hit;
  // A bar too short to see is hit within a few pixels of its base.
  const QPointF base = chart()->mapToPosition(horizontal ? QPointF(0, index) : QPointF(index, 0), series);
  const QPointF end = chart()->mapToPosition(horizontal ? QPointF(bar, index) : QPointF(index, bar), series);
  const double drawn = horizontal ? std::abs(end.x() - base.x()) : std::abs(end.y() - base.y());
  const double pointer = horizontal ? std::abs(inChart.x() - base.x()) : std::abs(inChart.y() - base.y());
  return drawn < MinHitWidth && pointer <= MinHitWidth ? hit : -1;
}

void TChartView::Hover(int point) {
  if (point == Hovered) return;
  Hovered = point;
  emit PointHovered(point);
}

void TChartView::mouseMoveEvent(QMouseEvent* event) {
  QChartView::mouseMoveEvent(event);
  Hover(SegmentAt(event->position()));
}

void TChartView::mousePressEvent(QMouseEvent* event) {
  QChartView::mousePressEvent(event);
  const int point = SegmentAt(event->position());
  if (point < 0) return;
  // Handled once the chart's own mouse handling is over: a redraw deletes the slice or bar that
  // took the press. A click that a redraw overtook is dropped.
  QMetaObject::invokeMethod(
      this,
      [this, point, build = Builds] {
        if (build == Builds) emit PointClicked(point);
      },
      Qt::QueuedConnection);
}

void TChartView::paintEvent(QPaintEvent* event) {
  QChartView::paintEvent(event);
  if (!hasFocus()) return;
  QPainter painter(viewport());
  painter.setPen(QPen(palette().color(QPalette::Highlight), FocusFrameWidth));
  painter.setBrush(Qt::NoBrush);
  const int inset = FocusFrameWidth / 2;
  painter.drawRect(viewport()->rect().adjusted(inset, inset, -inset - 1, -inset - 1));
}

void TChartView::focusInEvent(QFocusEvent* event) {
  QChartView::focusInEvent(event);
  viewport()->update();
}

void TChartView::focusOutEvent(QFocusEvent* event) {
  QChartView::focusOutEvent(event);
  viewport()->update();
}

bool TChartView::viewportEvent(QEvent* event) {
  const bool handled = QChartView::viewportEvent(event);
  if (event->type() == QEvent::Leave) Hover(-1);
  return handled;
}

}  // namespace ostrel
