// The main window's commands, driven through its buttons, link label, menu items and tree: the
// no-folder message, the clipboard, the folder and pages handed to the desktop, the manual, and
// the two dialogs, also while a scan runs behind them. The desktop is a recording one: nothing
// opens and no dialog runs exec().
#include <QCheckBox>
#include <QPieSeries>

#include "dialogs/fabout.h"
#include "docs/weblinks.h"
#include "mainwin_support.h"
#include "scan/scansettings.h"
#include "scan/tloader.h"

using namespace ostrel;

namespace {

const QString NoFolderText = QStringLiteral(
    "Please navigate the tree view (or pie chart) to a subdirectory on your hard drive first. It has "
    "to be a physical directory (i.e. like /home), and not virtual folder like \"My Computer\". ");

constexpr int CompletionTimeout = 15000;

// The space `path` takes on disk, as the system reports it; 0 when there is no such file.
uint64_t DiskBytes(const QByteArray& path) { return test::DiskBytes(path.toStdString()); }

}  // namespace

class TestFmainCommands : public test::TFormTest {
  Q_OBJECT

 private slots:
  void initTestCase() {
    // Files written out, so that they take about as much on disk as their lengths.
    Root = QByteArray::fromStdString(Tree.Path("root"));
    Tree.Write("root/own.txt", std::string(10, 'x'));
    // Eleven folders that keep their own points and three small enough to be combined, whether
    // sizes are lengths or space on disk.
    for (int i = 0; i < 11; ++i) Tree.Write("root/big" + std::to_string(i) + "/f", std::string(100000, 'x'));
    for (int i = 0; i < 3; ++i) Tree.Write("root/tiny" + std::to_string(i) + "/f", "x");
    // A Latin-1 name, not UTF-8: only the bytes name this folder.
    Tree.Write("root/big0/caf\xe9/a/b/f", "x");

    Measures = QByteArray::fromStdString(Tree.Path("measures"));
    Tree.Write("measures/own.txt", std::string(10, 'x'));
    Tree.Write("measures/data/blob", std::string(256 * 1024, 'x'));
    Tree.File("measures/image/disk.img", 64 << 20);  // sparse
  }

  void init() {
    StartCase();
    OldCurrent = QDir::currentPath();
    NewForm();
  }

  void cleanup() {
    EndCase();
    QDir::setCurrent(OldCurrent);
  }

  void helpAndUsersManualOpenTheManual() {
    const QString start = QString::fromStdString(Tree.Dir("help/start"));
    const QString elsewhere = QString::fromStdString(Tree.Dir("help/elsewhere"));
    // The window remembers the folder that was current when it was made.
    QVERIFY(QDir::setCurrent(start));
    NewForm();
    QVERIFY(QDir::setCurrent(elsewhere));

    // Neither folder nor the test program's own holds a manual. F1 asks for it too.
    QTest::mouseClick(V().ButtonHelp, Qt::LeftButton);
    QTest::keyClick(Form.get(), Qt::Key_F1);
    QCOMPARE(Boxes(), QStringList(2, "error|Unable to find documentation"));
    QVERIFY(Opened().isEmpty());

    // The start-up folder is looked at first, not the folder that is current now.
    Tree.Write("help/start/ostrel.htm", "");
    Tree.Write("help/elsewhere/ostrel.html", "");
    QTest::mouseClick(V().ButtonHelp, Qt::LeftButton);
    V().UsersManual1->trigger();
    const QUrl manual = QUrl::fromLocalFile(start + "/ostrel.htm");
    QCOMPARE(Opened(), (QList<QUrl>{manual, manual}));
    QCOMPARE(Boxes().size(), 2);

    // Found, but nothing on the desktop opens it: the box names the file.
    Desktop.OpenSucceeds = false;
    QTest::mouseClick(V().ButtonHelp, Qt::LeftButton);
    QCOMPARE(Boxes().value(2), "Error|Could not open the document " + start + "/ostrel.htm");
  }

  void webLinksOpenTheMakersPages() {
    QTest::mouseClick(V().HtmlLabel2, Qt::LeftButton);
    V().VisitPelworthformoreShareware1->trigger();
    V().Checkwebforupdatedversion1->trigger();
    QCOMPARE(Opened(), (QList<QUrl>{QUrl(MakerHomePage), QUrl(MakerHomePage), QUrl(ProgramPage)}));
    QCOMPARE(QUrl(ProgramPage), QUrl(MakerHomePage).resolved(QUrl("ostrel/")));
    QVERIFY(Boxes().isEmpty());

    Desktop.OpenSucceeds = false;
    QTest::mouseClick(V().HtmlLabel2, Qt::LeftButton);
    V().Checkwebforupdatedversion1->trigger();
    QCOMPARE(Boxes(), (QStringList{"Error|Could not open the web page " + QString::fromLatin1(MakerHomePage),
                                   "Error|Could not open the web page " + QString::fromLatin1(ProgramPage)}));
  }

  void copyAndExploreFollowTheTreeOfAOnePathScan() {
    // Right after start-up no folder is selected; nor is one with "My Computer".
    QVERIFY(Form->CurrentPath().empty());
    QTest::mouseClick(V().ButtonCopy, Qt::LeftButton);
    // The root keeps the path exactly as the scan was given it, trailing separator included.
    const QByteArray given = Root + "/";
    QVERIFY(Scan(given.toStdString()));
    QTreeWidgetItem* root = MyComputer()->child(0);
    QVERIFY(root);
    ClickItem(MyComputer());
    QTest::mouseClick(V().ButtonExplore, Qt::LeftButton);
    QCOMPARE(Boxes(), QStringList(2, "Error|" + NoFolderText));
    // Boxes owned by no window, with only OK.
    for (const auto& box : Desktop.Boxes) QVERIFY(!box.Owner && !box.Question);
    QVERIFY(Desktop.Clipboard.isEmpty());
    QVERIFY(Opened().isEmpty());

    struct {
      QTreeWidgetItem* item;
      QByteArray path;
    } const cases[] = {
        {root, given},
        {test::ChildNamed(root, "big3"), Root + "/big3"},
        {test::ChildNamed(
             test::ChildNamed(test::ChildNamed(test::ChildNamed(root, "big0"), QFile::decodeName("caf\xe9")), "a"), "b"),
         Root + "/big0/caf\xe9/a/b"},
    };
    for (const auto& c : cases) {
      ClickItem(c.item);
      QTest::mouseClick(V().ButtonCopy, Qt::LeftButton);
      // The path's own bytes, "caf\xe9" too: its decoded text would name no folder.
      QCOMPARE(Desktop.Clipboard.value(Desktop.Clipboard.size() - 1), c.path);
      QTest::mouseClick(V().ButtonExplore, Qt::LeftButton);
      QCOMPARE(Desktop.OpenedPath(Opened().size() - 1), c.path);
    }
    QCOMPARE(Opened().size(), 3);
    QCOMPARE(Desktop.Clipboard.size(), 3);
    QCOMPARE(Boxes().size(), 2);
  }

  void copyAndExploreWithAllDrives() {
    Form->ScanDriveSource = [root = Root.toStdString()] { return test::OneDrive(root); };
    QVERIFY(Scan(""));
    QTreeWidgetItem* allDrives = MyComputer()->child(0);
    QVERIFY(allDrives);
    QCOMPARE(allDrives->text(0), QString("All Drives"));

    // "All Drives" is a label, not a folder.
    ClickItem(allDrives);
    QTest::mouseClick(V().ButtonCopy, Qt::LeftButton);
    QTest::mouseClick(V().ButtonExplore, Qt::LeftButton);
    QCOMPARE(Boxes(), QStringList(2, "Error|" + NoFolderText));
    QVERIFY(Desktop.Clipboard.isEmpty());
    QVERIFY(Opened().isEmpty());

    // A drive copies as its root; a folder on it as its full path (Explore-Dir takes the path
    // Copy-Dir copies, as the one-path case shows).
    ClickItem(allDrives->child(0));
    QTest::mouseClick(V().ButtonCopy, Qt::LeftButton);
    QCOMPARE(Desktop.Clipboard, QList<QByteArray>{Root});
    ClickItem(test::ChildNamed(allDrives->child(0), "tiny1"));
    QTest::mouseClick(V().ButtonCopy, Qt::LeftButton);
    QCOMPARE(Desktop.Clipboard.value(1), Root + "/tiny1");
    QCOMPARE(Boxes().size(), 2);
  }

  void relativeRootCopiesAndExploresAbsolutely() {
    // The root was given relative to the folder the program started in; the user works with it
    // from anywhere, by keyboard: the mnemonics of Copy-Dir and Explore-Dir.
    QVERIFY(QDir::setCurrent(QString::fromStdString(Tree.Root())));
    NewForm();
    QVERIFY(Scan("root/"));
    QVERIFY(QDir::setCurrent(QDir::tempPath()));
    ClickItem(test::ChildNamed(MyComputer()->child(0), "big3"));
    // A mnemonic presses its button as a short animated click.
    QTest::keyClick(Form.get(), Qt::Key_C, Qt::AltModifier);
    QTRY_COMPARE(Desktop.Clipboard, QList<QByteArray>{Root + "/big3"});
    Desktop.OpenSucceeds = false;
    QTest::keyClick(Form.get(), Qt::Key_E, Qt::AltModifier);
    QTRY_COMPARE(Desktop.OpenedPath(0), Root + "/big3");
    QCOMPARE(Boxes(), QStringList{"Error|Could not open the folder " + QFile::decodeName(Root + "/big3")});
    ClickItem(MyComputer()->child(0));
    QTest::keyClick(Form.get(), Qt::Key_C, Qt::AltModifier);
    QTRY_COMPARE(Desktop.Clipboard.value(1), Root);
  }

  void preferencesOkRedrawsCancelDoesNot() {
    QVERIFY(Scan(Root.toStdString()));
    ClickItem(MyComputer()->child(0));
    QCOMPARE(ScanSettings.combineother, 1);
    QCOMPARE(Form->findChild<TChartView*>(QStringLiteral("ChartPie"))->Points().size(), size_t(1 + 11 + 1));  // (files), big0..big10, (other: 3 dirs)

    // A redraw draws the pie's slices anew.
    struct {
      bool clickBox;
      bool ok;
      int combineother;
      size_t points;
      bool redrawn;
    } const steps[] = {
        {true, true, 0, 15, true},    // switched off: every subfolder its own point
        {true, false, 0, 15, false},  // switched back on, but cancelled
        {false, true, 0, 15, true},   // Ok without a change still redraws
    };
    int pie = 0;
    for (const auto& step : steps) {
      int runs = 0;
      Desktop.AnswerDialog = [&](QDialog& dialog) {
        ++runs;
        auto* prefs = qobject_cast<TFormPreferences*>(&dialog);
        if (!prefs || dialog.parentWidget() != Form.get()) return ModalCancel;
        if (step.clickBox) QTest::mouseClick(prefs->CheckBoxCombineOther, Qt::LeftButton);
        QTest::mouseClick(step.ok ? prefs->ButtonOk : prefs->ButtonCancel, Qt::LeftButton);
        return dialog.result();
      };
      QSignalSpy drawn(static_cast<QPieSeries*>(V().ChartPie->SeriesOf(0, pie)), &QPieSeries::added);
      V().Preferences1->trigger();
      QCOMPARE(runs, 1);
      QCOMPARE(ScanSettings.combineother, step.combineother);
      QCOMPARE(Form->findChild<TChartView*>(QStringLiteral("ChartPie"))->Points().size(), step.points);
      QCOMPARE(drawn.count(), step.redrawn ? 1 : 0);
      QCOMPARE(Form->CurrentPath(), Root.toStdString());
    }
  }

  // The measure is a view of the same tree: Ok redraws the selected folder in the other one at
  // once, with no new scan; the folder's own blocks show in its "(files)" point.
  void preferencesSwitchTheMeasureWithoutAScan() {
    const uint64_t image = DiskBytes(Measures + "/image") + DiskBytes(Measures + "/image/disk.img");
    const uint64_t data = DiskBytes(Measures + "/data") + DiskBytes(Measures + "/data/blob");
    const uint64_t files = DiskBytes(Measures) + DiskBytes(Measures + "/own.txt");
    if (DiskBytes(Measures + "/image/disk.img") >= 32 << 20) QSKIP("this file system stores no sparse files");
    QVERIFY(Scan(Measures.toStdString()));
    ClickItem(MyComputer()->child(0));
    const TTreeJob* scan = Form->AttachedScan();
    QTreeWidgetItem* shown = V().SelectedItem();
    auto number = [](uint64_t v) { return QString::number(v); };
    const QStringList diskUsage{"(files)=" + number(files), "data=" + number(data), "image=" + number(image)};
    const QStringList apparent{"(files)=10", "data=262144", "image=67108864"};
    QCOMPARE(test::PointTexts(*Form), diskUsage);

    test::AnswerPreferences(Desktop, [](TFormPreferences& prefs) {
      QTest::mouseClick(prefs.CheckBoxApparentSize, Qt::LeftButton);
      QTest::mouseClick(prefs.ButtonOk, Qt::LeftButton);
    });
    for (const auto& [checked, expected] : {std::pair{true, apparent}, std::pair{false, diskUsage}}) {
      V().Preferences1->trigger();
      QCOMPARE(ScanSettings.apparentsize, checked ? 1 : 0);
      QCOMPARE(test::PointTexts(*Form), expected);
      QCOMPARE(V().SelectedItem(), shown);
      QCOMPARE(Form->AttachedScan(), scan);
      QCOMPARE(V().TreeViewDirectories->topLevelItemCount(), 1);
      // The hover sizes follow.
      Form->ChartPieMouseMove(2);  // image
      QCOMPARE(V().StatusBar1->PanelText(1),
               checked ? QStringLiteral("64.0 MB") : QString::fromStdString(FormatSize(image)));
    }
  }

  // The dialog's modal loop keeps the window's events flowing: the scan's completion notice is
  // handled behind the dialog, and the scan is neither stopped nor detached by it.
  void dialogsDuringAScanLetItFinish_data() {
    QTest::addColumn<bool>("preferences");
    QTest::newRow("About") << false;
    QTest::newRow("Preferences") << true;
  }
  void dialogsDuringAScanLetItFinish() {
    QFETCH(bool, preferences);
    test::TDriveGate::Get().Close(test::OneDrive(Root.toStdString()));
    Form->ScanDriveSource = test::TDriveGate::Source;
    Form->StartScan("");
    const TTreeJob* loader = Form->AttachedScan();
    QVERIFY(loader && !V().ButtonStop->isHidden());

    bool finishedBehind = false;
    Desktop.AnswerDialog = [&](QDialog& dialog) {
      const bool expected = preferences ? qobject_cast<TFormPreferences*>(&dialog) != nullptr
                                        : qobject_cast<TFormAbout*>(&dialog) != nullptr;
      if (!expected || dialog.parentWidget() != Form.get()) return ModalCancel;
      dialog.show();
      test::TDriveGate::Get().Open();
      finishedBehind = QTest::qWaitFor([&] { return V().TreeViewDirectories->topLevelItemCount() == 1; },
                                       CompletionTimeout) &&
                       dialog.isVisible();
      dialog.done(ModalOk);
      return ModalOk;
    };
    (preferences ? V().Preferences1 : V().About1)->trigger();
    QVERIFY(finishedBehind);
    QVERIFY(!loader->StopFlag);
    QVERIFY(V().ButtonStop->isHidden());
    QTreeWidgetItem* drive = MyComputer()->child(0)->child(0);
    QVERIFY(drive);
    QCOMPARE(drive->childCount(), 14);
    QVERIFY(Boxes().isEmpty());
  }

 private:
  // A new window, shown and active; no wizard: each case starts what it needs itself.
  void NewForm() {
    OpenWindow().findChild<QTimer*>(QStringLiteral("TimerLoad"))->stop();
    ShowActive();
  }

  // Clicks `item` in the tree as the user would, opening its parents first.
  void ClickItem(QTreeWidgetItem* item) { test::ClickItem(*Form, item); }

  test::TempTree Tree;
  QByteArray Root;  // a folder with 14 subfolders, three of them tiny; "caf\xe9" holds a/b
  QByteArray Measures;  // "own.txt", a sparse "image/disk.img" and a written "data/blob"
  QString OldCurrent;
  // What the window handed to the desktop.
  const QList<QUrl>& Opened() const { return Desktop.Opened; }
  QStringList Boxes() const { return Desktop.BoxTexts(); }
};

OSTREL_MAINWIN_TEST_MAIN(TestFmainCommands, TApplication)
#include "test_fmain_commands.moc"
