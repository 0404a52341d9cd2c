// The tree's columns and their sorting by the header, the files list below the chart, the find
// field above the tree and Refresh Folder, as the window shows them after a real walk.
#include <QCheckBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QTreeView>
#include <ctime>

#include "mainwin/fileslist.h"
#include "mainwin/folderitem.h"
#include "mainwin_support.h"
#include "scan/scansettings.h"
#include "tests/support/walk.h"

using namespace ostrel;

namespace {

constexpr int Timeout = 15000;

// The names of the files list's rows.
QStringList Names(const TFilesList* list) {
  QStringList names;
  const QAbstractItemModel* model = list->ListFiles->model();
  for (int row = 0; row < model->rowCount(); ++row) names << model->index(row, 0).data().toString();
  return names;
}

// The texts of the figures' columns of `item`.
QStringList Figures(const QTreeWidgetItem* item) {
  return {item->text(ColumnSize), item->text(ColumnShare), item->text(ColumnItems), item->text(ColumnModified)};
}

}  // namespace

class TestFmainFiles : public test::TFormTest {
  Q_OBJECT

 private slots:
  void initTestCase() { test::TrashInto(Tree); }
  void init() { StartCase(); }
  void cleanup() {
    EndCase();
    ScanSettings.apparentsize = 0;
  }

  // Sizes, shares, counts and times of two folders; a click on Size sorts largest first (the
  // collapsed root as it opens), a second smallest first, and the chart's points still name
  // their folders.
  void columnsAndSorting() {
    MakeForm(Build("cols"));
    QTreeWidgetItem* root = RootItem();
    QCOMPARE(Figures(test::ChildNamed(root, "beta")), (QStringList{"400.0 KB", "82.3 %", "2", "2023-11-14 22:13"}));
    QCOMPARE(Figures(test::ChildNamed(root, "gamma")), (QStringList{"71.0 KB", "14.6 %", "4", "2022-04-15 05:20"}));
    QCOMPARE(root->text(ColumnSize), QStringLiteral("486.0 KB"));

    QTreeWidget* tree = V().TreeViewDirectories;
    test::ClickItem(*Form, root);
    tree->collapseItem(root);
    ClickHeader(ColumnSize);
    QCOMPARE(Children(root), (QStringList{"alpha", "beta", "gamma"}));  // not in view: not sorted yet
    tree->expandItem(root);
    QCOMPARE(Children(root), (QStringList{"beta", "gamma", "alpha"}));
    ClickPoint("alpha");
    QCOMPARE(V().SelectedItem(), test::ChildNamed(root, "alpha"));

    test::ClickItem(*Form, root);
    ClickHeader(ColumnSize);
    QCOMPARE(Children(root), (QStringList{"alpha", "gamma", "beta"}));
    ClickPoint("gamma");
    QCOMPARE(V().SelectedItem(), test::ChildNamed(root, "gamma"));
  }

  // A folder's own files, the largest below, the "(files)" point, and Delete with Yes.
  void filesList() {
    MakeForm(Build("files"));
    QTreeWidgetItem* root = RootItem();
    auto* list = Form->findChild<TFilesList*>(QStringLiteral("FilesList"));
    test::ClickItem(*Form, test::ChildNamed(root, "beta"));
    QCOMPARE(Names(list), (QStringList{"b.bin", "eel.bin"}));

    test::ClickItem(*Form, root);
    QCOMPARE(Names(list), (QStringList{"own1.dat", "own2.dat"}));
    list->CheckAllBelow->click();
    QCOMPARE(Names(list),
             (QStringList{"b.bin", "eel.bin", "d.log", "stub.bin", "own1.dat", "c.txt", "own2.dat", "e.bin"}));
    ClickPoint("(files)");
    QVERIFY(!list->AllBelow());
    QCOMPARE(Names(list), (QStringList{"own1.dat", "own2.dat"}));
    QCOMPARE(V().SelectedItem(), root);
    QVERIFY(list->ListFiles->hasFocus());

    test::ClickItem(*Form, test::ChildNamed(root, "beta"));
    TStatusBar* bar = V().StatusBar1;
    QCOMPARE(bar->PanelText(2), QStringLiteral("400.0 KB"));
    list->ListFiles->setCurrentIndex(list->ListFiles->model()->index(1, 0));
    list->ListFiles->setFocus();
    Desktop.AnswerYes = true;
    QTest::keyClick(list->ListFiles, Qt::Key_Delete);
    QCOMPARE(Desktop.BoxTexts(),
             QStringList{QString::fromStdString("Move to Trash|Move " + Tree.Path("files/beta/eel.bin") +
                                                " to the Trash?\n\nThis frees 100.0 KB once the "
                                                "Trash is emptied.")});
    QVERIFY(!QFileInfo::exists(QString::fromStdString(Tree.Path("files/beta/eel.bin"))));
    const QDir trash(QString::fromStdString(Tree.Path("home/data/Trash/files")));
    QCOMPARE(trash.entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size(), 1);
    QCOMPARE(Names(list), QStringList{"b.bin"});
    QCOMPARE(bar->PanelText(2), QStringLiteral("300.0 KB"));
    QCOMPARE(ItemNode(root)->ApparentSize, 395264u);
  }

  // Typing narrows the tree and the list; Enter selects the first match; Escape shows all.
  void find() {
    MakeForm(Build("find"));
    QTreeWidget* tree = V().TreeViewDirectories;
    auto* edit = Form->findChild<QLineEdit*>(QStringLiteral("EditFind"));
    auto* list = Form->findChild<TFilesList*>(QStringLiteral("FilesList"));
    const QStringList all{"    alpha", "    beta", "    gamma", "      stub"};
    QCOMPARE(test::TreeLines(tree, true).mid(2), all);
    edit->setFocus();
    QTest::keyClicks(edit, "STUB");
    QTRY_COMPARE(test::TreeLines(tree, true).mid(2), (QStringList{"    gamma", "      stub"}));
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(V().SelectedItem(), test::ChildNamed(test::ChildNamed(RootItem(), "gamma"), "stub"));
    QVERIFY(tree->hasFocus());
    QCOMPARE(Names(list), QStringList{"stub.bin"});

    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Escape);
    QVERIFY(edit->text().isEmpty());
    QTRY_COMPARE(test::TreeLines(tree, true).mid(2), all);
    QCOMPARE(Names(list), (QStringList{"stub.bin", "e.bin"}));
  }

  // A folder walked again takes in what changed on disk; one gone leaves the tree; no refresh
  // while a scan runs.
  void refreshFolder() {
    Tree.File("r/x/f", 1000);
    Tree.File("r/y/g", 2000);
    MakeForm(Tree.Path("r"));
    QTreeWidgetItem* root = RootItem();
    Tree.File("r/x/new", 500);
    test::ClickItem(*Form, test::ChildNamed(root, "x"));
    Form->RefreshFolder1Click();
    QVERIFY(!test::Idle(*Form));
    QTRY_VERIFY_WITH_TIMEOUT(test::Idle(*Form), Timeout);
    QVERIFY(Desktop.Boxes.empty());
    QCOMPARE(ItemNode(test::ChildNamed(root, "x"))->ApparentSize, 1500u);
    QCOMPARE(ItemNode(root)->ApparentSize, 3500u);
    QCOMPARE(root->text(ColumnSize), QStringLiteral("3.4 KB"));
    QCOMPARE(ItemNode(root)->TotalSize, test::Walk(Tree.Path("r"))->Result.Root->TotalSize);

    QVERIFY(QDir(QString::fromStdString(Tree.Path("r/y"))).removeRecursively());
    test::ClickItem(*Form, test::ChildNamed(root, "y"));
    Form->RefreshFolder1Click();
    QCOMPARE(Desktop.BoxTexts(),
             QStringList{QString::fromStdString("Error|" + Tree.Path("r/y") +
                                                " is no longer there: it was taken out of the scan.")});
    QCOMPARE(test::TreeLines(V().TreeViewDirectories).mid(2), QStringList{"    x"});
    QCOMPARE(ItemNode(root)->ApparentSize, 1500u);

    test::TDriveGate::Get().Close(test::OneDrive(Tree.Root()));
    Form->ScanDriveSource = test::TDriveGate::Source;
    // A refresh held at the gate gives way to a new scan, which then shows by itself.
    test::ClickItem(*Form, test::ChildNamed(root, "x"));
    Form->RefreshFolder1Click();
    Form->StopScan(1);
    Form->StartScan(Tree.Path("r"));
    Desktop.Boxes.clear();
    Form->RefreshFolder1Click();
    QCOMPARE(Desktop.BoxTexts(), QStringList{"Error|A scan is under way. Refresh once it has ended."});
    test::TDriveGate::Get().Open();
    QVERIFY(test::WaitForScans(*Form, 2, Timeout));
  }

 private:
  // A tree under `dir` with files of exact sizes and set times; its path.
  std::string Build(const std::string& dir) {
    const std::pair<const char*, uint64_t> files[] = {
        {"own1.dat", 7168},     {"own2.dat", 3072},     {"alpha/c.txt", 5120},          {"beta/eel.bin", 102400},
        {"beta/b.bin", 307200}, {"gamma/d.log", 51200}, {"gamma/stub/stub.bin", 20480}, {"gamma/stub/e.bin", 1024}};
    for (const auto& [name, size] : files) Tree.File(dir + "/" + name, size);
    for (const char* name : {"", "/alpha", "/beta", "/gamma", "/gamma/stub", "/own1.dat", "/own2.dat", "/alpha/c.txt",
                             "/gamma/stub/e.bin"})
      test::SetTime(Tree.Path(dir + name), 1000000000);
    test::SetTime(Tree.Path(dir + "/beta/eel.bin"), 1700000000);
    test::SetTime(Tree.Path(dir + "/beta/b.bin"), 1600000000);
    test::SetTime(Tree.Path(dir + "/gamma/d.log"), 1500000000);
    test::SetTime(Tree.Path(dir + "/gamma/stub/stub.bin"), 1650000000);
    return Tree.Path(dir);
  }

  static QStringList Children(const QTreeWidgetItem* item) {
    QStringList names;
    for (int i = 0; i < item->childCount(); ++i) names << item->child(i)->text(0);
    return names;
  }

  // Clicks the tree's header over `column`, scrolled into view.
  void ClickHeader(int column) {
    QTreeWidget* tree = V().TreeViewDirectories;
    QHeaderView* header = tree->header();
    tree->horizontalScrollBar()->setValue(header->sectionPosition(column));
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
    QCOMPARE(header->logicalIndexAt(at), column);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
  }

  // Clicks the chart's point labelled `label`.
  void ClickPoint(const std::string& label) {
    const std::vector<TChartPoint>& points = V().ChartPie->Points();
    for (size_t i = 0; i < points.size(); ++i)
      if (points[i].Label == label) return Form->ChartPieClickSeries(static_cast<int>(i));
    QFAIL(("no point " + label).c_str());
  }

  test::TempTree Tree;
};

// The Modified column shows local times.
OSTREL_MAINWIN_TEST_MAIN_FIRST(TestFmainFiles, TApplication, (qputenv("TZ", "UTC"), tzset()))
#include "test_fmain_files.moc"
