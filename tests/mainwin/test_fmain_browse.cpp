// Exploring a finished scan as a user does: the folder tree, the chart of the selected folder
// in its three kinds, the status bar while hovering, clicks on points and "Up". Every case
// starts a window on the same generated folder, with the path on the command line. The files
// are sparse, of exact lengths: the window shows apparent sizes, as stored in its settings.
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QHorizontalBarSeries>
#include <QBarSeries>
#include <QLegend>
#include <QPieSeries>
#include <QProcess>
#include <QPushButton>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>
#include <memory>

#include "mainwin/fmain.h"
#include "mainwin/radiogroup.h"
#include "mainwin/statusbar.h"
#include "mainwin_support.h"
#include "scan/dirnode.h"
#include "scan/scansettings.h"
#include "scan_support.h"

using namespace ostrel;

namespace {

constexpr uint64_t MiB = 1 << 20;
const char* const Twin1 = "twin_01234567890123456789_first";
const char* const Twin2 = "twin_01234567890123456789_second";
const char* const TwinLabel = "twin_01234567890123456789...";
const char* const Exactly28 = "abcdefghijklmnopqrstuvwxyz12";

QStringList Labels(const std::vector<TChartPoint>& points) {
  QStringList labels;
  for (const TChartPoint& p : points) labels << QString::fromStdString(p.Label);
  return labels;
}

}  // namespace

class TestFmainBrowse : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void cleanup();

  void finishedScanShowsMyComputer();
  void treeOrderAndItems();
  void treeClickAndUp();
  void nothingSelectedNothingHappens();
  void pointsInChartOrder();
  void chartTypesDrawTheSamePoints_data();
  void chartTypesDrawTheSamePoints();
  void marksDoNotOverlap_data();
  void marksDoNotOverlap();
  void hoverShowsLabelAndSize_data();
  void hoverShowsLabelAndSize();
  void hoverOverThePie();
  void clickMovesIntoTheSubfolder_data();
  void clickMovesIntoTheSubfolder();
  void clicksThatChangeNothing();
  void clickOnEqualShortenedLabels();
  void clickReportedByTheSeries();
  void unknownChartTypeDrawsThePie();
  void breakdownMatchesOstrelScan_data();
  void breakdownMatchesOstrelScan();
  void screenshots();

 private:
  QTreeWidgetItem* Item(const QStringList& path) const;
  void Select(const QStringList& path);
  int PointIndex(const QString& label, bool subfolder = true) const;
  std::string Root() const { return Tree->Root(); }

  std::unique_ptr<test::TempTree> Tree;
  std::unique_ptr<test::TTempStore> Store;
  std::unique_ptr<TForm1> Form;
};

void TestFmainBrowse::initTestCase() {
  Tree = std::make_unique<test::TempTree>();
  Tree->File("own.bin", 1536);
  Tree->File("a1024/f", 1024);
  Tree->File("b1025/f", 1025);
  Tree->File("c1MiB/f", MiB);
  Tree->File("d1MiBplus/f", MiB + 1);
  Tree->File("e5GiB/f", 5 * 1024 * MiB);
  Tree->File("e5GiB/inner/deeper/f", 10);
  Tree->Dir("empty");
  Tree->File("(files)/f", 100);
  Tree->File(std::string(Twin1) + "/f", 200);
  Tree->File(std::string(Twin2) + "/f", 300);
  Tree->File(std::string(Exactly28) + "/f", 400);
  Tree->File("markup/<b>bold/f", 500);
  Tree->File("markup/a&amp;b/f", 700);
  Tree->File("Photos/index.db", 10 * MiB);
  const std::pair<const char*, uint64_t> photos[] = {
      {"Holidays 2019", 40}, {"Family", 25}, {"2004", 18},        {"Garden", 12},
      {"Birthday party", 8}, {"Scans", 5},   {"Wallpapers", 3},   {"_thumbnails", 1}};
  for (const auto& [name, size] : photos) Tree->File(std::string("Photos/") + name + "/f", size * MiB);
  Tree->File("many/own", 10000);
  for (int i = 0; i < 13; ++i) Tree->File("many/m" + std::to_string(100 + i).substr(1) + "/f", 1);
}

void TestFmainBrowse::init() {
  Store = std::make_unique<test::TTempStore>();
  Store->Open()->setValue("apparentsize", 1);
  Form = std::make_unique<TForm1>(std::vector<std::string>{"ostrel", Root()});
  Form->show();
  QVERIFY(QTest::qWaitForWindowExposed(Form.get()));
  QTRY_COMPARE_WITH_TIMEOUT(Form->TreeViewDirectories->topLevelItemCount(), 1, 15000);
}

void TestFmainBrowse::cleanup() {
  Form.reset();
  Store.reset();
}

QTreeWidgetItem* TestFmainBrowse::Item(const QStringList& path) const {
  QTreeWidgetItem* item = Form->TreeViewDirectories->topLevelItem(0)->child(0);
  for (const QString& name : path) item = test::ChildNamed(item, name);
  return item;
}

void TestFmainBrowse::Select(const QStringList& path) {
  QTreeWidgetItem* item = Item(path);
  QVERIFY(item);
  Form->TreeViewDirectories->setCurrentItem(item);
  Form->TreeViewDirectoriesClick();
  QCOMPARE(Form->ChartItem(), item);
  QCoreApplication::processEvents();  // the chart's own layout
}

int TestFmainBrowse::PointIndex(const QString& label, bool subfolder) const {
  const std::vector<TChartPoint>& points = Form->ChartPoints();
  for (size_t i = 0; i < points.size(); ++i)
    if (QString::fromStdString(points[i].Label) == label && (points[i].Child >= 0) == subfolder)
      return static_cast<int>(i);
  return -1;
}

void TestFmainBrowse::finishedScanShowsMyComputer() {
  QTreeWidgetItem* computer = Form->TreeViewDirectories->topLevelItem(0);
  QCOMPARE(computer->text(0), QStringLiteral("My Computer"));
  QVERIFY(computer->isSelected());
  QVERIFY(!computer->isExpanded());
  QCOMPARE(computer->childCount(), 1);
  QVERIFY(Form->CurrentDir.empty());
  // One point: the scan's root with all it holds.
  const std::vector<TChartPoint>& points = Form->ChartPoints();
  QCOMPARE(points.size(), size_t(1));
  QCOMPARE(QString::fromStdString(points[0].Label), QString::fromStdString(Root() + "/"));
  QCOMPARE(points[0].Value, SizeOf(*ItemNode(computer->child(0)), TMeasure::Apparent));
  QCOMPARE(Form->Series1->count(), 1);
  // Its click goes into the root, expanding "My Computer".
  Form->ChartPieClickSeries(Form->Series1, 0);
  QCOMPARE(Form->SelectedItem(), computer->child(0));
  QVERIFY(computer->isExpanded());
  QCOMPARE(Form->CurrentDir, Root() + "/");
}

void TestFmainBrowse::treeOrderAndItems() {
  // Each level in the program's case order: '(' before digits before letters before '_'.
  QStringList children;
  for (int i = 0; i < Item({})->childCount(); ++i) children << Item({})->child(i)->text(0);
  QCOMPARE(children, (QStringList{"(files)", "a1024", Exactly28, "b1025", "c1MiB", "d1MiBplus", "e5GiB", "empty",
                                  "many", "markup", "Photos", Twin1, Twin2}));
  QStringList photos;
  for (int i = 0; i < Item({"Photos"})->childCount(); ++i) photos << Item({"Photos"})->child(i)->text(0);
  QCOMPARE(photos, (QStringList{"2004", "Birthday party", "Family", "Garden", "Holidays 2019", "Scans",
                                "Wallpapers", "_thumbnails"}));
  // Folders only; a folder of files has no children.
  QCOMPARE(Item({"e5GiB"})->childCount(), 1);
  QCOMPARE(Item({"empty"})->childCount(), 0);
  QCOMPARE(QByteArray(ItemNode(Item({"e5GiB"}))->Name), QByteArray("e5GiB"));
}

void TestFmainBrowse::treeClickAndUp() {
  // A click in the tree is the view's own signal.
  QTreeWidgetItem* deeper = Item({"e5GiB", "inner", "deeper"});
  Form->TreeViewDirectories->setCurrentItem(deeper);
  emit Form->TreeViewDirectories->itemClicked(deeper, 0);
  QCOMPARE(Form->CurrentDir, Root() + "/e5GiB/inner/deeper");
  QCOMPARE(Form->ChartItem(), deeper);
  QCOMPARE(Labels(Form->ChartPoints()), QStringList{"(files)"});

  const std::pair<QTreeWidgetItem*, std::string> steps[] = {
      {Item({"e5GiB", "inner"}), Root() + "/e5GiB/inner"},
      {Item({"e5GiB"}), Root() + "/e5GiB"},
      {Item({}), Root() + "/"},
      {Form->TreeViewDirectories->topLevelItem(0), ""},
      {Form->TreeViewDirectories->topLevelItem(0), ""},  // a top-level item has no parent
  };
  for (const auto& [item, path] : steps) {
    Form->ButtonUp->click();
    QCOMPARE(Form->SelectedItem(), item);
    QCOMPARE(Form->CurrentDir, path);
    QCOMPARE(Form->ChartItem(), item);
  }
  // "Up" makes the parent visible: its ancestors are expanded.
  Form->TreeViewDirectories->collapseAll();
  Form->TreeViewDirectories->setCurrentItem(deeper);
  Form->ButtonUpClick();
  QVERIFY(Item({"e5GiB"})->isExpanded());
  QVERIFY(Item({})->isExpanded());
}

void TestFmainBrowse::nothingSelectedNothingHappens() {
  TForm1 empty({"ostrel"});
  QTRY_VERIFY(!empty.TimerLoad->isActive());  // the wizard was cancelled
  empty.ButtonUpClick();
  empty.TreeViewDirectoriesClick();
  empty.ChartPieClickSeries(empty.Series1, 0);
  empty.RadioGroupChartType->SetItemIndex(1);
  QVERIFY(empty.CurrentDir.empty());
  QVERIFY(empty.ChartItem() == nullptr);
  QVERIFY(empty.ChartPoints().empty());
  QCOMPARE(empty.Series3->count(), 0);
}

void TestFmainBrowse::pointsInChartOrder() {
  // Thirteen subfolders: the three smallest are combined.
  Select({});
  QCOMPARE(Labels(Form->ChartPoints()),
           (QStringList{"(files)", "(other: 3 dirs)", "a1024", Exactly28, "b1025", "c1MiB", "d1MiBplus", "e5GiB",
                        "many", "markup", "Photos", TwinLabel}));
  QCOMPARE(Form->ChartPoints()[1].Value, 0.0 + 100 + 200);
  ScanSettings.combineother = 0;
  Form->TreeViewDirectoriesClick();
  QCOMPARE(Labels(Form->ChartPoints()),
           (QStringList{"(files)", "(files)", "a1024", Exactly28, "b1025", "c1MiB", "d1MiBplus", "e5GiB", "empty",
                        "many", "markup", "Photos", TwinLabel, TwinLabel}));
  // The first "(files)" is the root's own file; the second the subfolder of that name.
  QCOMPARE(Form->ChartPoints()[0].Value, 1536.0);
  QCOMPARE(Form->ChartPoints()[0].Child, PointFiles);
  QCOMPARE(Item({})->child(Form->ChartPoints()[1].Child)->text(0), QStringLiteral("(files)"));
}

void TestFmainBrowse::chartTypesDrawTheSamePoints_data() {
  QTest::addColumn<int>("type");
  QTest::newRow("Pie") << 0;
  QTest::newRow("Horiz Bar") << 1;
  QTest::newRow("Vert Bar") << 2;
}

void TestFmainBrowse::chartTypesDrawTheSamePoints() {
  QFETCH(int, type);
  Select({"Photos"});
  Form->RadioGroupChartType->SetItemIndex(type);
  QCOMPARE(ScanSettings.charttype, type);
  QCOMPARE(Form->ChartItem(), Item({"Photos"}));
  QCoreApplication::processEvents();
  const std::vector<TChartPoint>& points = Form->ChartPoints();
  QCOMPARE(Labels(points), (QStringList{"(files)", "2004", "Birthday party", "Family", "Garden", "Holidays 2019",
                                        "Scans", "Wallpapers", "_thumbnails"}));
  int horizontal = -1;
  QAbstractSeries* drawn = Form->GetChartSeries(horizontal);
  QCOMPARE(horizontal, type == 1 ? 1 : 0);
  QAbstractSeries* series[] = {Form->Series1, Form->Series3, Form->Series2};
  QCOMPARE(drawn, series[type]);
  // Flat and bare: no title, legend or visible axis.
  QChart* chart = Form->ChartPie->chart();
  QVERIFY(chart->title().isEmpty());
  QVERIFY(!chart->legend()->isVisible());
  for (QAbstractAxis* axis : chart->axes()) QVERIFY(!axis->isVisible());

  if (type == 0) {
    QCOMPARE(Form->Series3->count(), 0);
    QCOMPARE(Form->Series2->count(), 0);
    const QList<QPieSlice*> slices = Form->Series1->slices();
    QCOMPARE(slices.size(), qsizetype(points.size()));  // none too thin for a slice of its own
    for (qsizetype i = 0; i < slices.size(); ++i) {
      QCOMPARE(slices[i]->value(), points[static_cast<size_t>(i)].Value);
      QCOMPARE(slices[i]->labelPosition(), QPieSlice::LabelOutside);
      if (i > 0) QVERIFY(slices[i]->brush().color() != slices[i - 1]->brush().color());
    }
    QVERIFY(slices.front()->isLabelVisible());
    QCOMPARE(slices.front()->label(), QStringLiteral("(files)"));
  } else {
    QAbstractBarSeries* bars = static_cast<QAbstractBarSeries*>(series[type]);
    QCOMPARE(Form->Series1->count(), 0);
    QCOMPARE(static_cast<QAbstractBarSeries*>(series[3 - type])->count(), 0);
    QCOMPARE(bars->count(), 1);
    QBarSet* set = bars->barSets().front();
    QCOMPARE(set->count(), qsizetype(points.size()));
    for (qsizetype i = 0; i < set->count(); ++i) QCOMPARE(set->at(i), points[static_cast<size_t>(i)].Value);
    QCOMPARE(set->color(), QColor(Qt::red));
    // Nine bars have room for nine labels, in the bars' order.
    QCOMPARE(Form->BarMarks().size(), points.size());
    for (size_t i = 0; i < points.size(); ++i)
      QCOMPARE(Form->BarMarks()[i]->text(), QString::fromStdString(points[i].Label));
  }
}

void TestFmainBrowse::marksDoNotOverlap_data() {
  QTest::addColumn<int>("type");
  QTest::addColumn<QStringList>("folder");
  QTest::newRow("Horiz Bar, 9 points") << 1 << QStringList{"Photos"};
  QTest::newRow("Vert Bar, 9 points") << 2 << QStringList{"Photos"};
  QTest::newRow("Horiz Bar, 14 points") << 1 << QStringList{};
  QTest::newRow("Vert Bar, 14 points") << 2 << QStringList{};
}

void TestFmainBrowse::marksDoNotOverlap() {
  QFETCH(int, type);
  QFETCH(QStringList, folder);
  Form->RadioGroupChartType->SetItemIndex(type);
  Select(folder);
  QCoreApplication::processEvents();
  const auto& marks = Form->BarMarks();
  QVERIFY(!marks.empty());
  const QRectF chartRect(QPointF(0, 0), Form->ChartPie->chart()->size());
  const QRectF plot = Form->ChartPie->chart()->plotArea();
  for (size_t i = 0; i < marks.size(); ++i) {
    const QRectF box = marks[i]->mapRectToParent(marks[i]->boundingRect());
    QVERIFY2(chartRect.contains(box), qPrintable(marks[i]->text()));
    QVERIFY2(!plot.intersects(box), qPrintable(marks[i]->text()));  // beside the bars, not on them
    const QRect onView = Form->ChartPie->mapFromScene(marks[i]->sceneBoundingRect()).boundingRect();
    for (QWidget* button : {static_cast<QWidget*>(Form->ButtonHelp), static_cast<QWidget*>(Form->ButtonUp),
                            static_cast<QWidget*>(Form->ButtonExplore), static_cast<QWidget*>(Form->ButtonCopy)})
      QVERIFY2(!button->geometry().intersects(onView), qPrintable(marks[i]->text() + " under " + button->objectName()));
    for (size_t j = 0; j < i; ++j) {
      const QRectF other = marks[j]->mapRectToParent(marks[j]->boundingRect());
      QVERIFY2(!box.intersects(other), qPrintable(marks[i]->text() + " / " + marks[j]->text()));
    }
  }
  // Each label lies level with its bar, and the bars take their whole slots.
  std::vector<QRectF> bars;
  for (QGraphicsItem* item : Form->ChartPie->scene()->items())
    if (auto* rect = dynamic_cast<QGraphicsRectItem*>(item); rect && rect->isVisible() && rect->brush().color() == Qt::red)
      bars.push_back(rect->sceneBoundingRect());
  QCOMPARE(bars.size(), Form->ChartPoints().size());
  // Point 0 is the lowest horizontal bar, or the leftmost vertical one.
  std::sort(bars.begin(), bars.end(), [&](const QRectF& a, const QRectF& b) {
    return type == 1 ? a.center().y() > b.center().y() : a.center().x() < b.center().x();
  });
  const double pitch = (type == 1 ? plot.height() : plot.width()) / static_cast<double>(bars.size());
  for (size_t i = 0; i < bars.size(); ++i) QVERIFY((type == 1 ? bars[i].height() : bars[i].width()) > 0.6 * pitch);
  if (marks.size() == bars.size()) {
    for (size_t i = 0; i < marks.size(); ++i) {
      const QPointF mark = marks[i]->sceneBoundingRect().center();
      const double off = type == 1 ? mark.y() - bars[i].center().y() : mark.x() - bars[i].center().x();
      QVERIFY2(std::abs(off) < 1.5, qPrintable(marks[i]->text() + ": " + QString::number(off)));
    }
  }
}

void TestFmainBrowse::hoverShowsLabelAndSize_data() {
  QTest::addColumn<int>("type");
  QTest::addColumn<QString>("label");
  QTest::addColumn<bool>("subfolder");
  QTest::addColumn<QString>("size");
  for (int type : {1, 2}) {
    const QByteArray kind = type == 1 ? "Horiz Bar: " : "Vert Bar: ";
    QTest::newRow(kind + "own files") << type << "(files)" << false << "1.5 KB";
    QTest::newRow(kind + "0") << type << "empty" << true << "0 B";
    QTest::newRow(kind + "1024") << type << "a1024" << true << "1024 B";
    QTest::newRow(kind + "1025") << type << "b1025" << true << "1.0 KB";
    QTest::newRow(kind + "1 MiB") << type << "c1MiB" << true << "1024.0 KB";
    QTest::newRow(kind + "1 MiB + 1") << type << "d1MiBplus" << true << "1.0 MB";
    QTest::newRow(kind + "5 GiB") << type << "e5GiB" << true << "5120.0 MB";
    QTest::newRow(kind + "shortened") << type << TwinLabel << true << "200 B";
  }
}

void TestFmainBrowse::hoverShowsLabelAndSize() {
  QFETCH(int, type);
  QFETCH(QString, label);
  QFETCH(bool, subfolder);
  QFETCH(QString, size);
  Form->RadioGroupChartType->SetItemIndex(type);
  ScanSettings.combineother = 0;
  Select({});
  const int index = PointIndex(label, subfolder);
  QVERIFY(index >= 0);
  QAbstractBarSeries* bars = type == 1 ? static_cast<QAbstractBarSeries*>(Form->Series3) : Form->Series2;
  QBarSet* set = bars->barSets().front();
  auto hover = [&](bool state, int i) {
    if (type == 1)
      emit Form->Series3->hovered(state, i, set);
    else
      emit Form->Series2->hovered(state, i, set);
  };
  hover(true, index);
  QCOMPARE(Form->StatusBar1->PanelText(0), label);
  QCOMPARE(Form->StatusBar1->PanelText(1), size);
  QCOMPARE(Form->StatusBar1->PanelText(2), QString());
  // To the next bar: its report of entering may come before the old one's leaving.
  const int next = (index + 1) % static_cast<int>(Form->ChartPoints().size());
  hover(true, next);
  hover(false, index);
  QCOMPARE(Form->StatusBar1->PanelText(0), QString::fromStdString(Form->ChartPoints()[static_cast<size_t>(next)].Label));
  // Off the bars: the label goes, the size stays.
  const QString lastSize = Form->StatusBar1->PanelText(1);
  hover(false, next);
  QCOMPARE(Form->StatusBar1->PanelText(0), QString());
  QCOMPARE(Form->StatusBar1->PanelText(1), lastSize);
}

void TestFmainBrowse::hoverOverThePie() {
  Select({"Photos"});
  const QList<QPieSlice*> slices = Form->Series1->slices();
  emit Form->Series1->hovered(slices[0], true);
  QCOMPARE(Form->StatusBar1->PanelText(0), QStringLiteral("(files)"));
  QCOMPARE(Form->StatusBar1->PanelText(1), QStringLiteral("10.0 MB"));
  emit Form->Series1->hovered(slices[5], true);
  emit Form->Series1->hovered(slices[0], false);
  QCOMPARE(Form->StatusBar1->PanelText(0), QStringLiteral("Holidays 2019"));
  QCOMPARE(Form->StatusBar1->PanelText(1), QStringLiteral("40.0 MB"));
  emit Form->Series1->hovered(slices[5], false);
  QCOMPARE(Form->StatusBar1->PanelText(0), QString());
  QCOMPARE(Form->StatusBar1->PanelText(1), QStringLiteral("40.0 MB"));

  // In the root the 5 GiB folder leaves the others slivers that share slices; a shared slice
  // names the point under the pointer, its first one when the pointer is elsewhere.
  Select({});
  const std::vector<int>& first = Form->PieSliceFirst();
  QVERIFY(first.size() < Form->ChartPoints().size());
  QCOMPARE(first.front(), 0);
  emit Form->Series1->hovered(Form->Series1->slices().front(), true);
  QCOMPARE(Form->StatusBar1->PanelText(0), QStringLiteral("(files)"));
  QCOMPARE(Form->StatusBar1->PanelText(1), QStringLiteral("1.5 KB"));
}

void TestFmainBrowse::clickMovesIntoTheSubfolder_data() {
  QTest::addColumn<int>("type");
  QTest::newRow("Pie") << 0;
  QTest::newRow("Horiz Bar") << 1;
  QTest::newRow("Vert Bar") << 2;
}

void TestFmainBrowse::clickMovesIntoTheSubfolder() {
  QFETCH(int, type);
  Form->RadioGroupChartType->SetItemIndex(type);
  Select({"Photos"});
  QAbstractSeries* series[] = {Form->Series1, Form->Series3, Form->Series2};
  Item({})->setExpanded(false);
  Form->ChartPieClickSeries(series[type], PointIndex("Family"));
  QCOMPARE(Form->SelectedItem(), Item({"Photos", "Family"}));
  QCOMPARE(Form->CurrentDir, Root() + "/Photos/Family");
  QCOMPARE(Form->ChartItem(), Item({"Photos", "Family"}));
  QVERIFY(Item({"Photos"})->isExpanded());
  QVERIFY(Item({})->isExpanded());
  QCOMPARE(Form->ClickDepth, 0);
}

void TestFmainBrowse::clicksThatChangeNothing() {
  auto unchanged = [&](QTreeWidgetItem* item, const std::string& dir) {
    QCOMPARE(Form->SelectedItem(), item);
    QCOMPARE(Form->CurrentDir, dir);
    QCOMPARE(Form->ClickDepth, 0);
  };
  for (int type : {0, 1, 2}) {
    Form->RadioGroupChartType->SetItemIndex(type);
    QAbstractSeries* series[] = {Form->Series1, Form->Series3, Form->Series2};
    // The folder's own files and the combined point are no subfolders.
    Select({"many"});
    Form->ChartPieClickSeries(series[type], PointIndex("(files)", false));
    unchanged(Item({"many"}), Root() + "/many");
    Form->ChartPieClickSeries(series[type], PointIndex("(other: 3 dirs)", false));
    unchanged(Item({"many"}), Root() + "/many");
    // No such point, another series, no series.
    Form->ChartPieClickSeries(series[type], 99);
    Form->ChartPieClickSeries(series[type], -1);
    Form->ChartPieClickSeries(series[(type + 1) % 3], 2);
    Form->ChartPieClickSeries(nullptr, 2);
    unchanged(Item({"many"}), Root() + "/many");
  }
  // A click while another is being handled is dropped.
  Form->ClickDepth = 1;
  Form->ChartPieClickSeries(Form->Series2, PointIndex("m05"));
  QCOMPARE(Form->ClickDepth, 1);
  Form->ClickDepth = 0;
  unchanged(Item({"many"}), Root() + "/many");
}

void TestFmainBrowse::clickOnEqualShortenedLabels() {
  Form->RadioGroupChartType->SetItemIndex(1);
  ScanSettings.combineother = 0;
  Select({});
  const int first = PointIndex(TwinLabel);
  Form->ChartPieClickSeries(Form->Series3, first);
  const QString one = Form->SelectedItem()->text(0);
  Select({});
  Form->ChartPieClickSeries(Form->Series3, first + 1);
  const QString two = Form->SelectedItem()->text(0);
  QVERIFY(one != two);
  QVERIFY((QStringList{one, two}).contains(Twin1));
  QVERIFY((QStringList{one, two}).contains(Twin2));
  // The subfolder named "(files)" is a subfolder all the same.
  Select({});
  Form->ChartPieClickSeries(Form->Series3, PointIndex("(files)", true));
  QCOMPARE(Form->CurrentDir, Root() + "/(files)");
  // A name of exactly 28 characters is drawn whole.
  Select({});
  QVERIFY(PointIndex(Exactly28) >= 0);
}

void TestFmainBrowse::clickReportedByTheSeries() {
  Form->RadioGroupChartType->SetItemIndex(2);
  Select({"Photos"});
  // Handled after the chart's own mouse handling, whose bar the redraw deletes.
  emit Form->Series2->clicked(PointIndex("Garden"), Form->Series2->barSets().front());
  QCOMPARE(Form->ChartItem(), Item({"Photos"}));
  QTRY_COMPARE(Form->ChartItem(), Item({"Photos", "Garden"}));

  Form->RadioGroupChartType->SetItemIndex(0);
  Select({"Photos"});
  emit Form->Series1->clicked(Form->Series1->slices().at(PointIndex("Scans")));
  QTRY_COMPARE(Form->ChartItem(), Item({"Photos", "Scans"}));

  // A click overtaken by a redraw is dropped: its index belonged to the old chart.
  Select({"Photos"});
  emit Form->Series1->clicked(Form->Series1->slices().at(PointIndex("Scans")));
  Select({"many"});
  QTest::qWait(50);
  QCOMPARE(Form->ChartItem(), Item({"many"}));
}

void TestFmainBrowse::unknownChartTypeDrawsThePie() {
  Select({"Photos"});
  ScanSettings.charttype = -1;
  Form->TreeViewDirectoriesClick();
  int horizontal = 7;
  QVERIFY(Form->GetChartSeries(horizontal) == nullptr);
  QCOMPARE(horizontal, 7);
  QCOMPARE(Form->Series1->count(), 9);
  emit Form->Series1->hovered(Form->Series1->slices()[3], true);
  QCOMPARE(Form->StatusBar1->PanelText(0), QStringLiteral("Family"));
}

void TestFmainBrowse::breakdownMatchesOstrelScan_data() {
  QTest::addColumn<int>("apparent");
  QTest::addColumn<int>("combine");
  QTest::addColumn<QStringList>("folder");
  for (int apparent : {1, 0}) {
    const QByteArray measure = apparent ? "apparent: " : "disk usage: ";
    QTest::newRow(measure + "root, combined") << apparent << 1 << QStringList{};
    QTest::newRow(measure + "root, not combined") << apparent << 0 << QStringList{};
    QTest::newRow(measure + "many, combined") << apparent << 1 << QStringList{"many"};
    QTest::newRow(measure + "Photos") << apparent << 1 << QStringList{"Photos"};
  }
}

void TestFmainBrowse::breakdownMatchesOstrelScan() {
  QFETCH(int, apparent);
  QFETCH(int, combine);
  QFETCH(QStringList, folder);
  ScanSettings.apparentsize = apparent;
  ScanSettings.combineother = combine;
  Select(folder);
  QStringList args{"--breakdown"};
  if (!combine) args << "--no-combine";
  if (apparent) args << "--apparent-size";
  args << QString::fromStdString(Root()) + (folder.isEmpty() ? QString() : "/" + folder.join('/'));
  QProcess scan;
  scan.start(QStringLiteral(OSTREL_SCAN_EXE), args);
  QVERIFY(scan.waitForFinished(30000));
  QCOMPARE(scan.exitCode(), 0);
  QStringList printed = QString::fromUtf8(scan.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
  QStringList drawn;
  for (const TChartPoint& p : Form->ChartPoints())
    drawn << QString::fromStdString(p.Label) + "\t" + QString::number(static_cast<qulonglong>(p.Value));
  QCOMPARE(printed, drawn);
}

void TestFmainBrowse::screenshots() {
  // Markup in names shows as typed, in the slice labels as in the status bar.
  Select({"markup"});
  QCOMPARE(Form->Series1->slices().size(), 2);
  QCOMPARE(Form->Series1->slices()[0]->label(), QStringLiteral("&lt;b&gt;bold"));
  QCOMPARE(Form->Series1->slices()[1]->label(), QStringLiteral("a&amp;amp;b"));

  Select({"Photos"});
  const std::pair<int, const char*> kinds[] = {{0, "main-pie"}, {1, "main-hbar"}, {2, "main-vbar"}};
  for (const auto& [type, name] : kinds) {
    Form->RadioGroupChartType->SetItemIndex(type);
    QTest::qWait(50);
    test::SaveScreenshot(Form.get(), name);
  }
}

OSTREL_MAINWIN_TEST_MAIN(TestFmainBrowse, TApplication)
#include "test_fmain_browse.moc"
