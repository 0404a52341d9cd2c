// Comparing the scan shown with an earlier one: a real folder scanned, changed (one folder
// grown, one shrunk, one new) and scanned again; the earlier scan taken from the kept scans or
// from a file; the tree's marks, tooltips and status bar say what changed by how much, and
// ending the comparison brings back the exact chart and look of before.
#include <QListWidget>
#include <QTreeWidget>
#include <filesystem>
#include <memory>
#include <string>

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
    Desktop = {};
    Tree = std::make_unique<test::TempTree>();
    Tree->Write("r/own.txt", std::string(2000, 'o'));
    Tree->Write("r/grow/f", std::string(10000, 'g'));
    Tree->Write("r/shrink/f1", std::string(50000, 's'));
    Tree->Write("r/shrink/f2", std::string(50000, 's'));
    Tree->Write("r/same/f", std::string(3000, 'x'));
    Root = Tree->Path("r");
  }
  void cleanup() { Form.reset(); }

  void keptScanComparedThenEnded();
  void anotherScanFileIsCompared();
  void unreadableFileOrNoScanIsSaidInABox();

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
    Tree->Write("r/new/n", std::string(30000, 'n'));
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
      const double change = SizeOf(*ItemNode(item), measure) - SizeOf(*OldChild(*old.Root, name), measure);
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
    // The earlier scan's own items are not compared.
    QTreeWidgetItem* firstGrow = Child(Tree1()->topLevelItem(0)->child(0), "grow");
    QVERIFY(!Tip(firstGrow).contains(QStringLiteral("Then")));
    QVERIFY(firstGrow->icon(0).isNull());
    // The status bar gives the selected folder's change and size then (its size now is the
    // third panel's, as always).
    ClickItem(grow);
    const double then = SizeOf(*OldChild(*old.Root, "grow"), measure);
    QCOMPARE(test::View(*Form).StatusBar1->PanelText(0),
             SignedSize(SizeOf(*ItemNode(grow), measure) - then) + QStringLiteral(", was ") +
                 QString::fromStdString(FormatSize(then)));
    ClickItem(added);
    QCOMPARE(test::View(*Form).StatusBar1->PanelText(0),
             SignedSize(SizeOf(*ItemNode(added), measure)) + QStringLiteral(", new"));
  }

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
  QVERIFY(listed[0].contains(QStringLiteral("complete")));
  QVERIFY(Form->Comparing());
  QVERIFY(end->isEnabled());
  auto* label = Form->findChild<QLabel*>(QStringLiteral("LabelCompare"));
  QVERIFY(label && label->isVisible());
  const QString since = QDateTime::fromMSecsSinceEpoch(kept[1].Time / 1000, Qt::UTC)
                            .toLocalTime()
                            .toString(QStringLiteral("yyyy-MM-dd HH:mm"));
  QCOMPARE(label->text(), QStringLiteral("Changes since ") + since);
  CheckMarks(kept[1].Path);

  ClickItem(NewRootItem());
  auto* button = Form->findChild<QPushButton*>(QStringLiteral("ButtonEndComparison"));
  QTest::mouseClick(button, Qt::LeftButton);
  QVERIFY(!Form->Comparing());
  QVERIFY(!label->isVisible());
  QVERIFY(!end->isEnabled());
  QVERIFY(SamePoints(test::View(*Form).ChartPie->Points(), before));
  QCOMPARE(Tip(Child(NewRootItem(), "grow")), growTipBefore);
  for (const char* name : {"grow", "shrink", "new"}) {
    QVERIFY(Child(NewRootItem(), name)->icon(0).isNull());
    QVERIFY(!Child(NewRootItem(), name)->data(0, Qt::ForegroundRole).isValid());
  }
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
  QVERIFY(Desktop.Boxes.empty());
  QVERIFY(Form->Comparing());
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
  QCOMPARE(Desktop.Boxes.size(), size_t(1));
  QVERIFY(Desktop.Boxes[0].Text.contains(QStringLiteral("could not be compared")));
  QVERIFY(!Form->Comparing());

  auto fresh = std::make_unique<TForm1>(std::vector<std::string>{"ostrel"}, Desktop);
  fresh->findChild<QAction*>(QStringLiteral("CompareWithEarlierScan1"))->trigger();
  QCOMPARE(Desktop.Boxes.size(), size_t(2));
  QVERIFY(Desktop.Boxes[1].Text.contains(QStringLiteral("no scan to compare")));
  QVERIFY(!fresh->Comparing());
}

OSTREL_MAINWIN_TEST_MAIN(TestFmainCompare, TApplication)
#include "test_fmain_compare.moc"
