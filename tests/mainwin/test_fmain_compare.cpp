// The window's own kept scans: each finished walk appears in the cache folder (written beside
// the GUI thread) and reads back as the scan shown, each root apart, and nothing is kept once
// the Preferences box is cleared.
//
// Comparing the scan shown with an earlier one: a real folder scanned, changed (one folder
// grown, one shrunk, one new, files added beside them) and scanned again; the earlier scan taken
// from the kept scans or from a file, read while the window goes on; the tree's marks, tooltips
// and status bar say what changed by how much, the chart breaks down the growth, and ending the
// comparison brings back the exact chart and look of before.
#include <QCheckBox>
#include <QListWidget>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <tuple>

#include "controls/elidedlabel.h"
#include "dialogs/comparedialog.h"
#include "mainwin/folderitem.h"
#include "mainwin/treemapview.h"
#include "mainwin_support.h"
#include "scan/scansettings.h"
#include "scan/treejob.h"
#include "scanfile/history.h"
#include "scanfile/importscan.h"

using namespace ostrel;

namespace {

constexpr int Timeout = 15000;

// What the comparison line says: a comparison shown, or an earlier scan being read.
bool LineSays(const TForm1& form, const char* start) {
  const auto* line = form.findChild<QLabel*>(QStringLiteral("LabelCompare"));
  return line->isVisible() && line->text().startsWith(QLatin1String(start));
}
bool Comparing(const TForm1& form) { return LineSays(form, "Changes since "); }
bool Reading(const TForm1& form) { return LineSays(form, "Reading the scan of "); }

// How many descriptors of this process are open on `path`.
int OpenOn(const std::string& path) {
  int open = 0;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    if (std::filesystem::read_symlink(fd.path(), error) == path) ++open;
  }
  return open;
}

size_t KeptOf(const std::string& root) { return ListKeptScans(ScanHistoryFolder(), HistoryKey(root)).size(); }

bool SamePoints(const std::vector<TChartPoint>& a, const std::vector<TChartPoint>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].Label != b[i].Label || a[i].Value != b[i].Value || a[i].Child != b[i].Child) return false;
  return true;
}

QTreeWidgetItem* Child(QTreeWidgetItem* item, const char* name) { return test::ChildNamed(item, QLatin1String(name)); }

}  // namespace

using test::Tip;
using test::WaitForScans;

class TestFmainCompare : public test::TFormTest {
  Q_OBJECT

 private slots:
  void init() {
    StartCase();
    // Apparent sizes: the numbers below are the files' lengths, whatever the file system.
    Store->Open()->setValue("apparentsize", 1);
    Tree = std::make_unique<test::TempTree>();
    Tree->Write("r/own.txt", std::string(2000, 'o'));
    Tree->Write("r/grow/f", std::string(10000, 'g'));
    Tree->Write("r/shrink/f1", std::string(50000, 's'));
    Tree->Write("r/shrink/f2", std::string(50000, 's'));
    Tree->Write("r/same/f", std::string(3000, 'x'));
    Tree->Write("r/gone/f", std::string(4000, 'x'));
    Root = Tree->Path("r");
  }
  void cleanup() { EndCase(); }

  // Each walk is kept once the window is idle: it reads back to the shown totals and says the
  // walk was complete; a scan of another root is kept apart. Cleared, the Preferences box stores
  // 0 and the next walk leaves nothing; checked again, walks are kept.
  void walksAreKeptUnlessTurnedOff() {
    // The folder comes from the environment the test set, never the user's own.
    QCOMPARE(QDir(QFile::decodeName(QByteArray::fromStdString(ScanHistoryFolder()))).absolutePath(),
             QDir(qEnvironmentVariable("XDG_CACHE_HOME")).absoluteFilePath(QStringLiteral("Harwen/OSTREL")));
    QVERIFY(ScanAtStart());
    QVERIFY(Form->Keeper());
    QTRY_COMPARE_WITH_TIMEOUT(KeptOf(Root), size_t(1), Timeout);
    const TKeptScan kept = ListKeptScans(ScanHistoryFolder(), HistoryKey(Root))[0];
    QVERIFY(kept.Complete);
    TImportedScan read;
    QCOMPARE(ReadScanFile(kept.Path, read), std::string());
    const TTreeJob* walk = Form->AttachedScan();
    // The walk shown was handed over (that a kept scan carries all of it is test_history's).
    QCOMPARE(read.Result.Root->TotalSize, walk->Outcome().Root->TotalSize);
    QCOMPARE(Form->Keeper()->LastError(), std::string());
    QVERIFY(Desktop.Boxes.empty());

    const std::string other = Tree->Path("r/grow");
    QVERIFY(ScanAtStart(other + "/"));
    QTRY_COMPARE_WITH_TIMEOUT(KeptOf(other), size_t(1), Timeout);
    QCOMPARE(KeptOf(Root), size_t(1));
    test::AnswerPreferences(Desktop, [](TFormPreferences& prefs) {
      QTest::mouseClick(prefs.CheckBoxKeepHistory, Qt::LeftButton);
      QTest::mouseClick(prefs.ButtonOk, Qt::LeftButton);
    });
    V().Preferences1->trigger();
    QCOMPARE(ScanSettings.keephistory, 0);
    Form->close();  // saves the settings, which the next window reads
    QVERIFY(ScanAtStart(other));
    QCOMPARE(ScanSettings.keephistory, 0);
    // Nothing was handed over: there is nothing to wait for.
    QVERIFY(!Form->Keeper());
    QCOMPARE(KeptOf(other), size_t(1));
    V().Preferences1->trigger();
    QCOMPARE(ScanSettings.keephistory, 1);
    Form->NewScanClick();  // argument 1 again
    QTRY_COMPARE_WITH_TIMEOUT(KeptOf(other), size_t(2), Timeout);
  }

  // Two walks of the folder, kept. The earlier picked from the listing; End Comparison (the
  // button) takes every mark off and draws the chart exactly as before. A scan is never listed
  // against itself, only the others, the newest before it chosen; lines that would read alike
  // say which scan is which. "Another scan file..." takes a file saved by hand; the menu item
  // ends that comparison.
  void keptOrOtherScansComparedThenEnded() {
    QVERIFY(ScanAtStart());
    QTRY_COMPARE_WITH_TIMEOUT(KeptOf(Root), size_t(1), Timeout);
    QVERIFY(ChangeAndScanAgain());
    QTRY_COMPARE_WITH_TIMEOUT(KeptOf(Root), size_t(2), Timeout);
    const std::vector<TKeptScan> kept = ListKeptScans(ScanHistoryFolder(), HistoryKey(Root));

    ClickItem(NewRootItem());
    const std::vector<TChartPoint> before = V().ChartPie->Points();
    const QString growTipBefore = Tip(Child(NewRootItem(), "grow"));
    QStringList listed;
    int preselected = -2;
    Desktop.AnswerDialog = [&](QDialog& dialog) {
      auto* form = qobject_cast<TFormCompare*>(&dialog);
      if (!form) return 0;
      for (int i = 0; i < form->ListScans->count(); ++i) listed << form->ListScans->item(i)->text();
      preselected = form->ListScans->currentRow();
      QTest::mouseClick(form->ButtonOk, Qt::LeftButton);
      return dialog.result();
    };
    auto* compare = Form->findChild<QAction*>(QStringLiteral("CompareWithEarlierScan1"));
    auto* end = Form->findChild<QAction*>(QStringLiteral("EndComparison1"));
    QVERIFY(compare && end);
    QVERIFY(!end->isEnabled());
    compare->trigger();
    QVERIFY(Desktop.Boxes.empty());
    // The scan compared is not offered (it would say "Nothing changed"): the earlier one alone,
    // chosen already, with its scanned total (119000 bytes), not its file's size.
    const QString first = QDateTime::fromMSecsSinceEpoch(kept[1].Time / 1000, Qt::UTC)
                              .toLocalTime()
                              .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QCOMPARE(listed, QStringList{first + QStringLiteral("   116.2 KB   complete")});
    QCOMPARE(preselected, 0);
    QTRY_VERIFY_WITH_TIMEOUT(Comparing(*Form), Timeout);
    QVERIFY(end->isEnabled());
    auto* label = Form->findChild<QLabel*>(QStringLiteral("LabelCompare"));
    QCOMPARE(label->text(), QStringLiteral("Changes since ") + first);
    CheckMarks();
    CheckGrowth();

    ClickItem(NewRootItem());
    QVERIFY(!SamePoints(V().ChartPie->Points(), before));
    auto* button = Form->findChild<QPushButton*>(QStringLiteral("ButtonEndComparison"));
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(!label->isVisible() && !end->isEnabled());
    QVERIFY(SamePoints(V().ChartPie->Points(), before));
    QVERIFY(Form->findChild<QLabel*>(QStringLiteral("LabelLost"))->isHidden());
    QVERIFY(Form->findChild<QLabel*>(QStringLiteral("LabelNoGrowth"))->isHidden());
    QCOMPARE(Tip(Child(NewRootItem(), "grow")), growTipBefore);
    for (const char* name : {"grow", "shrink", "new"}) {
      QVERIFY(Child(NewRootItem(), name)->icon(0).isNull());
      QVERIFY(!Child(NewRootItem(), name)->data(0, Qt::ForegroundRole).isValid());
    }
    QVERIFY(!Child(NewRootItem(), "gone"));
    std::vector<QStringList> lists;
    std::vector<int> chosen;
    Desktop.AnswerDialog = [&](QDialog& dialog) {
      auto* form = qobject_cast<TFormCompare*>(&dialog);
      if (!form) return 0;
      lists.emplace_back();
      for (int i = 0; i < form->ListScans->count(); ++i) lists.back() << form->ListScans->item(i)->text();
      chosen.push_back(form->ListScans->currentRow());
      return 0;
    };
    // The first scan: only the later one is there, and it is not chosen for the user.
    ClickItem(TreeView()->topLevelItem(0)->child(0));
    compare->trigger();
    // The same scan opened from its kept file: the file is left out likewise.
    Form->OpenScanFile(kept[0].Path);
    QVERIFY(WaitForScans(*Form, 3));
    compare->trigger();
    QCOMPARE(lists.size(), size_t(2));
    QCOMPARE(lists[0].size(), 1);
    QVERIFY2(lists[0][0].contains(QStringLiteral("294.9 KB")), qPrintable(lists[0][0]));
    QCOMPARE(chosen[0], -1);
    QCOMPARE(lists[1].size(), 1);
    QVERIFY2(lists[1][0].contains(QStringLiteral("116.2 KB")), qPrintable(lists[1][0]));
    QCOMPARE(chosen[1], 0);

    // Three scans of one second and one total: the millisecond, or the microsecond, tells them apart.
    const int64_t second = kept[0].Time / 1000000 * 1000000;
    std::vector<TKeptScan> alike(3, kept[0]);
    alike[0].Time = second + 250000;
    alike[1].Time = second + 125002;
    alike[2].Time = second + 125001;
    const QString at = QDateTime::fromMSecsSinceEpoch(second / 1000, Qt::UTC).toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QString rest = QStringLiteral("   294.9 KB   complete");
    QCOMPARE(KeptScanTexts(alike), (QStringList{at + QStringLiteral(".250") + rest, at + QStringLiteral(".125002") + rest,
                                                at + QStringLiteral(".125001") + rest}));
    alike[2].Complete = false;
    QCOMPARE(KeptScanTexts({alike[1], alike[2]}), (QStringList{at + rest, at + QStringLiteral("   294.9 KB   incomplete")}));

    // A file saved by hand.
    const std::string saved = Tree->Path("before.json");
    QCOMPARE(Form->SaveScanFile(TreeView()->topLevelItem(0), saved), std::string());
    ClickItem(NewRootItem());
    Desktop.OpenFileNames = {QString::fromStdString(saved)};
    Desktop.AnswerDialog = [](QDialog& dialog) {
      auto* form = qobject_cast<TFormCompare*>(&dialog);
      if (!form) return 0;
      QTest::mouseClick(form->ButtonOtherFile, Qt::LeftButton);
      return dialog.result();
    };
    compare->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(Comparing(*Form), Timeout);
    QVERIFY(Desktop.Boxes.empty());
    CheckMarks();
    end->trigger();
    QVERIFY(!Comparing(*Form));
    QVERIFY(!Tip(Child(NewRootItem(), "grow")).contains(QStringLiteral("Then")));
  }

  // A comparison says which side is incomplete (how a stopped scan's own item and panel say so
  // is the stopped load's, in test_fmain_scanfile).
  void incompleteScansSaySo() {
    QVERIFY(ScanAtStart());
    QCOMPARE(TreeView()->topLevelItem(0)->icon(0).isNull(), true);
    const std::string whole = Tree->Path("whole.json");
    QCOMPARE(Form->SaveScanFile(TreeView()->topLevelItem(0), whole), std::string());
    const std::string part = Tree->Write("part.json", R"([1,2,{"state":"stopped"},[{"name":")" + Root +
                                                          R"("},[{"name":"grow"}],[{"name":"same"},{"name":"f","asize":3000}]]])");
    Form->OpenScanFile(part);
    QVERIFY(WaitForScans(*Form, 2));
    QTreeWidgetItem* stopped = TreeView()->topLevelItem(1);

    const QDateTime when = QDateTime::fromSecsSinceEpoch(1800000000);
    const QString since = when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    auto* label = Form->findChild<QLabel*>(QStringLiteral("LabelCompare"));
    ClickItem(stopped->child(0));
    Form->CompareWithScanFile(whole, when);
    QTRY_VERIFY_WITH_TIMEOUT(Comparing(*Form), Timeout);
    QCOMPARE(label->text(), QStringLiteral("Changes since ") + since + QStringLiteral(" (this scan is incomplete)"));
    ClickItem(TreeView()->topLevelItem(0)->child(0));
    Form->CompareWithScanFile(part, when);
    QTRY_VERIFY_WITH_TIMEOUT(Comparing(*Form), Timeout);
    QCOMPARE(label->text(), QStringLiteral("Changes since ") + since + QStringLiteral(" (the earlier scan is incomplete)"));
    ClickItem(Child(TreeView()->topLevelItem(0)->child(0), "same"));
    auto* nothing = Form->findChild<QLabel*>(QStringLiteral("LabelNoGrowth"));
    QVERIFY(nothing->isVisible());
    QVERIFY2(nothing->text().contains(QStringLiteral("(the earlier scan is incomplete)")), qPrintable(nothing->text()));
  }

  // A file that is no scan, and a window with no scan selected, get a box and no comparison.
  void unreadableFileOrNoScanIsSaidInABox() {
    QVERIFY(ScanAtStart());
    const std::string bad = Tree->Write("bad.json", "{ not a scan");
    Form->CompareWithScanFile(bad, QDateTime::currentDateTime());
    QTRY_COMPARE_WITH_TIMEOUT(Desktop.Boxes.size(), size_t(1), Timeout);
    QVERIFY(Desktop.Boxes[0].Text.contains(QStringLiteral("could not be compared")));
    QVERIFY(!Comparing(*Form) && !Reading(*Form));
    QVERIFY(Form->findChild<QFrame*>(QStringLiteral("PanelCompare"))->isHidden());
    // A scan stopped before its root is a whole file, but nothing to compare with.
    const std::string rootless =
        Tree->Write("rootless.json", R"([1,2,{"progname":"ostrel-scan","progver":"1.3","state":"stopped"},[{"name":""}]])");
    Form->CompareWithScanFile(rootless, QDateTime::currentDateTime());
    QTRY_COMPARE_WITH_TIMEOUT(Desktop.Boxes.size(), size_t(2), Timeout);
    QVERIFY(Desktop.Boxes[1].Text.contains(QStringLiteral("holds no scan to compare with")));
    QVERIFY(!Comparing(*Form) && !Reading(*Form));

    OpenWindow().findChild<QAction*>(QStringLiteral("CompareWithEarlierScan1"))->trigger();
    QCOMPARE(Desktop.Boxes.size(), size_t(3));
    QVERIFY(Desktop.Boxes[2].Text.contains(QStringLiteral("no scan to compare")));
    QVERIFY(!Comparing(*Form));
  }

  // While a file is read the window goes on; a second request replaces the first, End
  // Comparison stops one, and neither's end shows a box or a comparison; nor does the window's.
  void readingIsReplacedOrEndedWithoutABox() {
    QVERIFY(ScanAtStart());
    Form->ScanFilesRegularOnly = false;  // fed through pipes at the test's pace
    const std::string saved = Tree->Path("before.json");
    QCOMPARE(Form->SaveScanFile(TreeView()->topLevelItem(0), saved), std::string());
    TPipe first(Tree->Path("first"));
    TPipe second(Tree->Path("second"));
    QVERIFY(first.Fd >= 0 && second.Fd >= 0);
    auto* label = Form->findChild<QLabel*>(QStringLiteral("LabelCompare"));

    Form->CompareWithScanFile(first.Path, QDateTime::currentDateTime());
    QVERIFY(Reading(*Form) && !Comparing(*Form));
    Form->CompareWithScanFile(saved, QDateTime::currentDateTime());
    QTRY_VERIFY_WITH_TIMEOUT(Comparing(*Form), Timeout);

    // Ended while it reads: the comparison shown goes too.
    Form->CompareWithScanFile(second.Path, QDateTime::currentDateTime());
    QVERIFY(!Comparing(*Form) && Reading(*Form));
    Form->EndComparison1Click();
    QVERIFY(!Reading(*Form) && !label->isVisible());

    // Both earlier readings end on their stop, though their pipes stay open and silent: only the
    // test's own end of each is left.
    QTRY_COMPARE_WITH_TIMEOUT(OpenOn(first.Path) + OpenOn(second.Path), 2, Timeout);
    QVERIFY(Desktop.Boxes.empty());
    QVERIFY(!Comparing(*Form) && !label->isVisible());
    first.Close();
    second.Close();

    // Closing the window while an earlier scan is read, or while its end is on its way to the
    // window, neither crashes nor hangs.
    TPipe pipe(Tree->Path("slow"));
    QVERIFY(pipe.Fd >= 0);
    Form->CompareWithScanFile(pipe.Path, QDateTime::currentDateTime());
    const char start[] = R"([1,2,{"state":"complete"},[{"name":"r"},)";
    QVERIFY(write(pipe.Fd, start, sizeof start - 1) == static_cast<ssize_t>(sizeof start - 1));
    QTRY_VERIFY_WITH_TIMEOUT(pipe.Drained(), Timeout);
    QVERIFY(Reading(*Form));
    // The reading meets the end of the file and reports while the window goes.
    pipe.Close();
    Form.reset();
    QVERIFY(Desktop.Boxes.empty());
  }

 private:
  // A window that scans `root` at start; true once it shows the scan.
  bool ScanAtStart(const std::string& root = {}) {
    OpenWindow({"ostrel", root.empty() ? Root : root}).ScanDriveSource = [top = Tree->Root()] { return test::OneDrive(top); };
    Form->show();
    return WaitForScans(*Form, 1);
  }
  // Changes the folder and scans it again; true once the second scan shows.
  bool ChangeAndScanAgain() {
    Tree->Write("r/grow/g2", std::string(200000, 'g'));
    std::filesystem::remove(Tree->Path("r/shrink/f2"));
    std::filesystem::remove_all(Tree->Path("r/gone"));
    Tree->Write("r/new/n", std::string(30000, 'n'));
    Tree->Write("r/own2.txt", std::string(7000, 'o'));
    Form->NewScanClick();
    return WaitForScans(*Form, 2);
  }
  // The root folder's item of the newest scan.
  QTreeWidgetItem* NewRootItem() const { return TreeView()->topLevelItem(1)->child(0); }
  void ClickItem(QTreeWidgetItem* item) { test::ClickRow(TreeView(), item); }
  // The grown, shrunk, new and unchanged folders (grow 10000 bytes then, 210000 now; shrink
  // 100000, 50000; same 3000; new 30000) are marked and their tooltips give the changes.
  void CheckMarks() {
    QTreeWidgetItem* root = NewRootItem();
    const std::tuple<const char*, const char*, const char*> tips[] = {
        {"grow", "+195.3 KB", "9.8 KB"}, {"shrink", "-48.8 KB", "97.7 KB"}, {"same", "0 B", "2.9 KB"}};
    for (const auto& [name, change, then] : tips) {
      QVERIFY(Child(root, name));
      QVERIFY2(Tip(Child(root, name)).contains(QStringLiteral("Change: ") + change), qPrintable(Tip(Child(root, name))));
      QVERIFY(Tip(Child(root, name)).contains(QStringLiteral("Then: ") + then));
    }
    QTreeWidgetItem* grow = Child(root, "grow");
    QTreeWidgetItem* shrink = Child(root, "shrink");
    QTreeWidgetItem* same = Child(root, "same");
    QTreeWidgetItem* added = Child(root, "new");
    QVERIFY(added);
    QVERIFY(Tip(added).contains(QStringLiteral("Then: not there (new)")));
    // Told apart at a glance: each kind its own colour, the changed ones an icon.
    const QColor grew = grow->data(0, Qt::ForegroundRole).value<QColor>();
    const QColor shrank = shrink->data(0, Qt::ForegroundRole).value<QColor>();
    const QColor fresh = added->data(0, Qt::ForegroundRole).value<QColor>();
    QVERIFY(grew.isValid() && shrank.isValid() && fresh.isValid());
    QVERIFY(grew != shrank && grew != fresh && shrank != fresh);
    for (QTreeWidgetItem* item : {grow, shrink, added}) QVERIFY(!item->icon(0).isNull());
    // The unchanged one an icon of the same size that draws nothing, so that its name lines up.
    const QSize side(16, 16);
    QCOMPARE(same->icon(0).actualSize(side), grow->icon(0).actualSize(side));
    const QImage blank = same->icon(0).pixmap(side).toImage();
    bool empty = !blank.isNull();
    for (int y = 0; y < blank.height() && empty; ++y)
      for (int x = 0; x < blank.width() && empty; ++x) empty = qAlpha(blank.pixel(x, y)) == 0;
    QVERIFY(empty);
    // A folder that is gone is shown after the others, marked, and can be neither selected
    // nor entered.
    QTreeWidgetItem* gone = Child(root, "gone");
    QVERIFY(gone);
    QCOMPARE(root->indexOfChild(gone), root->childCount() - 1);
    QVERIFY(!gone->icon(0).isNull());
    QCOMPARE(gone->flags(), Qt::NoItemFlags);
    QVERIFY2(Tip(gone).contains(QStringLiteral("Now: gone")), qPrintable(Tip(gone)));
    QVERIFY2(Tip(gone).contains(QStringLiteral("Change: -3.9 KB")), qPrintable(Tip(gone)));
    QTreeWidgetItem* selected = V().SelectedItem();
    ClickItem(gone);
    QCOMPARE(V().SelectedItem(), selected);
    // The earlier scan's own items are not compared.
    QTreeWidgetItem* firstGrow = Child(TreeView()->topLevelItem(0)->child(0), "grow");
    QVERIFY(!Tip(firstGrow).contains(QStringLiteral("Then")));
    QVERIFY(firstGrow->icon(0).isNull());
    // The status bar gives the selected folder's change and size then (its size now is the
    // third panel's, as always).
    ClickItem(grow);
    QCOMPARE(V().StatusBar1->PanelText(0), QStringLiteral("+195.3 KB, was 9.8 KB"));
    ClickItem(added);
    QCOMPARE(V().StatusBar1->PanelText(0), QStringLiteral("+29.3 KB, new"));
    ClickItem(same);
    QCOMPARE(V().StatusBar1->PanelText(0), QStringLiteral("No change, 2.9 KB"));
  }

  // The chart of the compared root is its growth, in every kind: the root's own files grew by
  // own2.txt, grow by g2, new is all new; shrink lost f2 and is listed apart. A click goes into
  // a grown folder, Up comes back; folders where nothing grew say so.
  void CheckGrowth() {
    ClickItem(NewRootItem());
    QTreeWidgetItem* root = NewRootItem();
    const int grow = root->indexOfChild(Child(root, "grow"));
    const int added = root->indexOfChild(Child(root, "new"));
    const std::vector<TChartPoint> growth = {{"(files)", 7000, PointFiles}, {"grow", 200000, grow}, {"new", 30000, added}};
    for (int kind : {1, 2, 0}) {
      V().RadioGroupChartType->SetItemIndex(kind);
      QVERIFY2(SamePoints(V().ChartPie->Points(), growth), qPrintable(QString::number(kind)));
    }
    // The treemap colours the changes, areas by the sizes now: grown and new warm, shrunk cold.
    V().RadioGroupChartType->SetItemIndex(3);
    auto* map = Form->findChild<TTreemapView*>(QStringLiteral("Treemap"));
    QTRY_VERIFY(map->Ready());
    const DirNode* grown = ItemNode(Child(root, "grow"));
    const DirNode* shrunk = ItemNode(Child(root, "shrink"));
    const DirNode* g2 = grown->FirstChild;
    while (g2 && std::string(g2->Name) != "g2") g2 = g2->NextSibling;
    QVERIFY(g2);
    uint64_t then = 0;
    QCOMPARE(map->ChangeOf(grown, &then), TTreemapView::ChangeGrew);
    QCOMPARE(then, uint64_t(10000));
    QCOMPARE(map->ChangeOf(shrunk, &then), TTreemapView::ChangeShrank);
    QCOMPARE(then, uint64_t(100000));
    QCOMPARE(map->ChangeOf(ItemNode(Child(root, "same"))), TTreemapView::ChangeSame);
    QCOMPARE(map->ChangeOf(ItemNode(Child(root, "new"))), TTreemapView::ChangeNew);
    QCOMPARE(map->ChangeOf(g2), TTreemapView::ChangeNew);
    const QImage shown = map->grab().toImage();
    const QColor warm = shown.pixelColor(map->RectOf(g2).center());
    const QRect shrunkRect = map->RectOf(shrunk);
    const QColor cold = shown.pixelColor(shrunkRect.left(), shrunkRect.center().y());
    QVERIFY(warm.red() > 2 * warm.blue() && cold.blue() > 2 * cold.red());
    V().RadioGroupChartType->SetItemIndex(0);
    auto* lost = Form->findChild<TElidedLabel*>(QStringLiteral("LabelLost"));
    auto* nothing = Form->findChild<QLabel*>(QStringLiteral("LabelNoGrowth"));
    QVERIFY(lost->isVisible() && !nothing->isVisible());
    QCOMPARE(lost->text(), QStringLiteral("Less: shrink -48.8 KB, gone -3.9 KB (gone)"));
    QCOMPARE(lost->toolTip(), QStringLiteral("shrink: 97.7 KB then, 48.8 KB now\ngone: 3.9 KB then, gone now"));
    Form->ChartPieMouseMove(1);
    QCOMPARE(V().StatusBar1->PanelText(0), QStringLiteral("grow (was 9.8 KB)"));
    QCOMPARE(V().StatusBar1->PanelText(1), QStringLiteral("+195.3 KB"));
    Form->ChartPieMouseMove(0);
    QCOMPARE(V().StatusBar1->PanelText(0), QStringLiteral("(files) (was 2.0 KB)"));
    Form->ChartPieClickSeries(1);
    QCOMPARE(V().SelectedItem(), root->child(grow));
    QVERIFY(SamePoints(V().ChartPie->Points(), {{"(files)", 200000, PointFiles}}));
    QVERIFY(!lost->isVisible() && !nothing->isVisible());
    Form->ButtonUpClick();
    QVERIFY(SamePoints(V().ChartPie->Points(), growth));
    // Nothing grew: no points, a message instead; what shrank still listed.
    ClickItem(Child(root, "shrink"));
    QVERIFY(V().ChartPie->Points().empty());
    QVERIFY(nothing->isVisible());
    QVERIFY(nothing->text().startsWith(QStringLiteral("Nothing grew here since ")));
    QCOMPARE(lost->text(), QStringLiteral("Less: (files) -48.8 KB"));
    ClickItem(Child(root, "same"));
    QVERIFY(nothing->text().startsWith(QStringLiteral("Nothing changed here since ")));
    QVERIFY(!lost->isVisible());
    // The earlier scan's own items are not compared: their ordinary chart.
    ClickItem(TreeView()->topLevelItem(0)->child(0));
    QVERIFY(!nothing->isVisible() && !lost->isVisible());
    QCOMPARE(V().ChartPie->Points().front().Label, std::string("(files)"));
    QCOMPARE(V().ChartPie->Points().front().Value, 2000.0);
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

  std::unique_ptr<test::TempTree> Tree;
  std::string Root;
};

OSTREL_MAINWIN_TEST_MAIN(TestFmainCompare, TApplication)
#include "test_fmain_compare.moc"
