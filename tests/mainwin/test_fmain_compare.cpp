// Comparing the scan shown with an earlier one: a real folder scanned, changed (one folder
// grown, one shrunk, one new, files added beside them) and scanned again; the earlier scan taken
// from the kept scans or from a file, read while the window goes on; the tree's marks, tooltips
// and status bar say what changed by how much, the chart breaks down the growth, and ending the
// comparison brings back the exact chart and look of before.
#include <QListWidget>
#include <QTreeWidget>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "controls/elidedlabel.h"
#include "mainwin/comparedialog.h"
#include "mainwin/fmain.h"
#include "mainwin/folderitem.h"
#include "mainwin_support.h"
#include "scan/scansettings.h"
#include "scan_support.h"
#include "scanfile/history.h"
#include "scanfile/importscan.h"
#include "tests/support/fixture.h"

using namespace ostrel;

namespace {

constexpr int Timeout = 15000;

bool Idle(const TForm1& form) { return test::View(form).ButtonStop->isHidden() && test::View(form).LabelStandBy->isHidden(); }

size_t KeptOf(const std::string& root) { return ListKeptScans(ScanHistoryFolder(), HistoryKey(root)).size(); }

QTreeWidgetItem* Child(QTreeWidgetItem* item, const char* name) {
  for (int i = 0; item && i < item->childCount(); ++i)
    if (item->child(i)->text(0) == QLatin1String(name)) return item->child(i);
  return nullptr;
}

QString Tip(QTreeWidgetItem* item) { return item->data(0, Qt::ToolTipRole).toString(); }

const DirNode* OldChild(const DirNode& folder, const char* name) {
  for (const DirNode* child = folder.FirstChild; child; child = child->NextSibling)
    if (child->Kind == NodeFolder && std::string(child->Name) == name) return child;
  return nullptr;
}

bool SamePoints(const std::vector<TChartPoint>& a, const std::vector<TChartPoint>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].Label != b[i].Label || a[i].Value != b[i].Value || a[i].Child != b[i].Child) return false;
  return true;
}

}  // namespace

class TestFmainCompare : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    Store = std::make_unique<test::TTempStore>();
    // Apparent sizes: the numbers below are the files' lengths, whatever the file system.
    Store->Open()->setValue("apparentsize", 1);
    Desktop = {};
    Tree = std::make_unique<test::TempTree>();
    Tree->Write("r/own.txt", std::string(2000, 'o'));
    Tree->Write("r/grow/f", std::string(10000, 'g'));
    Tree->Write("r/shrink/f1", std::string(50000, 's'));
    Tree->Write("r/shrink/f2", std::string(50000, 's'));
    Tree->Write("r/same/f", std::string(3000, 'x'));
    Tree->Write("r/gone/f", std::string(4000, 'x'));
    Root = Tree->Path("r");
  }
  void cleanup() { Form.reset(); }

  void keptScanComparedThenEnded();
  void anotherScanFileIsCompared();
  void unreadableFileOrNoScanIsSaidInABox();
  void readingIsReplacedOrEndedWithoutABox();
  void closingWhileReadingIsSafe();

 private:
  // A window that scans Root at start; true once it shows the scan.
  bool ScanAtStart() {
    Form = std::make_unique<TForm1>(std::vector<std::string>{"ostrel", Root}, Desktop);
    Form->ScanDriveSource = [top = Tree->Root()] { return test::OneDrive(top); };
    Form->show();
    return QTest::qWaitFor([&] { return Tree1()->topLevelItemCount() == 1 && Idle(*Form); }, Timeout);
  }
  // Changes the folder and scans it again; true once the second scan shows.
  bool ChangeAndScanAgain() {
    Tree->Write("r/grow/g2", std::string(200000, 'g'));
    std::filesystem::remove(Tree->Path("r/shrink/f2"));
    std::filesystem::remove_all(Tree->Path("r/gone"));
    Tree->Write("r/new/n", std::string(30000, 'n'));
    Tree->Write("r/own2.txt", std::string(7000, 'o'));
    Form->NewScanClick();
    return QTest::qWaitFor([&] { return Tree1()->topLevelItemCount() == 2 && Idle(*Form); }, Timeout);
  }
  QTreeWidget* Tree1() const { return test::View(*Form).TreeViewDirectories; }
  // The root folder's item of the newest scan.
  QTreeWidgetItem* NewRootItem() const { return Tree1()->topLevelItem(1)->child(0); }
  void ClickItem(QTreeWidgetItem* item) {
    Tree1()->scrollToItem(item);
    QTest::mouseClick(Tree1()->viewport(), Qt::LeftButton, {}, Tree1()->visualItemRect(item).center());
  }
  // The grown, shrunk, new and unchanged folders are marked and their tooltips give the
  // changes of totals read independently from `earlier`.
  void CheckMarks(const std::string& earlier) {
    TImportedScan old;
    QCOMPARE(ReadScanFile(earlier, old), std::string());
    QTreeWidgetItem* root = NewRootItem();
    const TMeasure measure = ShownMeasure();
    for (const char* name : {"grow", "shrink", "same"}) {
      QTreeWidgetItem* item = Child(root, name);
      QVERIFY(item);
      QCOMPARE(item->text(0), QLatin1String(name));
      const TByteChange change = ChangeOf(SizeOf(*OldChild(*old.Root, name), measure), SizeOf(*ItemNode(item), measure));
      QVERIFY2(Tip(item).contains(QStringLiteral("Change: ") + SignedSize(change)), qPrintable(Tip(item)));
      QVERIFY(Tip(item).contains(QStringLiteral("Then: ") +
                                 QString::fromStdString(FormatSize(SizeOf(*OldChild(*old.Root, name), measure)))));
    }
    QTreeWidgetItem* grow = Child(root, "grow");
    QTreeWidgetItem* shrink = Child(root, "shrink");
    QTreeWidgetItem* same = Child(root, "same");
    QTreeWidgetItem* added = Child(root, "new");
    QVERIFY(added);
    QVERIFY(Tip(grow).contains(QStringLiteral("Change: +")));
    QVERIFY(Tip(shrink).contains(QStringLiteral("Change: -")));
    QVERIFY(Tip(added).contains(QStringLiteral("Then: not there (new)")));
    // Told apart at a glance: each kind its own colour, the changed ones an icon.
    const QColor grew = grow->data(0, Qt::ForegroundRole).value<QColor>();
    const QColor shrank = shrink->data(0, Qt::ForegroundRole).value<QColor>();
    const QColor fresh = added->data(0, Qt::ForegroundRole).value<QColor>();
    QVERIFY(grew.isValid() && shrank.isValid() && fresh.isValid());
    QVERIFY(grew != shrank && grew != fresh && shrank != fresh);
    for (QTreeWidgetItem* item : {grow, shrink, added}) QVERIFY(!item->icon(0).isNull());
    QVERIFY(same->icon(0).isNull());
    // A folder that is gone is shown after the others, marked, and can be neither selected
    // nor entered.
    QTreeWidgetItem* gone = Child(root, "gone");
    QVERIFY(gone);
    QCOMPARE(root->indexOfChild(gone), root->childCount() - 1);
    QVERIFY(!gone->icon(0).isNull());
    QCOMPARE(gone->flags(), Qt::NoItemFlags);
    QVERIFY2(Tip(gone).contains(QStringLiteral("Now: gone")), qPrintable(Tip(gone)));
    QVERIFY2(Tip(gone).contains(QStringLiteral("Change: -3.9 KB")), qPrintable(Tip(gone)));
    QTreeWidgetItem* selected = test::View(*Form).SelectedItem();
    ClickItem(gone);
    QCOMPARE(test::View(*Form).SelectedItem(), selected);
    // The earlier scan's own items are not compared.
    QTreeWidgetItem* firstGrow = Child(Tree1()->topLevelItem(0)->child(0), "grow");
    QVERIFY(!Tip(firstGrow).contains(QStringLiteral("Then")));
    QVERIFY(firstGrow->icon(0).isNull());
    // The status bar gives the selected folder's change and size then (its size now is the
    // third panel's, as always).
    ClickItem(grow);
    const uint64_t then = SizeOf(*OldChild(*old.Root, "grow"), measure);
    QCOMPARE(test::View(*Form).StatusBar1->PanelText(0),
             SignedSize(ChangeOf(then, SizeOf(*ItemNode(grow), measure))) + QStringLiteral(", was ") +
                 QString::fromStdString(FormatSize(then)));
    ClickItem(added);
    QCOMPARE(test::View(*Form).StatusBar1->PanelText(0),
             SignedSize(ChangeOf(0, SizeOf(*ItemNode(added), measure))) + QStringLiteral(", new"));
  }

  // The chart of the compared root is its growth, in every kind: the root's own files grew by
  // own2.txt, grow by g2, new is all new; shrink lost f2 and is listed apart. A click goes into
  // a grown folder, Up comes back; folders where nothing grew say so.
  void CheckGrowth() {
    const test::TFormView view = test::View(*Form);
    ClickItem(NewRootItem());
    QTreeWidgetItem* root = NewRootItem();
    const int grow = root->indexOfChild(Child(root, "grow"));
    const int added = root->indexOfChild(Child(root, "new"));
    const std::vector<TChartPoint> growth = {{"(files)", 7000, PointFiles}, {"grow", 200000, grow}, {"new", 30000, added}};
    for (int kind : {1, 2, 0}) {
      view.RadioGroupChartType->SetItemIndex(kind);
      QVERIFY2(SamePoints(view.ChartPie->Points(), growth), qPrintable(QString::number(kind)));
    }
    auto* lost = Form->findChild<TElidedLabel*>(QStringLiteral("LabelLost"));
    auto* nothing = Form->findChild<QLabel*>(QStringLiteral("LabelNoGrowth"));
    QVERIFY(lost->isVisible() && !nothing->isVisible());
    QCOMPARE(lost->text(), QStringLiteral("Less: shrink -48.8 KB, gone -3.9 KB (gone)"));
    QCOMPARE(lost->toolTip(), QStringLiteral("shrink: 97.7 KB then, 48.8 KB now\ngone: 3.9 KB then, gone now"));
    Form->ChartPieMouseMove(1);
    QCOMPARE(view.StatusBar1->PanelText(0), QStringLiteral("grow (was 9.8 KB)"));
    QCOMPARE(view.StatusBar1->PanelText(1), QStringLiteral("+195.3 KB"));
    Form->ChartPieMouseMove(0);
    QCOMPARE(view.StatusBar1->PanelText(0), QStringLiteral("(files) (was 2.0 KB)"));
    Form->ChartPieClickSeries(1);
    QCOMPARE(view.SelectedItem(), root->child(grow));
    QVERIFY(SamePoints(view.ChartPie->Points(), {{"(files)", 200000, PointFiles}}));
    QVERIFY(!lost->isVisible() && !nothing->isVisible());
    Form->ButtonUpClick();
    QVERIFY(SamePoints(view.ChartPie->Points(), growth));
    // Nothing grew: no points, a message instead; what shrank still listed.
    ClickItem(Child(root, "shrink"));
    QVERIFY(view.ChartPie->Points().empty());
    QVERIFY(nothing->isVisible());
    QVERIFY(nothing->text().startsWith(QStringLiteral("Nothing grew here since ")));
    QCOMPARE(lost->text(), QStringLiteral("Less: (files) -48.8 KB"));
    ClickItem(Child(root, "same"));
    QVERIFY(nothing->text().startsWith(QStringLiteral("Nothing changed here since ")));
    QVERIFY(!lost->isVisible());
    // The earlier scan's own items are not compared: their ordinary chart.
    ClickItem(Tree1()->topLevelItem(0)->child(0));
    QVERIFY(!nothing->isVisible() && !lost->isVisible());
    QCOMPARE(view.ChartPie->Points().front().Label, std::string("(files)"));
    QCOMPARE(view.ChartPie->Points().front().Value, 2000.0);
  }
  // A named pipe that a reading opens and then waits on; `Fd` holds it open both ways, so
  // that neither side blocks in open.
  struct TPipe {
    explicit TPipe(const std::string& path) : Path(path) {
      if (mkfifo(path.c_str(), 0600) == 0) Fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    }
    ~TPipe() { Close(); }
    // True once the reader has taken all that was written.
    bool Drained() const {
      int left = 0;
      return ioctl(Fd, FIONREAD, &left) == 0 && left == 0;
    }
    void Close() {
      if (Fd >= 0) close(Fd);
      Fd = -1;
    }
    std::string Path;
    int Fd = -1;
  };

  std::unique_ptr<test::TTempStore> Store;
  test::TFakeDesktop Desktop;
  std::unique_ptr<test::TempTree> Tree;
  std::string Root;
  std::unique_ptr<TForm1> Form;
};

// The earlier of two kept scans picked from the listing; End Comparison (the button) takes
// every mark off and draws the chart exactly as before.
void TestFmainCompare::keptScanComparedThenEnded() {
  QVERIFY(ScanAtStart());
  QTRY_COMPARE_WITH_TIMEOUT(KeptOf(Root), size_t(1), Timeout);
  QVERIFY(ChangeAndScanAgain());
  QTRY_COMPARE_WITH_TIMEOUT(KeptOf(Root), size_t(2), Timeout);
  const std::vector<TKeptScan> kept = ListKeptScans(ScanHistoryFolder(), HistoryKey(Root));

  ClickItem(NewRootItem());
  const std::vector<TChartPoint> before = test::View(*Form).ChartPie->Points();
  const QString growTipBefore = Tip(Child(NewRootItem(), "grow"));
  QStringList listed;
  Desktop.AnswerDialog = [&](QDialog& dialog) {
    auto* form = qobject_cast<TFormCompare*>(&dialog);
    if (!form) return 0;
    for (int i = 0; i < form->ListScans->count(); ++i) listed << form->ListScans->item(i)->text();
    form->ListScans->setCurrentRow(1);  // the older one
    QTest::mouseClick(form->ButtonOk, Qt::LeftButton);
    return dialog.result();
  };
  auto* compare = Form->findChild<QAction*>(QStringLiteral("CompareWithEarlierScan1"));
  auto* end = Form->findChild<QAction*>(QStringLiteral("EndComparison1"));
  QVERIFY(compare && end);
  QVERIFY(!end->isEnabled());
  compare->trigger();
  QVERIFY(Desktop.Boxes.empty());
  QCOMPARE(listed.size(), 2);
  // The scanned totals, not the files' sizes: 302000 and 119000 bytes.
  QVERIFY2(listed[0].contains(QStringLiteral("294.9 KB   complete")), qPrintable(listed[0]));
  QVERIFY2(listed[1].contains(QStringLiteral("116.2 KB   complete")), qPrintable(listed[1]));
  QTRY_VERIFY_WITH_TIMEOUT(Form->Comparing(), Timeout);
  QVERIFY(end->isEnabled());
  auto* label = Form->findChild<QLabel*>(QStringLiteral("LabelCompare"));
  QVERIFY(label && label->isVisible());
  const QString since = QDateTime::fromMSecsSinceEpoch(kept[1].Time / 1000, Qt::UTC)
                            .toLocalTime()
                            .toString(QStringLiteral("yyyy-MM-dd HH:mm"));
  QCOMPARE(label->text(), QStringLiteral("Changes since ") + since);
  CheckMarks(kept[1].Path);
  CheckGrowth();

  ClickItem(NewRootItem());
  QVERIFY(!SamePoints(test::View(*Form).ChartPie->Points(), before));
  auto* button = Form->findChild<QPushButton*>(QStringLiteral("ButtonEndComparison"));
  QTest::mouseClick(button, Qt::LeftButton);
  QVERIFY(!Form->Comparing());
  QVERIFY(!label->isVisible());
  QVERIFY(!end->isEnabled());
  QVERIFY(SamePoints(test::View(*Form).ChartPie->Points(), before));
  QVERIFY(Form->findChild<QLabel*>(QStringLiteral("LabelLost"))->isHidden());
  QVERIFY(Form->findChild<QLabel*>(QStringLiteral("LabelNoGrowth"))->isHidden());
  QCOMPARE(Tip(Child(NewRootItem(), "grow")), growTipBefore);
  for (const char* name : {"grow", "shrink", "new"}) {
    QVERIFY(Child(NewRootItem(), name)->icon(0).isNull());
    QVERIFY(!Child(NewRootItem(), name)->data(0, Qt::ForegroundRole).isValid());
  }
  QVERIFY(!Child(NewRootItem(), "gone"));
}

// "Another scan file..." takes a file saved by hand; the menu item ends the comparison.
void TestFmainCompare::anotherScanFileIsCompared() {
  QVERIFY(ScanAtStart());
  QTemporaryDir dir;
  const std::string saved = dir.filePath(QStringLiteral("before.json")).toStdString();
  QCOMPARE(Form->SaveScanFile(Tree1()->topLevelItem(0), saved), std::string());
  QVERIFY(ChangeAndScanAgain());
  ClickItem(NewRootItem());
  Desktop.OpenFileNames = {QString::fromStdString(saved)};
  Desktop.AnswerDialog = [](QDialog& dialog) {
    auto* form = qobject_cast<TFormCompare*>(&dialog);
    if (!form) return 0;
    QTest::mouseClick(form->ButtonOtherFile, Qt::LeftButton);
    return dialog.result();
  };
  Form->findChild<QAction*>(QStringLiteral("CompareWithEarlierScan1"))->trigger();
  QTRY_VERIFY_WITH_TIMEOUT(Form->Comparing(), Timeout);
  QVERIFY(Desktop.Boxes.empty());
  CheckMarks(saved);
  Form->findChild<QAction*>(QStringLiteral("EndComparison1"))->trigger();
  QVERIFY(!Form->Comparing());
  QVERIFY(!Tip(Child(NewRootItem(), "grow")).contains(QStringLiteral("Then")));
}

// A file that is no scan, and a window with no scan selected, get a box and no comparison.
void TestFmainCompare::unreadableFileOrNoScanIsSaidInABox() {
  QVERIFY(ScanAtStart());
  const std::string bad = Tree->Write("bad.json", "{ not a scan");
  Form->CompareWithScanFile(bad, QDateTime::currentDateTime());
  QTRY_COMPARE_WITH_TIMEOUT(Desktop.Boxes.size(), size_t(1), Timeout);
  QVERIFY(Desktop.Boxes[0].Text.contains(QStringLiteral("could not be compared")));
  QVERIFY(!Form->Comparing() && !Form->ReadingComparison());
  QVERIFY(Form->findChild<QFrame*>(QStringLiteral("PanelCompare"))->isHidden());

  auto fresh = std::make_unique<TForm1>(std::vector<std::string>{"ostrel"}, Desktop);
  fresh->findChild<QAction*>(QStringLiteral("CompareWithEarlierScan1"))->trigger();
  QCOMPARE(Desktop.Boxes.size(), size_t(2));
  QVERIFY(Desktop.Boxes[1].Text.contains(QStringLiteral("no scan to compare")));
  QVERIFY(!fresh->Comparing());
}

// While a file is read the window goes on; a second request replaces the first, End
// Comparison stops one, and neither's end shows a box or a comparison.
void TestFmainCompare::readingIsReplacedOrEndedWithoutABox() {
  QVERIFY(ScanAtStart());
  QTemporaryDir dir;
  const std::string saved = dir.filePath(QStringLiteral("before.json")).toStdString();
  QCOMPARE(Form->SaveScanFile(Tree1()->topLevelItem(0), saved), std::string());
  TPipe first(dir.filePath(QStringLiteral("first")).toStdString());
  TPipe second(dir.filePath(QStringLiteral("second")).toStdString());
  QVERIFY(first.Fd >= 0 && second.Fd >= 0);
  auto* label = Form->findChild<QLabel*>(QStringLiteral("LabelCompare"));

  Form->CompareWithScanFile(first.Path, QDateTime::currentDateTime());
  QVERIFY(Form->ReadingComparison() && !Form->Comparing());
  QVERIFY(label->isVisible() && label->text().startsWith(QStringLiteral("Reading the scan of ")));
  Form->CompareWithScanFile(saved, QDateTime::currentDateTime());
  QTRY_VERIFY_WITH_TIMEOUT(Form->Comparing(), Timeout);
  QVERIFY(label->text().startsWith(QStringLiteral("Changes since ")));

  // Ended while it reads: the comparison shown goes too.
  Form->CompareWithScanFile(second.Path, QDateTime::currentDateTime());
  QVERIFY(!Form->Comparing() && Form->ReadingComparison());
  Form->EndComparison1Click();
  QVERIFY(!Form->ReadingComparison() && !label->isVisible());

  // Both earlier readings now end, one with a broken file, one with a whole scan.
  QVERIFY(write(first.Fd, "{ not a scan", 12) == 12);
  QTRY_VERIFY_WITH_TIMEOUT(first.Drained(), Timeout);
  first.Close();
  std::string whole;
  {
    QFile file(QString::fromStdString(saved));
    QVERIFY(file.open(QIODevice::ReadOnly));
    whole = file.readAll().toStdString();
  }
  QVERIFY(whole.size() < 60000);  // fits the pipe, so the write cannot block
  QVERIFY(write(second.Fd, whole.data(), whole.size()) == static_cast<ssize_t>(whole.size()));
  QTRY_VERIFY_WITH_TIMEOUT(second.Drained(), Timeout);
  second.Close();
  QTRY_COMPARE_WITH_TIMEOUT(Form->ComparisonReads(), size_t(0), Timeout);
  QVERIFY(Desktop.Boxes.empty());
  QVERIFY(!Form->Comparing() && !label->isVisible());
}

// Closing the window while an earlier scan is read, or while its end is on its way to the
// window, neither crashes nor hangs.
void TestFmainCompare::closingWhileReadingIsSafe() {
  QVERIFY(ScanAtStart());
  QTemporaryDir dir;
  TPipe pipe(dir.filePath(QStringLiteral("slow")).toStdString());
  QVERIFY(pipe.Fd >= 0);
  Form->CompareWithScanFile(pipe.Path, QDateTime::currentDateTime());
  const char start[] = R"([1,2,{"state":"complete"},[{"name":"r"},)";
  QVERIFY(write(pipe.Fd, start, sizeof start - 1) == static_cast<ssize_t>(sizeof start - 1));
  QTRY_VERIFY_WITH_TIMEOUT(pipe.Drained(), Timeout);
  QVERIFY(Form->ReadingComparison());
  // The reading meets the end of the file and reports while the window goes.
  pipe.Close();
  Form.reset();
  QVERIFY(Desktop.Boxes.empty());
}

OSTREL_MAINWIN_TEST_MAIN(TestFmainCompare, TApplication)
#include "test_fmain_compare.moc"
