// Scan control as a user meets it: the path argument, the wizard, the scanning look and its
// count, Stop with Yes and with No, a new scan while one runs and the late notice of the one
// it detached, and closing the window in the middle of a scan.
#include <QAbstractScrollArea>
#include <QChartView>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>

#include "mainwin/folderitem.h"
#include "mainwin/livescans.h"
#include "mainwin_support.h"
#include "scan/scansettings.h"
#include "scan/tloader.h"

using namespace ostrel;

namespace {

constexpr int CompletionTimeout = 15000;

// True when all four controls of the scanning look are shown (`shown`) or all hidden.
bool LookIs(const TForm1& form, bool shown) {
  for (const QWidget* w : test::ScanningLookControls(form))
    if (w->isHidden() == shown) return false;
  return true;
}
bool ScanningLook(const TForm1& form) { return LookIs(form, true); }
bool IdleLook(const TForm1& form) { return LookIs(form, false); }
bool Busy(QAbstractScrollArea* area) {
  return area->testAttribute(Qt::WA_SetCursor) && area->cursor().shape() == Qt::WaitCursor &&
         area->viewport()->cursor().shape() == Qt::WaitCursor;
}
bool DefaultCursor(QAbstractScrollArea* area) {
  return !area->testAttribute(Qt::WA_SetCursor) && !area->viewport()->testAttribute(Qt::WA_SetCursor);
}

// Blocks the walk's thread until the process is killed.
[[noreturn]] std::vector<TDrive> NeverEnding() {
  for (;;) ::pause();
}

// The child process of closingDuringScanEndsAtOnce: the program's own ending, with a walk that
// never ends and the chart type changed, closed as soon as the first tick has started the scan.
int CloseDuringScanChild(int argc, char** argv) {
  TApplication app(argc, argv);
  test::TFakeDesktop desktop;
  test::AnswerDialogs(desktop, "all", "", false);
  TForm1 form({"ostrel"}, desktop);
  form.ScanDriveSource = NeverEnding;
  test::View(form).RadioGroupChartType->SetItemIndex(2);
  form.show();
  // Queued: runs once the tick, which started the scan, has returned.
  QObject::connect(test::View(form).TimerLoad, &QTimer::timeout, &form, [&form] {
    if (form.AttachedScan() && !form.AttachedScan()->Finished()) std::puts("closing while scanning");
    std::fflush(stdout);
    form.close();
  }, Qt::QueuedConnection);
  app.exec();
  QuitIfScansRunning(0);
  return 3;  // not reached while the walk runs
}

// A window that runs BeforeNotice (when set) as a scan's completion notice arrives, before
// handling it: the walk has ended then, and the window still shows it as running.
class THoldingForm : public TForm1 {
 public:
  using TForm1::TForm1;
  std::intptr_t Dispatch(uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override {
    if (msg == ScanDoneMessage && BeforeNotice) BeforeNotice();
    return TForm1::Dispatch(msg, wParam, lParam);
  }
  std::function<void()> BeforeNotice;
};

}  // namespace

class TestFmainScan : public test::TFormTest {
  Q_OBJECT

 private slots:
  void initTestCase() {
    Tree = std::make_unique<test::TempTree>();
    Tree->File("own.txt", 50);
    Tree->File("alpha/one", 100);
    Tree->File("alpha/sub/two", 200);
    Tree->Dir("alpha/caf\xe9");  // Latin-1, not UTF-8: the tree shows U+FFFD, paths keep the byte
    Tree->File("Beta/three", 300);
  }

  void init() {
    StartCase();
    test::TDriveGate::Get().Close(test::OneDrive(Root()));
    test::TDriveGate::Get().Open();
  }

  void cleanup() { EndCase(); }

  void pathArgumentScansWithoutWizard() {
    int wizards = 0;
    test::AnswerDialogs(Desktop, "cancel", "", false, &wizards);
    TForm1* form = MakeForm({"ostrel", Root()});
    QVERIFY(form->AttachedScan() == nullptr);  // nothing before the first tick
    QTRY_COMPARE_WITH_TIMEOUT(test::View(*form).TreeViewDirectories->topLevelItemCount(), 1, CompletionTimeout);
    QCOMPARE(wizards, 0);
    const QString root = QString::fromStdString(Root()) + "/";
    QCOMPARE(test::TreeLines(test::View(*form).TreeViewDirectories),
             (QStringList{"My Computer", "  " + root, "    alpha", "      caf\uFFFD", "      sub", "    Beta"}));
    QTreeWidgetItem* computer = test::View(*form).TreeViewDirectories->topLevelItem(0);
    QVERIFY(computer->isSelected());
    QVERIFY(!computer->isExpanded());
    QVERIFY(form->CurrentPath().empty());
    QVERIFY(IdleLook(*form));
    QVERIFY(form->AttachedScan() != nullptr);  // a finished scan stays attached

    QTreeWidgetItem* alpha = test::ChildNamed(computer->child(0), "alpha");

    // Every further request scans the same path again, still without the wizard.
    form->NewScanClick();
    QTRY_COMPARE_WITH_TIMEOUT(test::View(*form).TreeViewDirectories->topLevelItemCount(), 2, CompletionTimeout);
    QCOMPARE(wizards, 0);
    QCOMPARE(test::View(*form).TreeViewDirectories->topLevelItem(1)->child(0)->text(0), root);
    QVERIFY(test::View(*form).TreeViewDirectories->topLevelItem(1)->isSelected());
    // The first scan's items still work.
    test::View(*form).TreeViewDirectories->setCurrentItem(alpha);
    form->TreeViewDirectoriesClick();
    QCOMPARE(form->CurrentPath(), Root() + "/alpha");
    // The walk's thread ends just after its notice has been handled.
    QTRY_VERIFY(!ScanThreadsRunning());
  }

  void refusedPathIsNamedThenTheWizardAsks_data() {
    QTest::addColumn<QString>("argument");
    QTest::newRow("missing folder") << QStringLiteral("/nonexistent/ostrel-test-folder");
    QTest::newRow("a file") << QString::fromStdString(Tree->Path("own.txt"));
  }
  void refusedPathIsNamedThenTheWizardAsks() {
    QFETCH(QString, argument);
    int wizards = 0;
    test::AnswerDialogs(Desktop, "cancel", "", false, &wizards);
    TForm1* form = MakeForm({"ostrel", argument.toStdString()});
    ShowActive();
    QTRY_COMPARE_WITH_TIMEOUT(wizards, 1, CompletionTimeout);
    QCOMPARE(Desktop.BoxTexts(), QStringList{"Error|There is no folder " + argument});
    QVERIFY(form->AttachedScan() == nullptr);
    QVERIFY(IdleLook(*form));

    // The argument is not taken again: "New Scan Wizard", by its mnemonics, opens the wizard,
    // and a typed folder that does not exist is named too before the wizard asks again.
    const std::string missing = Root() + "/no such folder";
    int answers = 0;
    Desktop.AnswerDialog = [&](QDialog& dialog) {
      auto* start = qobject_cast<TFormStart*>(&dialog);
      if (!start) return ModalCancel;
      SetEditBytes(start->EditPath, QByteArray::fromStdString(++answers == 1 ? missing : Root()));
      start->ButtonSpecific->click();
      return start->result();
    };
    QTest::keyClick(form, Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(test::View(*form).File1->isVisible());
    QTest::keyClick(test::View(*form).File1, Qt::Key_N);
    QTRY_COMPARE_WITH_TIMEOUT(test::View(*form).TreeViewDirectories->topLevelItemCount(), 1, CompletionTimeout);
    QCOMPARE(answers, 2);
    QCOMPARE(Desktop.BoxTexts().mid(1), QStringList{"Error|There is no folder " + QString::fromStdString(missing)});
    QCOMPARE(test::View(*form).TreeViewDirectories->topLevelItem(0)->child(0)->text(0), QString::fromStdString(Root()));
  }

  void wizardChoosesWhatToScan_data() {
    QTest::addColumn<QString>("button");  // empty: no wizard, the empty argument 1 is all drives
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("tree");
    const QString root = QString::fromStdString(Root());
    const QStringList allDrives{"My Computer", "  All Drives", "    " + root, "      alpha",
                                "        caf\uFFFD", "        sub", "      Beta"};
    QTest::newRow("cancel") << "cancel" << root << QStringList{};
    QTest::newRow("one path, as typed") << "specific" << root + "/alpha"
                                        << QStringList{"My Computer", "  " + root + "/alpha", "    caf\uFFFD", "    sub"};
    QTest::newRow("all drives") << "all" << root + "/alpha" << allDrives;
    QTest::newRow("empty argument: all drives, no wizard") << QString() << QString() << allDrives;
    QTest::newRow("one path left empty: all drives") << "specific" << QString() << allDrives;
  }
  void wizardChoosesWhatToScan() {
    QFETCH(QString, button);
    QFETCH(QString, typed);
    QFETCH(QStringList, tree);
    int wizards = 0;
    test::AnswerDialogs(Desktop, button.isEmpty() ? "cancel" : button.toStdString(), typed.toStdString(), false, &wizards);
    TForm1* form = button.isEmpty() ? MakeForm({"ostrel", ""}) : MakeForm({"ostrel"});
    if (button.isEmpty()) {
      QTRY_COMPARE_WITH_TIMEOUT(test::TreeLines(test::View(*form).TreeViewDirectories), tree, CompletionTimeout);
      QCOMPARE(wizards, 0);
      QVERIFY(Desktop.Boxes.empty());
      return;
    }
    QTRY_COMPARE(wizards, 1);
    if (tree.isEmpty()) {
      QVERIFY(form->AttachedScan() == nullptr);
      QCOMPARE(QString::fromUtf8(ScanSettings.lastfilename), QString::fromUtf8(DefaultLastFileName));
      QVERIFY(IdleLook(*form));
    } else {
      QTRY_COMPARE_WITH_TIMEOUT(test::TreeLines(test::View(*form).TreeViewDirectories), tree, CompletionTimeout);
      // Whichever button started it, the wizard's path is remembered.
      QCOMPARE(QString::fromUtf8(ScanSettings.lastfilename), typed);
    }
    QCOMPARE(wizards, 1);
  }

  void scanningLookShowsTheCount() {
    auto held = std::make_unique<THoldingForm>(std::vector<std::string>{"ostrel"}, Desktop);
    THoldingForm* form = held.get();
    Form = std::move(held);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    QTRY_VERIFY(!test::View(*form).TimerLoad->isActive());  // its wizard was cancelled
    QLabel* count = test::View(*form).LabelCount;
    QCOMPARE(count->text(), QStringLiteral("(None)"));
    // The walk is quick; its notice waits until the progress timer, still ticking, has shown the
    // count of all five folders.
    bool countShown = false;
    bool scanningMeanwhile = false;
    bool wideEnough = false;
    form->BeforeNotice = [&] {
      countShown = QTest::qWaitFor([&] { return count->text() == QStringLiteral("5"); }, CompletionTimeout);
      scanningMeanwhile = ScanningLook(*form) && !test::View(*form).ChartPie->chart()->isVisible();
      wideEnough = count->width() >= count->sizeHint().width();
    };
    form->StartScan(Root());
    QVERIFY(ScanningLook(*form));
    QVERIFY(Busy(test::View(*form).ChartPie));
    QVERIFY(Busy(test::View(*form).TreeViewDirectories));

    QTRY_COMPARE_WITH_TIMEOUT(test::View(*form).TreeViewDirectories->topLevelItemCount(), 1, CompletionTimeout);
    QVERIFY2(countShown, qPrintable(count->text()));
    QVERIFY(scanningMeanwhile);
    QVERIFY(wideEnough);
    QVERIFY(IdleLook(*form));
    QVERIFY(test::View(*form).ChartPie->chart()->isVisible());
    QVERIFY(DefaultCursor(test::View(*form).ChartPie));
    QVERIFY(DefaultCursor(test::View(*form).TreeViewDirectories));
    // No tick touches the hidden count.
    count->setText("kept");
    QSignalSpy tick(test::View(*form).TimerUpdate, &QTimer::timeout);
    QVERIFY(tick.wait(CompletionTimeout));
    QCOMPARE(count->text(), QStringLiteral("kept"));
  }

  void stopAsksFirst_data() {
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("endsWhileAsked");  // the question then closes as No
    QTest::newRow("Yes") << true << false;
    QTest::newRow("No") << false << false;
    QTest::newRow("Yes, but the scan ends meanwhile") << true << true;
  }
  void stopAsksFirst() {
    QFETCH(bool, yes);
    QFETCH(bool, endsWhileAsked);
    const TTreeJob* scan = HeldScan(yes);
    TForm1* form = Form.get();
    QVERIFY(scan && ScanThreadsRunning());
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    QTreeWidget* tree = test::View(*form).TreeViewDirectories;
    bool ended = false;
    if (endsWhileAsked)
      Desktop.WhileAsking = [&] {
        test::TDriveGate::Get().Open();
        ended = QTest::qWaitFor([&] { return tree->topLevelItemCount() == 1; }, CompletionTimeout);
      };

    QTest::mouseClick(test::View(*form).ButtonStop, Qt::LeftButton);
    QCOMPARE(Desktop.BoxTexts(), QStringList{"Abort Scan ?|Are you sure you wish to abort ?"});
    QVERIFY(Desktop.Boxes[0].Question);
    QCOMPARE(Desktop.Boxes[0].Owner, form);
    const bool stopped = yes && !endsWhileAsked;
    QCOMPARE(scan->StopFlag.load(), stopped ? 1 : 0);
    QCOMPARE(form->AttachedScan(), scan);
    QCOMPARE(ended, endsWhileAsked);
    if (!endsWhileAsked) {
      QVERIFY(ScanningLook(*form));  // until the walk has noticed
      test::TDriveGate::Get().Open();
    }
    QTRY_COMPARE_WITH_TIMEOUT(tree->topLevelItemCount(), 1, CompletionTimeout);
    QVERIFY(IdleLook(*form));
    if (stopped) {
      // Stopped before its first folder: no root, and "My Computer" alone.
      QVERIFY(scan->Outcome().Root == nullptr);
      QCOMPARE(test::TreeLines(tree), QStringList{"My Computer"});
      QVERIFY(form->findChild<TChartView*>(QStringLiteral("ChartPie"))->Points().empty());
      QVERIFY(form->CurrentPath().empty());
    } else {
      QCOMPARE(test::TreeLines(tree).size(), 7);
      QCOMPARE(scan->FoldersSoFar(), 6);  // "All Drives" and the five folders
    }
    QTRY_VERIFY(!ScanThreadsRunning());
  }

  void closedWindowWaitsForItsWalk() {
    // A walk under way when its window goes is stopped and freed with it, not left running.
    QVERIFY(HeldScan());
    const THandle handle = Form->Handle();
    std::thread opener([handle] {
      SendMessageSync(handle, 0, 0, 0);  // answered once the window is going
      test::TDriveGate::Get().Open();
    });
    Form.reset();
    opener.join();
    QVERIFY(!ScanThreadsRunning());
  }

  void newScanWhileOneRuns() {
    const TTreeJob* first = HeldScan();
    TForm1* form = Form.get();
    QVERIFY(first);

    // A cancelled wizard leaves the running scan attached and running.
    int wizards = 0;
    test::AnswerDialogs(Desktop, "cancel", "", false, &wizards);
    form->NewScanClick();
    QCOMPARE(wizards, 1);
    QCOMPARE(form->AttachedScan(), first);
    QCOMPARE(first->NotifyWindow.load(), form->Handle());
    QCOMPARE(first->StopFlag.load(), 0);
    QVERIFY(ScanningLook(*form));

    // The new scan walks at once; the gate holds only the first.
    form->ScanDriveSource = ListDrives;
    test::AnswerDialogs(Desktop, "specific", Tree->Path("alpha"), false);
    form->NewScanClick();
    // The first scan is silenced and told to stop; the second one is attached.
    QCOMPARE(first->NotifyWindow.load(), NoWindow);
    QCOMPARE(first->NotifyMessage.load(), 0u);
    QCOMPARE(first->StopFlag.load(), 1);
    const TTreeJob* second = form->AttachedScan();
    QVERIFY(second && second != first);
    QVERIFY(ScanningLook(*form));
    QTRY_COMPARE_WITH_TIMEOUT(test::View(*form).TreeViewDirectories->topLevelItemCount(), 1, CompletionTimeout);
    const QStringList shown{"My Computer", "  " + QString::fromStdString(Tree->Path("alpha")), "    caf\uFFFD", "    sub"};
    QCOMPARE(test::TreeLines(test::View(*form).TreeViewDirectories), shown);

    // The notice of the first, had it read its window just before it was detached, changes
    // nothing: it is not the attached scan's.
    std::atomic<bool> delivered{false};
    std::thread late([&] {
      SendMessageSync(form->Handle(), ScanDoneMessage, 0, reinterpret_cast<std::intptr_t>(first));
      delivered = true;
    });
    QTRY_VERIFY(delivered.load());
    late.join();
    QCOMPARE(test::TreeLines(test::View(*form).TreeViewDirectories), shown);
    QCOMPARE(form->AttachedScan(), second);

    // Let go, the first one ends on its own without a word.
    test::TDriveGate::Get().Open();
    // Its thread finishes only after a notice it sent has been handled (the send waits for
    // that), so any notice is in by now but for what its handling left queued.
    QTRY_VERIFY(first->Finished());
    QCoreApplication::processEvents();
    QCOMPARE(test::View(*form).TreeViewDirectories->topLevelItemCount(), 1);
    QVERIFY(first->Outcome().Root == nullptr);
  }

  void closingDuringScanEndsAtOnce() {
    QTemporaryDir config;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", config.path());
    env.insert("XDG_CACHE_HOME", config.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {"--close-during-scan"});
    // Start-up, the first tick, closing: nothing waits for the walk, which never ends.
    QVERIFY(child.waitForFinished(20000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    QVERIFY2(child.readAllStandardOutput().contains("closing while scanning"), "the scan was not running");
    QSettings saved(config.filePath("Harwen/OSTREL.conf"), QSettings::IniFormat);
    QCOMPARE(saved.value("charttype").toInt(), 2);
  }

 private:
  TForm1* MakeForm(std::vector<std::string> args) {
    OpenWindow(std::move(args)).ScanDriveSource = test::TDriveGate::Source;
    return Form.get();
  }

  // A window whose all-drives scan (of Root) runs and waits at the closed gate; its walk.
  const TTreeJob* HeldScan(bool yes = false) {
    test::TDriveGate::Get().Close(test::OneDrive(Root()));
    test::AnswerDialogs(Desktop, "all", "", yes);
    TForm1* form = MakeForm({"ostrel"});
    if (!QTest::qWaitFor([&] { return form->AttachedScan() != nullptr; })) return nullptr;
    return form->AttachedScan();
  }

  std::string Root() const { return Tree->Root(); }

  std::unique_ptr<test::TempTree> Tree;
};

OSTREL_MAINWIN_TEST_MAIN_FIRST(TestFmainScan, TApplication,
                               if (argc > 1 && std::strcmp(argv[1], "--close-during-scan") == 0) return
                                   CloseDuringScanChild(argc, argv))

#include "test_fmain_scan.moc"
