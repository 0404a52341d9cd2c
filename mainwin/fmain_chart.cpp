#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QFontMetricsF>
#include <QGraphicsSimpleTextItem>
#include <QHorizontalBarSeries>
#include <QPieSeries>
#include <QTreeWidget>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "mainwin/fmain.h"
#include "mainwin/radiogroup.h"
#include "scan/dirnode.h"
#include "scan/scansettings.h"

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
constexpr double PieArmLength = 8;
// The buttons lie on the chart's corners; the plot keeps clear of their row.
constexpr int ButtonRow = 24;
constexpr int MarkGap = 4;
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

TMeasure ShownMeasure() { return ScanSettings.apparentsize != 0 ? TMeasure::Apparent : TMeasure::DiskUsage; }

void TForm1::SetUpChart() {
  QChart* chart = ChartPie->chart();
  chart->setAnimationOptions(QChart::NoAnimation);
  // The bars start from 0 and each point has its own slot; the axes stay hidden.
  BarAxes[0][0] = HiddenAxis(chart, Qt::AlignBottom);
  BarAxes[0][1] = HiddenAxis(chart, Qt::AlignLeft);
  BarAxes[1][0] = HiddenAxis(chart, Qt::AlignLeft);
  BarAxes[1][1] = HiddenAxis(chart, Qt::AlignBottom);
  UseBarSeries(nullptr);
  Series3->setBarWidth(0.7);
  Series2->setBarWidth(0.7);
  Series1->setPieSize(0.7);
  SetMarginsIfChanged(chart, QMargins(0, ButtonRow, 0, ButtonRow));
}

QAbstractSeries* TForm1::GetChartSeries(int& horizontal) const {
  switch (ScanSettings.charttype) {
    case 0: horizontal = 0; return Series1;
    case 1: horizontal = 1; return Series3;
    case 2: horizontal = 0; return Series2;
    default: return nullptr;
  }
}

QAbstractSeries* TForm1::DrawnSeries(int& horizontal) const {
  if (QAbstractSeries* series = GetChartSeries(horizontal)) return series;
  horizontal = 0;
  return Series1;
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

  int horizontal = 0;
  QAbstractSeries* series = DrawnSeries(horizontal);
  ClearChart();
  ++ChartBuilds;
  Points = std::move(points);
  PointsItem = item;
  UseBarSeries(series == Series1 ? nullptr : series);
  if (series == Series1)
    FillPie();
  else
    FillBars(series);
  PlaceMarks();
}

void TForm1::UseBarSeries(QAbstractSeries* bars) {
  QChart* chart = ChartPie->chart();
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

void TForm1::ClearChart() {
  Series1->clear();
  Series3->clear();
  Series2->clear();
  for (QGraphicsSimpleTextItem* mark : Marks) delete mark;
  Marks.clear();
  PieFirst.clear();
  Points.clear();
  PointsItem = nullptr;
  HoverSeries = nullptr;
  HoverIndex = -1;
}

void TForm1::FillPie() {
  PieFirst = GroupPieSlices(Points, MinSliceFraction);
  QList<QPieSlice*> slices;
  slices.reserve(static_cast<qsizetype>(PieFirst.size()));
  const QFont font = ChartPie->font();
  for (size_t k = 0; k < PieFirst.size(); ++k) {
    const size_t first = static_cast<size_t>(PieFirst[k]);
    const size_t end = k + 1 < PieFirst.size() ? static_cast<size_t>(PieFirst[k + 1]) : Points.size();
    double value = 0;
    for (size_t i = first; i < end; ++i) value += std::max(0.0, Points[i].Value);
    auto* slice = new QPieSlice(QString(), value);
    slice->setBrush(SlicePalette[first % std::size(SlicePalette)]);
    slice->setLabelPosition(QPieSlice::LabelOutside);
    slice->setLabelFont(font);
    slice->setLabelVisible(false);
    slices.push_back(slice);
  }
  if (!slices.isEmpty()) Series1->append(slices);
  // Borders would bury thin slices, and show as a seam across a whole turn: those get none.
  const double total = Series1->sum();
  for (QPieSlice* slice : slices)
    if (slices.size() == 1 || slice->value() < total * ThinSliceFraction) slice->setPen(QPen(slice->brush().color()));
}

void TForm1::FillBars(QAbstractSeries* series) {
  if (Points.empty()) return;
  auto* bars = static_cast<QAbstractBarSeries*>(series);
  auto* set = new QBarSet(QString());
  QList<qreal> values;
  values.reserve(static_cast<qsizetype>(Points.size()));
  double largest = 0;
  for (const TChartPoint& p : Points) {
    values.push_back(p.Value);
    largest = std::max(largest, p.Value);
  }
  set->append(values);
  set->setColor(Qt::red);
  // Bars too thin for a border of their own are all fill.
  const QRectF plot = ChartPie->chart()->plotArea();
  const double slot = (series == Series3 ? plot.height() : plot.width()) / static_cast<double>(Points.size());
  set->setBorderColor(slot >= ThinBarSlot ? QColor(0x80, 0, 0) : QColor(Qt::red));
  QValueAxis* const* axes = BarAxes[series == Series3 ? 0 : 1];
  axes[0]->setRange(0, largest > 0 ? largest : 1);
  axes[1]->setRange(-0.5, static_cast<double>(Points.size()) - 0.5);
  bars->append(set);
}

void TForm1::PlaceMarks() {
  int horizontal = 0;
  QAbstractSeries* series = DrawnSeries(horizontal);
  if (series == Series1)
    PlacePieLabels();
  else
    PlaceBarMarks(horizontal != 0);
}

void TForm1::PlacePieLabels() {
  QChart* chart = ChartPie->chart();
  SetMarginsIfChanged(chart, QMargins(0, ButtonRow, 0, ButtonRow));
  const QList<QPieSlice*> slices = Series1->slices();
  if (slices.isEmpty()) return;
  // Where Qt puts the pie: centred in the plot area, pieSize of the shorter side across.
  const QRectF plot = chart->plotArea();
  const double radius = std::min(plot.width(), plot.height()) / 2 * Series1->pieSize();
  const QFontMetricsF metrics(ChartPie->font());

  std::vector<double> values;
  std::vector<bool> wanted;
  for (qsizetype k = 0; k < slices.size(); ++k) {
    values.push_back(slices[k]->value());
    const int end = k + 1 < slices.size() ? PieFirst[static_cast<size_t>(k + 1)] : static_cast<int>(Points.size());
    wanted.push_back(end - PieFirst[static_cast<size_t>(k)] == 1);
  }
  const std::vector<bool> shown = PieLabelsShown(values, wanted, radius + PieArmLength, metrics.height());

  const double total = Series1->sum();
  double start = 0;
  for (qsizetype k = 0; k < slices.size(); ++k) {
    QPieSlice* slice = slices[k];
    const double middle = (start + slice->value() / 2) / (total > 0 ? total : 1);  // of the turn
    start += slice->value();
    slice->setLabelArmLengthFactor(radius > 0 ? PieArmLength / radius : 0);
    if (!shown[static_cast<size_t>(k)]) {
      if (slice->isLabelVisible()) slice->setLabelVisible(false);
      continue;
    }
    // The label runs outward from its arm's end; what does not fit beside the pie is elided.
    const double armEnd = plot.center().x() + std::sin(middle * 2 * M_PI) * (radius + PieArmLength);
    const double room = middle < 0.5 ? chart->size().width() - armEnd - MarkGap : armEnd - MarkGap;
    const QString label = QString::fromStdString(Points[static_cast<size_t>(PieFirst[static_cast<size_t>(k)])].Label);
    const QString text = metrics.elidedText(label, Qt::ElideRight, std::max(room, 3 * metrics.height()));
    // Slice labels are rich text: a folder named "<b>" must show as it is.
    const QString html = text.toHtmlEscaped();
    if (slice->label() != html) slice->setLabel(html);
    if (!slice->isLabelVisible()) slice->setLabelVisible(true);
  }
}

void TForm1::PlaceBarMarks(bool horizontal) {
  QChart* chart = ChartPie->chart();
  QAbstractSeries* series = horizontal ? static_cast<QAbstractSeries*>(Series3) : Series2;
  for (QGraphicsSimpleTextItem* mark : Marks) delete mark;
  Marks.clear();
  if (Points.empty()) {
    SetMarginsIfChanged(chart, QMargins(MarkGap, ButtonRow, MarkGap, ButtonRow));
    return;
  }
  const QFont font = ChartPie->font();
  const QFontMetricsF metrics(font);
  // The bars' spacing does not depend on the label band beside them.
  QRectF plot = chart->plotArea();
  const double pitch = (horizontal ? plot.height() : plot.width()) / static_cast<double>(Points.size());
  std::vector<double> values;
  for (const TChartPoint& p : Points) values.push_back(p.Value);
  const std::vector<bool> shown = BarLabelsShown(values, pitch, metrics.height());

  double band = 0;
  for (size_t i = 0; i < Points.size(); ++i)
    if (shown[i]) band = std::max(band, metrics.horizontalAdvance(QString::fromStdString(Points[i].Label)));
  const QSizeF size = chart->size();
  band = std::ceil(std::min(band, MaxBandShare * (horizontal ? size.width() : size.height())));
  const int reserve = static_cast<int>(band) + 2 * MarkGap;
  // The labels of the left column, or the rotated ones of the band below the bars. The column's
  // end labels reach half a line beyond the end bars: still clear of the buttons' rows.
  const int halfLine = static_cast<int>(std::ceil(metrics.height() / 2));
  SetMarginsIfChanged(chart, horizontal ? QMargins(reserve, ButtonRow + halfLine, 3 * MarkGap, ButtonRow + halfLine)
                                        : QMargins(3 * MarkGap, ButtonRow, 3 * MarkGap, ButtonRow + reserve));
  plot = chart->plotArea();

  for (size_t i = 0; i < Points.size(); ++i) {
    if (!shown[i]) continue;
    const QString text = metrics.elidedText(QString::fromStdString(Points[i].Label), Qt::ElideRight, band);
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

}  // namespace ostrel
