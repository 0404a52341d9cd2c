// Exploring a finished scan as a user does: the folder tree, the chart of the selected folder
// in its three kinds, the status bar while hovering, clicks on points and "Up". One window
// scans the generated folder once, with the path on the command line, and every case starts
// from its "My Computer" item (the case on names that are not UTF-8 scans a folder of its own).
// The files are sparse, of exact lengths: the window shows apparent sizes, as stored in its
// settings.
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QHorizontalBarSeries>
#include <QImage>
#include <QBarSeries>
#include <QLegend>
#include <QMouseEvent>
#include <QPieSeries>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

#include "mainwin/folderitem.h"
#include "mainwin_support.h"
#include "scan/dirnode.h"
#include "scan/scansettings.h"

using namespace ostrel;

namespace {

constexpr uint64_t MiB = 1 << 20;
const char* const Twin1 = "twin_01234567890123456789_first";
const char* const Twin2 = "twin_01234567890123456789_second";
const char* const TwinLabel = "twin_01234567890123456789...";
const char* const Exactly28 = "abcdefghijklmnopqrstuvwxyz12";

// The three kinds of chart, as a test's data.
void ChartKinds() {
  QTest::addColumn<int>("type");
  QTest::newRow("Pie") << 0;
  QTest::newRow("Horiz Bar") << 1;
  QTest::newRow("Vert Bar") << 2;
}

QStringList Labels(const std::vector<TChartPoint>& points) {
  QStringList labels;
  for (const TChartPoint& p : points) labels << QString::fromStdString(p.Label);
  return labels;
}

}  // namespace

class TestFmainBrowse : public test::TFormTest {
  Q_OBJECT

 private slots:
  void initTestCase() {
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
    Tree->Chain("many/m00", 14, "level");

    StartCase();
    Store->Open()->setValue("apparentsize", 1);
    OpenWindow({"ostrel", Root()});
    ShowActive();
    QTRY_COMPARE_WITH_TIMEOUT(TreeView()->topLevelItemCount(), 1, 15000);
  }

  void init() {
    // Every case reads the one scan from its start: the pie, combined folders, the top item.
    // (Another window of a case sets the settings, which all windows share.)
    ScanSettings.charttype = 0;
    ScanSettings.combineother = 1;
    ScanSettings.apparentsize = 1;
    V().RadioGroupChartType->SetItemIndex(0);
    QTreeWidget* tree = V().TreeViewDirectories;
    tree->collapseAll();
    tree->horizontalScrollBar()->setValue(0);
    tree->setCurrentItem(tree->topLevelItem(0));
    Form->TreeViewDirectoriesClick();
    Form->ChartPieMouseMove(-1);
  }

  void cleanupTestCase() { EndCase(); }

  void finishedScanShowsMyComputer() {
    // (Selected and closed after the scan, as the scan tests check; here as every case starts.)
    QTreeWidgetItem* computer = MyComputer();
    QCOMPARE(computer->childCount(), 1);
    // One point: the scan's root with all it holds.
    const std::vector<TChartPoint>& points = Points();
    QCOMPARE(points.size(), size_t(1));
    QCOMPARE(QString::fromStdString(points[0].Label), QString::fromStdString(Root() + "/"));
    QCOMPARE(points[0].Value, SizeOf(*ItemNode(computer->child(0)), TMeasure::Apparent));
    QCOMPARE(Pie()->count(), 1);
    // "My Computer" has no node of its own: the third panel totals the scan it holds.
    const QString total = QString::fromStdString(FormatSize(points[0].Value));
    QVERIFY(total.endsWith(" MB"));
    QCOMPARE(V().StatusBar1->PanelText(2), total);
    // Its click goes into the root, expanding "My Computer".
    Form->ChartPieClickSeries(0);
    QCOMPARE(V().SelectedItem(), computer->child(0));
    QVERIFY(computer->isExpanded());
    QCOMPARE(Form->CurrentPath(), Root() + "/");
    // Clicked from a smaller folder, back to the same total.
    test::ClickItem(*Form, Item({"Photos"}));
    QVERIFY(V().StatusBar1->PanelText(2) != total);
    test::ClickItem(*Form, computer);
    QCOMPARE(V().StatusBar1->PanelText(2), total);
  }

  void treeOrderAndItems() {
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

  void treeClickAndUp() {
    // A click in the tree is the view's own signal.
    QTreeWidgetItem* deeper = Item({"e5GiB", "inner", "deeper"});
    V().TreeViewDirectories->setCurrentItem(deeper);
    emit V().TreeViewDirectories->itemClicked(deeper, 0);
    QCOMPARE(Form->CurrentPath(), Root() + "/e5GiB/inner/deeper");
    QCOMPARE(Shown(), deeper);
    QCOMPARE(Labels(Points()), QStringList{"(files)"});

    const std::pair<QTreeWidgetItem*, std::string> steps[] = {
        {Item({"e5GiB", "inner"}), Root() + "/e5GiB/inner"},
        {Item({"e5GiB"}), Root() + "/e5GiB"},
        {Item({}), Root() + "/"},
        {MyComputer(), ""},
        {MyComputer(), ""},  // a top-level item has no parent
    };
    for (const auto& [item, path] : steps) {
      V().ButtonUp->click();
      QCOMPARE(Shown(), item);
      QCOMPARE(Form->CurrentPath(), path);
    }
    // "Up" makes the parent visible: its ancestors are expanded.
    V().TreeViewDirectories->collapseAll();
    V().TreeViewDirectories->setCurrentItem(deeper);
    Form->ButtonUpClick();
    QVERIFY(Item({"e5GiB"})->isExpanded());
    QVERIFY(Item({})->isExpanded());
  }

  void nothingSelectedNothingHappens() {
    TForm1 empty({"ostrel"}, Desktop);
    QTRY_VERIFY(!test::View(empty).TimerLoad->isActive());  // the wizard was cancelled
    empty.ButtonUpClick();
    empty.TreeViewDirectoriesClick();
    empty.ChartPieClickSeries(0);
    test::View(empty).RadioGroupChartType->SetItemIndex(1);
    QVERIFY(empty.CurrentPath().empty());
    auto* chart = empty.findChild<TChartView*>(QStringLiteral("ChartPie"));
    QVERIFY(chart->Points().empty());
    int horizontal = 0;
    QCOMPARE(static_cast<QAbstractBarSeries*>(chart->SeriesOf(1, horizontal))->count(), 0);
  }

  void pointsInChartOrder() {
    // Thirteen subfolders: the three smallest are combined.
    Select({});
    QCOMPARE(Labels(Points()),
             (QStringList{"(files)", "(other: 3 dirs)", "a1024", Exactly28, "b1025", "c1MiB", "d1MiBplus", "e5GiB",
                          "many", "markup", "Photos", TwinLabel}));
    QCOMPARE(Points()[1].Value, 0.0 + 100 + 200);
    // (Unfolded, with the twin labels and the subfolder named "(files)": the hover and click
    // cases below; the order itself is the breakdown's own test.)
  }
  void eachKindDrawsHoversAndClicks_data() { ChartKinds(); }
  void eachKindDrawsHoversAndClicks() {
    QFETCH(int, type);
    Select({"Photos"});
    V().RadioGroupChartType->SetItemIndex(type);
    QCOMPARE(ScanSettings.charttype, type);
    QCOMPARE(Shown(), Item({"Photos"}));
    QCoreApplication::processEvents();
    const std::vector<TChartPoint>& points = Points();
    QCOMPARE(points.size(), size_t(9));
    int horizontal = -1;
    QAbstractSeries* drawn = Form->GetChartSeries(horizontal);
    QCOMPARE(horizontal, type == 1 ? 1 : 0);
    QAbstractSeries* series[] = {Series(0), Series(1), Series(2)};
    QCOMPARE(drawn, series[type]);
    // Flat and bare: no title, legend or visible axis.
    QChart* chart = Chart()->chart();
    QVERIFY(chart->title().isEmpty());
    QVERIFY(!chart->legend()->isVisible());
    for (QAbstractAxis* axis : chart->axes()) QVERIFY(!axis->isVisible());

    if (type == 0) {
      QCOMPARE(static_cast<QAbstractBarSeries*>(Series(1))->count(), 0);
      QCOMPARE(static_cast<QAbstractBarSeries*>(Series(2))->count(), 0);
      const QList<QPieSlice*> slices = Pie()->slices();
      QCOMPARE(slices.size(), qsizetype(points.size()));  // none too thin for a slice of its own
      for (qsizetype i = 0; i < slices.size(); ++i) {
        QCOMPARE(slices[i]->value(), points[static_cast<size_t>(i)].Value);
        QCOMPARE(slices[i]->labelPosition(), QPieSlice::LabelOutside);
        if (i > 0) QVERIFY(slices[i]->brush().color() != slices[i - 1]->brush().color());
      }
      QVERIFY(!Chart()->OwnMarks().empty());
      QCOMPARE(Chart()->OwnMarks().front()->text(), QStringLiteral("(files)"));
    } else {
      QAbstractBarSeries* bars = static_cast<QAbstractBarSeries*>(series[type]);
      QCOMPARE(Pie()->count(), 0);
      QCOMPARE(static_cast<QAbstractBarSeries*>(series[3 - type])->count(), 0);
      QCOMPARE(bars->count(), 1);
      QBarSet* set = bars->barSets().front();
      QCOMPARE(set->count(), qsizetype(points.size()));
      for (qsizetype i = 0; i < set->count(); ++i) QCOMPARE(set->at(i), points[static_cast<size_t>(i)].Value);
      QCOMPARE(set->color(), QColor(Qt::red));
      // Nine bars have room for nine labels, in the bars' order.
      QCOMPARE(Chart()->OwnMarks().size(), points.size());
      for (size_t i = 0; i < points.size(); ++i)
        QCOMPARE(Chart()->OwnMarks()[i]->text(), QString::fromStdString(points[i].Label));
    }

    // The status bar follows the pointer over the points, off them and off the chart.
    for (const char* label : {"(files)", "Holidays 2019", "Garden", "Family"}) {
      Mouse(QEvent::MouseMove, PositionOf(PointIndex(label, label[0] != '(')));
      QCOMPARE(V().StatusBar1->PanelText(0), QString::fromLatin1(label));
    }
    QCOMPARE(V().StatusBar1->PanelText(1), QStringLiteral("25.0 MB"));
    // Off the points, still on the chart; then off the chart.
    Mouse(QEvent::MouseMove, QPoint(3, Chart()->viewport()->height() / 2));
    QCOMPARE(V().StatusBar1->PanelText(0), QString());
    QCOMPARE(V().StatusBar1->PanelText(1), QStringLiteral("25.0 MB"));
    Mouse(QEvent::MouseMove, PositionOf(PointIndex("Garden")));
    QCOMPARE(V().StatusBar1->PanelText(0), QStringLiteral("Garden"));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(Chart()->viewport(), &leave);
    QCOMPARE(V().StatusBar1->PanelText(0), QString());
    // A click on a subfolder's point goes into it, opening the levels above it.
    Item({})->setExpanded(false);
    Form->ChartPieClickSeries(PointIndex("Family"));
    QCOMPARE(V().SelectedItem(), Item({"Photos", "Family"}));
    QCOMPARE(Form->CurrentPath(), Root() + "/Photos/Family");
    QCOMPARE(Labels(Points()), QStringList{"(files)"});
    QVERIFY(Item({"Photos"})->isExpanded());
    QVERIFY(Item({})->isExpanded());
  }

  void marksDoNotOverlap_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("folder");
    QTest::newRow("Horiz Bar, 9 points") << 1 << QStringList{"Photos"};
    QTest::newRow("Vert Bar, 9 points") << 2 << QStringList{"Photos"};
    QTest::newRow("Horiz Bar, 14 points") << 1 << QStringList{};
    QTest::newRow("Vert Bar, 14 points") << 2 << QStringList{};
  }
  void marksDoNotOverlap() {
    QFETCH(int, type);
    QFETCH(QStringList, folder);
    V().RadioGroupChartType->SetItemIndex(type);
    Select(folder);
    const auto& marks = Chart()->OwnMarks();
    QVERIFY(!marks.empty());
    const QRectF chartRect(QPointF(0, 0), Chart()->chart()->size());
    const QRectF plot = Chart()->chart()->plotArea();
    for (size_t i = 0; i < marks.size(); ++i) {
      const QRectF box = marks[i]->mapRectToParent(marks[i]->boundingRect());
      QVERIFY2(chartRect.contains(box), qPrintable(marks[i]->text()));
      QVERIFY2(!plot.intersects(box), qPrintable(marks[i]->text()));  // beside the bars, not on them
      const QRect onView = Chart()->mapFromScene(marks[i]->sceneBoundingRect()).boundingRect();
      for (QWidget* button : QWidgetList{V().ButtonHelp, V().ButtonUp, V().ButtonExplore, V().ButtonCopy})
        QVERIFY2(!button->geometry().intersects(onView), qPrintable(marks[i]->text() + " under " + button->objectName()));
      for (size_t j = 0; j < i; ++j) {
        const QRectF other = marks[j]->mapRectToParent(marks[j]->boundingRect());
        QVERIFY2(!box.intersects(other), qPrintable(marks[i]->text() + " / " + marks[j]->text()));
      }
    }
    // Each label lies level with its bar, and the bars take their whole slots.
    std::vector<QRectF> bars;
    for (QGraphicsItem* item : Chart()->scene()->items())
      if (auto* rect = dynamic_cast<QGraphicsRectItem*>(item); rect && rect->isVisible() && rect->brush().color() == Qt::red)
        bars.push_back(rect->sceneBoundingRect());
    QCOMPARE(bars.size(), Points().size());
    // Point 0 is the top horizontal bar, or the leftmost vertical one: both read in the points' order.
    std::sort(bars.begin(), bars.end(), [&](const QRectF& a, const QRectF& b) {
      return type == 1 ? a.center().y() < b.center().y() : a.center().x() < b.center().x();
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

  void hoverShowsLabelAndSize_data() {
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("subfolder");
    QTest::addColumn<QString>("size");
    QTest::newRow("own files") << "(files)" << false << "1.5 KB";
    // (The thresholds between units are FormatSize's own test.)
    QTest::newRow("0") << "empty" << true << "0 B";
    QTest::newRow("shortened") << TwinLabel << true << "200 B";
  }
  void hoverShowsLabelAndSize() {
    QFETCH(QString, label);
    QFETCH(bool, subfolder);
    QFETCH(QString, size);
    ScanSettings.combineother = 0;
    Select({});
    const int index = PointIndex(label, subfolder);
    QVERIFY(index >= 0);
    V().StatusBar1->SetPanelText(3, QStringLiteral("kept"));
    // The third panel holds the selected folder's total, whatever is hovered.
    const QString total = V().StatusBar1->PanelText(2);
    QVERIFY(total.endsWith(" MB"));
    Form->ChartPieMouseMove(index);
    QCOMPARE(V().StatusBar1->PanelText(0), label);
    QCOMPARE(V().StatusBar1->PanelText(1), size);
    QCOMPARE(V().StatusBar1->PanelText(2), total);
    // Off the points: the label goes, the size stays; the fourth panel is never touched.
    Form->ChartPieMouseMove(-1);
    QCOMPARE(V().StatusBar1->PanelText(0), QString());
    QCOMPARE(V().StatusBar1->PanelText(1), size);
    QCOMPARE(V().StatusBar1->PanelText(3), QStringLiteral("kept"));
    // Clicking a subfolder's point draws that folder's chart: nothing of the old one stays
    // beside the new folder's total.
    Form->ChartPieMouseMove(index);
    Form->ChartPieClickSeries(index);
    QCOMPARE(V().StatusBar1->PanelText(0), subfolder ? QString() : label);
    QCOMPARE(V().StatusBar1->PanelText(1), subfolder ? QString() : size);
    QCOMPARE(V().StatusBar1->PanelText(2) != total, subfolder);
  }

  void hoverInASharedSlice() {
    // In the root the 5 GiB folder leaves the others slivers that share slices; a shared slice
    // names the point under the pointer, not only its first.
    Select({});
    const std::vector<int>& first = Chart()->PieSliceFirst();
    QVERIFY(first.size() < Points().size());
    QCOMPARE(Pie()->slices().size(), qsizetype(first.size()));
    QChart* chart = Chart()->chart();
    const QRectF plot = chart->plotArea();
    const double radius = 0.95 * std::min(plot.width(), plot.height()) / 2 * Pie()->pieSize();
    std::vector<std::pair<int, QPointF>> met;  // points in the order a clockwise turn meets them
    for (int step = 0; step < 200000; ++step) {
      const double angle = 2 * M_PI * step / 200000;
      const QPointF inChart = plot.center() + QPointF(std::sin(angle), -std::cos(angle)) * radius;
      const QPointF at = Chart()->viewportTransform().map(chart->mapToScene(inChart));
      const int point = Chart()->SegmentAt(at);
      QVERIFY(point >= 0);
      if (met.empty() || met.back().first != point) met.emplace_back(point, at);
    }
    QVERIFY(met.size() > first.size());
    const auto inside = std::find_if(met.begin(), met.end(), [&](const std::pair<int, QPointF>& m) {
      return !std::binary_search(first.begin(), first.end(), m.first);
    });
    QVERIFY(inside != met.end());
    // In the points' order round the turn; slivers near the top are found from both sides of
    // it, so the turn may start a little past the first point.
    int wraps = 0;
    for (size_t i = 1; i < met.size(); ++i) wraps += met[i - 1].first > met[i].first ? 1 : 0;
    QVERIFY(wraps <= 1);
    Mouse(QEvent::MouseMove, inside->second);
    QCOMPARE(V().StatusBar1->PanelText(0), QString::fromStdString(Points()[static_cast<size_t>(inside->first)].Label));
  }
  void thinPointsCanBeHoveredAndClicked_data() { ChartKinds(); }
  void thinPointsCanBeHoveredAndClicked() {
    // Beside 5 GiB of files, a folder of 10 bytes is drawn far under a pixel thin, yet the
    // pointer finds it a few pixels off.
    QFETCH(int, type);
    V().RadioGroupChartType->SetItemIndex(type);
    Select({"e5GiB"});
    QCOMPARE(Labels(Points()), (QStringList{"(files)", "inner"}));
    QChart* chart = Chart()->chart();
    const QRectF plot = chart->plotArea();
    QPointF inChart;
    if (type == 0) {
      // 2 pixels clockwise of the sliver's middle, which ends the turn, near the rim.
      const double radius = std::min(plot.width(), plot.height()) / 2 * Pie()->pieSize();
      const double angle = 2 / radius;
      inChart = plot.center() + QPointF(std::sin(angle), -std::cos(angle)) * (radius - 2);
    } else {
      const QPointF base = chart->mapToPosition(type == 1 ? QPointF(0, 1) : QPointF(1, 0), Series(type));
      inChart = base + (type == 1 ? QPointF(3, 0) : QPointF(0, -3));
    }
    const QPoint near = Chart()->viewportTransform().map(chart->mapToScene(inChart)).toPoint();
    QTest::mouseMove(Chart()->viewport(), near);
    QTRY_COMPARE(V().StatusBar1->PanelText(0), QStringLiteral("inner"));
    QTest::mouseClick(Chart()->viewport(), Qt::LeftButton, {}, near);
    QTRY_COMPARE(Form->CurrentPath(), Root() + "/e5GiB/inner");
  }

  void keyboardRedrawsOnceItSettles() {
    QTreeWidget* tree = V().TreeViewDirectories;
    Select({});
    Item({})->setExpanded(true);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(Item({})).center());
    QSignalSpy drawn(Pie(), &QPieSeries::added);
    // Held down: four steps, one redraw, for the item the keys stopped at.
    for (int i = 0; i < 4; ++i) QTest::keyClick(tree, Qt::Key_Down);
    QTreeWidgetItem* reached = tree->currentItem();
    QVERIFY(Item({})->indexOfChild(reached) >= 3);
    QVERIFY(drawn.wait());
    QCOMPARE(Form->CurrentPath(), FullPath(*ItemNode(reached)));
    QCOMPARE(drawn.count(), 1);
    QCOMPARE(V().StatusBar1->PanelText(2),
             QString::fromStdString(FormatSize(SizeOf(*ItemNode(reached), TMeasure::Apparent))));
    // Backspace and Alt+Up are "Up", at once.
    QTest::keyClick(tree, Qt::Key_Backspace);
    QCOMPARE(Shown(), Item({}));
    QCOMPARE(Form->CurrentPath(), FullPath(*ItemNode(Item({}))));
    QTest::keyClick(tree, Qt::Key_Up, Qt::AltModifier);
    QVERIFY(Form->CurrentPath().empty());
    QCOMPARE(Shown(), MyComputer());
  }

  void keyboardBringsADeepFolderIntoView() {
    // Rows scroll into view by themselves; a deep folder's name lay beside the view, to the right.
    QTreeWidget* tree = V().TreeViewDirectories;
    QScrollBar* sideways = tree->horizontalScrollBar();
    Select({"many", "m00"});
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(Item({"many", "m00"})).center());
    QTest::keyClick(tree, Qt::Key_Asterisk);  // opens every level below
    for (int i = 0; i < 14; ++i) QTest::keyClick(tree, Qt::Key_Down);
    QTreeWidgetItem* deepest = tree->currentItem();
    QCOMPARE(deepest->text(0), QStringLiteral("level"));
    QCOMPARE(deepest->childCount(), 0);
    QVERIFY(sideways->value() > 0);
    const int left = tree->visualItemRect(deepest).left();
    QVERIFY(left >= 0);
    QVERIFY(left + tree->fontMetrics().horizontalAdvance(deepest->text(0)) <= tree->viewport()->width());
    // Back at the top, the view returns to its left edge; "Up" brings its folder into view too.
    QTest::keyClick(tree, Qt::Key_Home);
    QCOMPARE(sideways->value(), 0);
    tree->setCurrentItem(deepest);
    sideways->setValue(0);
    QTest::keyClick(tree, Qt::Key_Backspace);
    QCOMPARE(Shown(), deepest->parent());
    QVERIFY(sideways->value() > 0);
    QVERIFY(tree->visualItemRect(deepest->parent()).left() >= 0);
    // Left and Right on a deep folder (closing, opening, moving): the view stays on the name of
    // the folder the keys reach.
    tree->setCurrentItem(deepest->parent());
    for (Qt::Key key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Left, Qt::Key_Left, Qt::Key_Right}) {
      QTest::keyClick(tree, key);
      QCoreApplication::processEvents();
      const int at = tree->visualItemRect(tree->currentItem()).left();
      QVERIFY2(at >= 0 && at + tree->indentation() < tree->viewport()->width(), qPrintable(QString::number(at)));
    }
  }

  void segmentAtMatchesTheDrawing_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("folder");
    QTest::newRow("Pie") << 0 << QStringList{"Photos"};
    QTest::newRow("Pie, shared slices") << 0 << QStringList{};
    QTest::newRow("Horiz Bar") << 1 << QStringList{"Photos"};
    QTest::newRow("Vert Bar") << 2 << QStringList{"Photos"};
  }
  void segmentAtMatchesTheDrawing() {
    // Where the chart says a point lies, the point's colour is drawn; elsewhere none is.
    QFETCH(int, type);
    QFETCH(QStringList, folder);
    V().RadioGroupChartType->SetItemIndex(type);
    Select(folder);
    const QImage image = Chart()->viewport()->grab().toImage();
    QCOMPARE(image.size(), Chart()->viewport()->size());
    const std::vector<int>& first = Chart()->PieSliceFirst();
    auto colourOf = [&](int point) -> QColor {
      if (type != 0) return Qt::red;
      const auto slice = std::upper_bound(first.begin(), first.end(), point) - first.begin() - 1;
      return Pie()->slices()[slice]->brush().color();
    };
    QList<QColor> drawn;
    for (int i = 0; i < static_cast<int>(Points().size()); ++i) drawn << colourOf(i);
    // Drawn under 8 pixels across, at the pie's rim or along the bars' axis.
    double total = 0, largest = 0;
    for (const TChartPoint& p : Points()) {
      total += static_cast<double>(p.Value);
      largest = std::max(largest, static_cast<double>(p.Value));
    }
    const QRectF plot = Chart()->chart()->plotArea();
    const double pieTurn = M_PI * std::min(plot.width(), plot.height()) * Pie()->pieSize();
    const double barLength = type == 1 ? plot.width() : plot.height();
    auto Thin = [&](int point) {
      const double value = static_cast<double>(Points()[static_cast<size_t>(point)].Value);
      return type == 0 ? value / total * pieTurn < 8 : value / largest * barLength < 8;
    };
    int inside = 0;
    int outside = 0;
    for (int y = 3; y < image.height() - 3; y += 3)
      for (int x = 3; x < image.width() - 3; x += 3) {
        const QPoint p(x, y);
        const int point = Chart()->SegmentAt(p);
        bool clear = true;  // the same answer all around: no edge, border or label nearby
        for (QPoint d : {QPoint(3, 0), QPoint(-3, 0), QPoint(0, 3), QPoint(0, -3)})
          clear = clear && Chart()->SegmentAt(p + d) == point;
        if (!clear) continue;
        const QColor pixel = image.pixelColor(p);
        if (point >= 0 && Thin(point)) continue;  // answers beside its sliver too
        if (point >= 0) {
          QVERIFY2(pixel == colourOf(point), qPrintable(QStringLiteral("point %1 at %2,%3 is %4")
                                                            .arg(point).arg(x).arg(y).arg(pixel.name())));
          ++inside;
        } else {
          QVERIFY2(!drawn.contains(pixel), qPrintable(QStringLiteral("nothing at %1,%2 is %3").arg(x).arg(y).arg(pixel.name())));
          ++outside;
        }
      }
    QVERIFY(inside > 100);
    QVERIFY(outside > 100);
  }

  void clicksOnPointsThatAreNoSubfolder() {
    auto unchanged = [&](QTreeWidgetItem* item, const std::string& dir) {
      QCOMPARE(V().SelectedItem(), item);
      QCOMPARE(Form->CurrentPath(), dir);
    };
    for (int type : {0, 1, 2}) {
      V().RadioGroupChartType->SetItemIndex(type);
      // The folder's own files and the combined point are no subfolders.
      Select({"many"});
      Form->ChartPieClickSeries(PointIndex("(files)", false));
      unchanged(Item({"many"}), Root() + "/many");
      Form->ChartPieClickSeries(PointIndex("(other: 3 dirs)", false));
      unchanged(Item({"many"}), Root() + "/many");
      // No such point.
      Form->ChartPieClickSeries(99);
      Form->ChartPieClickSeries(-1);
      unchanged(Item({"many"}), Root() + "/many");
      // Off every bar or slice, nothing is reported.
      Mouse(QEvent::MouseButtonPress, QPoint(3, Chart()->viewport()->height() / 2));
      Mouse(QEvent::MouseButtonRelease, QPoint(3, Chart()->viewport()->height() / 2));
      QCoreApplication::processEvents();
      unchanged(Item({"many"}), Root() + "/many");
    }
  }

  // Subfolders whose shortened labels are equal each have their own point; the chart reports a
  // click after its own mouse handling.
  void clicksByLabelOrByTheChart() {
    V().RadioGroupChartType->SetItemIndex(1);
    ScanSettings.combineother = 0;
    Select({});
    const int first = PointIndex(TwinLabel);
    Form->ChartPieClickSeries(first);
    const QString one = V().SelectedItem()->text(0);
    Select({});
    Form->ChartPieClickSeries(first + 1);
    const QString two = V().SelectedItem()->text(0);
    QVERIFY(one != two);
    QVERIFY((QStringList{one, two}).contains(Twin1));
    QVERIFY((QStringList{one, two}).contains(Twin2));
    // The subfolder named "(files)" is a subfolder all the same.
    Select({});
    Form->ChartPieClickSeries(PointIndex("(files)", true));
    QCOMPARE(Form->CurrentPath(), Root() + "/(files)");
    // A name of exactly 28 characters is drawn whole.
    Select({});
    QVERIFY(PointIndex(Exactly28) >= 0);

    V().RadioGroupChartType->SetItemIndex(2);
    Select({"Photos"});
    // Handled after the chart's own mouse handling, whose bar the redraw deletes.
    Mouse(QEvent::MouseButtonPress, PositionOf(PointIndex("Garden")));
    QCOMPARE(Shown(), Item({"Photos"}));
    QTRY_COMPARE(Shown(), Item({"Photos", "Garden"}));
    QCOMPARE(Labels(Points()), QStringList{"(files)"});

    V().RadioGroupChartType->SetItemIndex(0);
    Select({"Photos"});
    Mouse(QEvent::MouseButtonPress, PositionOf(PointIndex("Scans")));
    QTRY_COMPARE(Shown(), Item({"Photos", "Scans"}));

    // A click overtaken by a redraw is dropped: its index belonged to the old chart.
    Select({"Photos"});
    Mouse(QEvent::MouseButtonPress, PositionOf(PointIndex("Scans")));
    Select({"many"});
    QCoreApplication::processEvents();
    QCOMPARE(Shown(), Item({"many"}));
  }

  void unknownChartTypeDrawsThePie() {
    Select({"Photos"});
    ScanSettings.charttype = -1;
    Form->TreeViewDirectoriesClick();
    int horizontal = 7;
    QVERIFY(Form->GetChartSeries(horizontal) == nullptr);
    QCOMPARE(horizontal, 7);
    QCOMPARE(Pie()->count(), 9);
    Mouse(QEvent::MouseMove, PositionOf(PointIndex("Family")));
    QCOMPARE(V().StatusBar1->PanelText(0), QStringLiteral("Family"));
  }

  void aLoneSliceDrawsItsLabelAlone() {
    // Qt's arm of a whole turn's one slice showed as a tick after the label: outside the disc
    // the chart may draw the label's text and nothing else.
    Select({"e5GiB", "inner", "deeper"});
    QCOMPARE(Pie()->count(), 1);
    const auto& marks = Chart()->OwnMarks();
    QCOMPARE(marks.size(), size_t(1));
    QCOMPARE(marks[0]->text(), QStringLiteral("(files)"));
    const QImage image = Chart()->viewport()->grab().toImage();
    const double ratio = image.devicePixelRatio();
    QChart* chart = Chart()->chart();
    const QRectF plot = chart->plotArea();
    const double radius = std::min(plot.width(), plot.height()) / 2 * Pie()->pieSize();
    const QPointF centre = Chart()->mapFromScene(chart->mapToScene(plot.center()));
    const QRectF label = QRectF(Chart()->mapFromScene(marks[0]->sceneBoundingRect()).boundingRect()).adjusted(-1, -1, 1, 1);
    const QRgb background = image.pixel(1, 1);
    int inked = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        if (image.pixel(x, y) == background) continue;
        const QPointF at(x / ratio, y / ratio);
        if (std::hypot(at.x() - centre.x(), at.y() - centre.y()) <= radius + 2.5) continue;  // its border and smoothing
        QVERIFY2(label.contains(at), qPrintable(QStringLiteral("ink at %1,%2").arg(at.x()).arg(at.y())));
        ++inked;
      }
    QVERIFY(inked > 0);  // the label itself is drawn
    // Centred under the pie, clear of it.
    QVERIFY(std::abs(label.center().x() - centre.x()) < 2);
    QVERIFY(label.top() > centre.y() + radius);
  }

  void aSliceOfNothingIsLeftOut() {
    // A point of 0 bytes between two others drew as a bare line from the centre; bars keep it.
    TChartView view;
    view.resize(450, 314);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.ShowPoints({{"_a", 100, 0}, {"zero", 0, 1}, {"b", 100, 2}}, TChartView::KindPie);
    int horizontal = 0;
    auto* pie = static_cast<QPieSeries*>(view.SeriesOf(TChartView::KindPie, horizontal));
    QCOMPARE(pie->slices().size(), 3);
    QCOMPARE(pie->slices()[1]->value(), 0.0);
    QCOMPARE(pie->slices()[1]->pen().style(), Qt::NoPen);
    QStringList marks;
    for (const QGraphicsSimpleTextItem* mark : view.OwnMarks()) marks << mark->text();
    QCOMPARE(marks, (QStringList{"_a", "b"}));
    view.ShowPoints({{"_a", 100, 0}, {"zero", 0, 1}, {"b", 100, 2}}, TChartView::KindVerticalBars);
    QCOMPARE(view.OwnMarks().size(), size_t(3));
    // Thousands of bars: neighbours share one, drawn as the longest; every point is still there.
    std::vector<TChartPoint> many;
    for (int i = 0; i < 5000; ++i) many.push_back({"d" + std::to_string(i), i == 4321 ? 99999u : 1u, i});
    view.ShowPoints(many, TChartView::KindHorizontalBars);
    auto* bars = static_cast<QAbstractBarSeries*>(view.SeriesOf(TChartView::KindHorizontalBars, horizontal));
    QCOMPARE(bars->barSets().size(), 1);
    QCOMPARE(bars->barSets().front()->count(), 2048);
    QCOMPARE(view.Points().size(), size_t(5000));
    marks.clear();
    for (const QGraphicsSimpleTextItem* mark : view.OwnMarks()) marks << mark->text();
    QVERIFY2(marks.contains(QStringLiteral("d4321")), qPrintable(marks.join(' ')));
  }

  void namesShowAsTypedAndKeepTheirBytes() {
    // Markup in names is text, in the slice labels as in the status bar.
    Select({"markup"});
    QCOMPARE(Pie()->slices().size(), 2);
    QCOMPARE(Chart()->OwnMarks().size(), size_t(2));
    QCOMPARE(Chart()->OwnMarks()[0]->text(), QStringLiteral("<b>bold"));
    QCOMPARE(Chart()->OwnMarks()[1]->text(), QStringLiteral("a&amp;b"));
    // A Latin-1 name (not UTF-8) beside a Hangul one and an accented UTF-8 one: the points are
    // the names' bytes, in the order of the bytes, whatever the tree items show.
    test::TempTree names;
    names.File("own", 10);
    names.File("a\xe9/f", 3000);
    names.File("a\xec\x95\x88/f", 2000);
    names.File("A\xc3\xa9/f", 1000);
    names.File("b/f", 500);
    test::TFakeDesktop desktop;
    TForm1 form({"ostrel", names.Root()}, desktop);
    QTRY_COMPARE_WITH_TIMEOUT(test::View(form).TreeViewDirectories->topLevelItemCount(), 1, 15000);
    QTreeWidgetItem* item = test::View(form).TreeViewDirectories->topLevelItem(0)->child(0);
    test::View(form).TreeViewDirectories->setCurrentItem(item);
    form.TreeViewDirectoriesClick();

    const std::vector<TChartPoint>& drawn = form.findChild<TChartView*>(QStringLiteral("ChartPie"))->Points();
    QList<QByteArray> labels;
    for (const TChartPoint& p : drawn) labels << QByteArray::fromStdString(p.Label);
    QCOMPARE(labels, (QList<QByteArray>{"(files)", "A\xc3\xa9", "a\xe9", "a\xec\x95\x88", "b"}));
    QList<double> values;
    for (const TChartPoint& p : drawn) values << static_cast<double>(p.Value);
    QCOMPARE(values, (QList<double>{10, 1000, 3000, 2000, 500}));
    // Each subfolder's point still leads to its own item, whose text decodes the name.
    for (const TChartPoint& p : drawn) {
      if (p.Child < 0) continue;
      QTreeWidgetItem* child = item->child(p.Child);
      QCOMPARE(QByteArray(ItemNode(child)->Name), QByteArray::fromStdString(p.Label));
      QCOMPARE(child->text(0), QFile::decodeName(QByteArray::fromStdString(p.Label)));
    }
    // Decoded only to be shown: the Latin-1 byte shows as a replacement character.
    form.ChartPieMouseMove(2);
    QCOMPARE(test::View(form).StatusBar1->PanelText(0), QFile::decodeName("a\xe9"));
    QCOMPARE(test::View(form).StatusBar1->PanelText(0), QStringLiteral("a\uFFFD"));
  }

 private:
  QTreeWidgetItem* Item(const QStringList& path) const {
    QTreeWidgetItem* item = RootItem();
    for (const QString& name : path) item = test::ChildNamed(item, name);
    return item;
  }

  void Select(const QStringList& path) {
    QTreeWidgetItem* item = Item(path);
    QVERIFY(item);
    V().TreeViewDirectories->setCurrentItem(item);
    Form->TreeViewDirectoriesClick();
    QCOMPARE(Shown(), item);
    QCoreApplication::processEvents();  // the chart's own layout
  }

  int PointIndex(const QString& label, bool subfolder = true) const {
    const std::vector<TChartPoint>& points = Points();
    for (size_t i = 0; i < points.size(); ++i)
      if (QString::fromStdString(points[i].Label) == label && (points[i].Child >= 0) == subfolder)
        return static_cast<int>(i);
    return -1;
  }

  TChartView* Chart() const { return Form->findChild<TChartView*>(QStringLiteral("ChartPie")); }
  const std::vector<TChartPoint>& Points() const { return Chart()->Points(); }
  QTreeWidgetItem* Shown() const { return V().SelectedItem(); }
  QAbstractSeries* Series(int kind) const {
    int horizontal = 0;
    return Chart()->SeriesOf(kind, horizontal);
  }
  QPieSeries* Pie() const { return static_cast<QPieSeries*>(Series(0)); }
  // A position in the chart's viewport where `point` is drawn, clear of its edges; (-1, -1)
  // when there is none.
  QPoint PositionOf(int point, QPoint after = QPoint(-1, -1)) const {
    const QSize size = Chart()->viewport()->size();
    for (int y = 2; y < size.height() - 2; y += 2)
      for (int x = 2; x < size.width() - 2; x += 2) {
        const QPoint p(x, y);
        if (y < after.y() || (y == after.y() && x <= after.x())) continue;
        bool inside = true;
        for (QPoint d : {QPoint(2, 0), QPoint(-2, 0), QPoint(0, 2), QPoint(0, -2), QPoint(0, 0)})
          inside = inside && Chart()->SegmentAt(p + d) == point;
        if (inside) return p;
      }
    return QPoint(-1, -1);
  }

  void Mouse(QEvent::Type type, QPointF pos) {
    QWidget* viewport = Chart()->viewport();
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, viewport->mapToGlobal(pos), button,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
  }

  std::string Root() const { return Tree->Root(); }

  std::unique_ptr<test::TempTree> Tree;
};

OSTREL_MAINWIN_TEST_MAIN(TestFmainBrowse, TApplication)
#include "test_fmain_browse.moc"
