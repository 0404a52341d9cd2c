// Scans that cannot count everything plainly, as the window shows them: folders and files that
// could not be read (the fourth status-bar panel, marks and tooltips in the tree), a folder met
// twice through a bind mount, memory running out, and deep trees: 3,000 folders opened all
// the way down in the tree view (which lays out open levels recursively) and closed, and
// 300,000 closed with the window on an 8 MiB stack. The deep trees come from scan files (a
// walk's depth is the engine's to prove).
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QPieSeries>
#include <QTextDocumentFragment>
#include <algorithm>
#include <cstring>
#include <functional>

#include "chart/breakdown.h"
#include "mainwin/livescans.h"
#include "mainwin/folderitem.h"
#include "mainwin_support.h"
#include "tests/support/permissions.h"
#include "scan/scansettings.h"
#include "tests/support/walk.h"

using namespace ostrel;

namespace {

// An item's tooltip as the user reads it.
QString TipText(const QTreeWidgetItem* item) {
  return QTextDocumentFragment::fromHtml(item->toolTip(0)).toPlainText().replace(QChar::Nbsp, QLatin1Char(' '));
}

constexpr int CompletionTimeout = 60000;
// Set in the child process that runs a case inside a mount namespace of its own.
constexpr const char* NamespaceVariable = "OSTREL_TEST_IN_MOUNT_NAMESPACE";
// Set in the child process that opens the deep scan file: the file's name.
constexpr const char* DeepFileVariable = "OSTREL_TEST_DEEP_SCAN_FILE";

// A scan file of a chain of `levels` folders, the root "/deep" and every other one "d".
QByteArray DeepScanFile(int levels) {
  QByteArray json = "[1,2,{},[{\"name\":\"/deep\",\"dsize\":4096}";
  for (int i = 1; i < levels; ++i) json += ",[{\"name\":\"d\",\"dsize\":4096}";
  return json + QByteArray(levels, ']') + ']';
}

// Runs this program's case `slot` again as a child, through `wrapper` when given, with
// `variable` set to `value` and `setUp` run in the child first: what it wrote, or a null text
// when it could not be started; `clean` when it ended normally with 0.
QString RunCase(const char* slot, const char* variable, const QString& value, bool& clean, QStringList wrapper = {},
                std::function<void()> setUp = {}) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(variable, value);
  env.insert("QTEST_DISABLE_STACK_DUMP", "1");  // a crash is told by its exit alone
  QProcess child;
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::MergedChannels);
  if (setUp) child.setChildProcessModifier(setUp);
  wrapper << QCoreApplication::applicationFilePath() << slot;
  child.start(wrapper.takeFirst(), wrapper);
  if (!child.waitForStarted()) return {};
  clean = child.waitForFinished(2 * CompletionTimeout) && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
  return QString::fromLocal8Bit(child.readAll());
}

// The deepest item below `item`, following first children, and how many levels down it is.
std::pair<QTreeWidgetItem*, int> Deepest(QTreeWidgetItem* item) {
  int levels = 0;
  while (item->childCount() > 0) {
    item = item->child(0);
    ++levels;
  }
  return {item, levels};
}

}  // namespace

class TestFmainTrees : public test::TFormTest {
  Q_OBJECT

 private slots:
  void init() {
    StartCase();
    Tree = std::make_unique<test::TempTree>();
  }

  void cleanup() {
    EndCase();
    Tree.reset();
  }

  void unreadableFoldersAndFiles() {
    Tree->File("open/f", 10);
    Tree->File("locked/inside/f", 10);
    // Listed but not searchable: its file cannot be examined, its subfolder not opened.
    Tree->File("listonly/a", 10);
    Tree->Dir("listonly/sub");
    QVERIFY(chmod(Tree->Path("locked").c_str(), 0) == 0);
    QVERIFY(chmod(Tree->Path("listonly").c_str(), 0444) == 0);
    const test::TPermissionsEnforced enforced;
    if (!enforced.Enforced(Tree->Path("locked")))
      QSKIP("permission bits do not stop this process (root, and its capabilities could not be lowered)");

    OpenPastWizard();
    QVERIFY(Scan(Tree->Root()));
    TStatusBar* bar = V().StatusBar1;
    QCOMPARE(bar->PanelText(3), QStringLiteral("2 folders and 1 file could not be read"));
    // Each by its path and the system's reason, in the tree's order.
    const QString root = QString::fromStdString(Tree->Root());
    QCOMPARE(QTextDocumentFragment::fromHtml(bar->Panel(3)->toolTip()).toPlainText(),
             root + "/listonly/a: Permission denied\n" + root + "/listonly/sub: Permission denied\n" + root +
                 "/locked: Permission denied");
    // The unreadable folders are marked, by their names as ever.
    QTreeWidgetItem* listonly = test::ChildNamed(RootItem(), "listonly");
    for (QTreeWidgetItem* item : {test::ChildNamed(RootItem(), "locked"), test::ChildNamed(listonly, "sub")}) {
      QVERIFY(item);
      QCOMPARE(TipText(item), item->text(0) + "\n" + QString::fromStdString(FormatSize(SizeOf(*ItemNode(item), ShownMeasure()))) +
                                  "\nCould not be read: Permission denied");
      QVERIFY(!item->icon(0).isNull());
    }
    for (QTreeWidgetItem* item : {listonly, test::ChildNamed(RootItem(), "open")})
      QVERIFY(!TipText(item).contains("Could not") && item->icon(0).isNull());
    // Hovering writes its own panels only.
    V().TreeViewDirectories->setCurrentItem(RootItem());
    Form->TreeViewDirectoriesClick();
    Form->ChartPieMouseMove(0);
    QVERIFY(!bar->PanelText(0).isEmpty());
    QCOMPARE(bar->PanelText(3), QStringLiteral("2 folders and 1 file could not be read"));

    // A new scan starts with the panel empty, and a clean one leaves it so.
    Form->StartScan(Tree->Path("open"));
    QVERIFY(bar->PanelText(3).isEmpty() && bar->Panel(3)->toolTip().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(V().TreeViewDirectories->topLevelItemCount(), 2, CompletionTimeout);
    QCOMPARE(bar->PanelText(3), QString());
  }

  // Runs itself again in a private mount namespace: the bind mount dies with that process, and
  // no tree is ever removed through it.
  void repeatedFolderMarked() {
    if (qEnvironmentVariableIsEmpty(NamespaceVariable)) {
      bool clean = false;
      const QString output =
          RunCase("repeatedFolderMarked", NamespaceVariable, "1", clean, {"unshare", "-m", "--propagation", "private"});
      if (output.isNull()) QSKIP("unshare could not be run");
      if (!output.contains("TestFmainTrees::repeatedFolderMarked"))
        QSKIP(qPrintable("no mount namespace of its own: " + output.trimmed()));
      if (output.contains("SKIP   : TestFmainTrees::repeatedFolderMarked"))
        QSKIP(qPrintable(output.section("SKIP   : ", 1).section('\n', 0, 1).trimmed()));
      QVERIFY2(clean, qPrintable(output));
      return;
    }

    Tree->File("a_original/f", 10);
    Tree->Dir("z_bound");
    if (mount(Tree->Path("a_original").c_str(), Tree->Path("z_bound").c_str(), nullptr, MS_BIND, nullptr) != 0)
      QSKIP(qPrintable(QStringLiteral("bind mount refused: ") + std::strerror(errno)));
    struct TUnmount {
      std::string Path;
      ~TUnmount() { umount2(Path.c_str(), MNT_DETACH); }
    } unmount{Tree->Path("z_bound")};

    OpenPastWizard();
    QVERIFY(Scan(Tree->Root()));
    QTreeWidgetItem* original = test::ChildNamed(RootItem(), "a_original");
    QTreeWidgetItem* bound = test::ChildNamed(RootItem(), "z_bound");
    QVERIFY(original && bound);
    QVERIFY(TipText(bound).endsWith("\nSame folder as " + QString::fromStdString(Tree->Path("a_original")) +
                                    ": its contents are counted there"));
    QVERIFY(!bound->icon(0).isNull());
    QVERIFY(!TipText(original).contains("Same folder"));
    QVERIFY(original->icon(0).isNull());
    // Counted once: the second name is an empty folder of no size, and no read problem.
    QCOMPARE(SizeOf(*ItemNode(bound), TMeasure::DiskUsage), 0.0);
    QCOMPARE(SizeOf(*ItemNode(bound), TMeasure::Apparent), 0.0);
    QCOMPARE(V().StatusBar1->PanelText(3), QString());
    V().TreeViewDirectories->expandAll();
  }

  void outOfMemoryShowsWhatWasScanned() {
    // Long names at many levels: more than one arena block in all.
    Tree->Chain("chain", 1500, std::string(200, 'n'));
    OpenPastWizard();
    Form->ScanMemoryLimit = 256 * 1024;
    QVERIFY(Scan(Tree->Root()));
    const TTreeJob* scan = Form->AttachedScan();
    QCOMPARE(scan->Outcome().Ending, TScanEnd::OutOfMemory);
    const int folders = scan->FoldersSoFar();
    QVERIFY(folders > 2 && folders < 1502);
    QCOMPARE(Desktop.BoxTexts(), QStringList{QStringLiteral("Error|Out of memory: the scan stopped after %1 folders.").arg(folders)});
    QVERIFY(!Desktop.Boxes[0].Question);
    QCOMPARE(Desktop.Boxes[0].Owner, Form.get());
    // The tree holds every folder walked, and the window is idle again.
    QCOMPARE(Deepest(RootItem()).second + 1, folders);
    QVERIFY(V().ButtonStop->isHidden() && V().LabelStandBy->isHidden());
    QTRY_VERIFY(!ScanThreadsRunning());
  }

  void deepTreeOpensAndCloses() {
    constexpr int Levels = 3000;
    const std::string file = Tree->Write("deep.json", DeepScanFile(Levels).toStdString());
    OpenPastWizard();
    Form->OpenScanFile(file);
    QTRY_COMPARE_WITH_TIMEOUT(V().TreeViewDirectories->topLevelItemCount(), 1, CompletionTimeout);
    const auto [item, levels] = Deepest(RootItem());
    QCOMPARE(levels, Levels - 1);
    std::string deepest = "/deep";
    for (int i = 1; i < Levels; ++i) deepest += "/d";
    // A click on the chart's point for the deepest folder opens every level above it at once.
    V().TreeViewDirectories->setCurrentItem(item->parent());
    Form->TreeViewDirectoriesClick();
    const std::vector<TChartPoint>& points = Form->findChild<TChartView*>(QStringLiteral("ChartPie"))->Points();
    const auto sub = std::find_if(points.begin(), points.end(), [](const TChartPoint& p) { return p.Child == 0; });
    QVERIFY(sub != points.end());
    Form->ChartPieClickSeries(static_cast<int>(sub - points.begin()));
    QCOMPARE(V().SelectedItem(), item);
    QCOMPARE(Form->CurrentPath(), deepest);
    // Opening the top again lays out every open level below it.
    V().TreeViewDirectories->collapseItem(V().TreeViewDirectories->topLevelItem(0));
    V().ButtonUp->click();
    QCOMPARE(V().SelectedItem(), item->parent());
    QVERIFY(V().TreeViewDirectories->topLevelItem(0)->isExpanded());
    // Closing frees the items with the window.
    Form.reset();
  }

  // Deeper than any walk here makes in reasonable time, so from a scan file: shown as deep as it
  // is, then freed with the window in a child whose stack is held to 8 MiB, where the toolkit's
  // own freeing, a call per level, ends in SIGSEGV.
  void deepScanFileClosesOnASmallStack() {
    constexpr int Levels = 300000;
    const QByteArray file = qgetenv(DeepFileVariable);
    if (file.isEmpty()) {
      bool clean = false;
      const QString path = QString::fromStdString(Tree->Write("deep.json", DeepScanFile(Levels).toStdString()));
      const QString output = RunCase("deepScanFileClosesOnASmallStack", DeepFileVariable, path, clean, {}, [] {
        const rlimit limit{rlim_t{8} << 20, rlim_t{8} << 20};
        setrlimit(RLIMIT_STACK, &limit);
      });
      QVERIFY2(clean && output.contains("PASS   : TestFmainTrees::deepScanFileClosesOnASmallStack"), qPrintable(output));
      return;
    }

    rlimit stack{};
    QVERIFY(getrlimit(RLIMIT_STACK, &stack) == 0 && stack.rlim_cur == rlim_t{8} << 20);
    OpenWindow({"ostrel", "-f", file.toStdString()});
    QTRY_COMPARE_WITH_TIMEOUT(V().TreeViewDirectories->topLevelItemCount(), 1, CompletionTimeout);
    QVERIFY2(Desktop.Boxes.empty(), qPrintable(Desktop.BoxTexts().join('\n')));
    QCOMPARE(Deepest(RootItem()).second, Levels - 1);
    Form.reset();
  }

  // A folder taken out of a shown scan and another walked afresh: the items, the chart and the
  // totals above follow at once, without a rescan of the whole.
  void changedTreeShowsAtOnce() {
    Tree->File("a/x/f", 10000);
    Tree->File("b/f", 5000);
    Tree->File("c/f", 3000);
    OpenPastWizard();
    ScanSettings.apparentsize = 1;  // sparse files: the sizes are exact
    QVERIFY(Scan(Tree->Root()));
    QTreeWidgetItem* root = RootItem();
    test::ClickItem(*Form, test::ChildNamed(test::ChildNamed(root, "a"), "x"));
    QCOMPARE(Form->TakeOutOfScan(ItemNode(test::ChildNamed(root, "a"))), TEditRefusal::None);
    // The selection was inside: its parent is selected and charted.
    QCOMPARE(V().SelectedItem(), root);
    QCOMPARE(test::TreeLines(V().TreeViewDirectories).mid(2), (QStringList{"    b", "    c"}));
    QCOMPARE(ItemNode(root)->ApparentSize, 8000u);
    QCOMPARE(test::PointTexts(*Form), (QStringList{"b=5000", "c=3000"}));

    Tree->File("b/new/g", 2000);
    const auto walk = test::Walk(Tree->Path("b"));
    QTreeWidgetItem* b = test::ChildNamed(root, "b");
    test::ClickItem(*Form, b);
    QCOMPARE(Form->PutRescanInScan(ItemNode(b), std::move(walk->Result)), TEditRefusal::None);
    QCOMPARE(test::ChildNamed(root, "b"), b);
    QCOMPARE(test::TreeLines(V().TreeViewDirectories).mid(2), (QStringList{"    b", "      new", "    c"}));
    QCOMPARE(test::PointTexts(*Form), (QStringList{"(files)=5000", "new=2000"}));
    QCOMPARE(ItemNode(root)->ApparentSize, 10000u);
    // A node of no shown scan is refused.
    QCOMPARE(Form->TakeOutOfScan(nullptr), TEditRefusal::NotInTree);
    ScanSettings.apparentsize = 0;
  }

 private:
  std::unique_ptr<test::TempTree> Tree;
};

OSTREL_MAINWIN_TEST_MAIN(TestFmainTrees, TApplication)
#include "test_fmain_trees.moc"
