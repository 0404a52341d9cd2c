// Scans kept by the window itself: each finished walk appears in the cache folder (written
// beside the GUI thread) and reads back as the scan shown, each root apart, and nothing is
// kept once the Preferences box is cleared.
#include <QCheckBox>
#include <QDir>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <memory>
#include <string>

#include "dialogs/fprefs.h"
#include "mainwin/fmain.h"
#include "mainwin_support.h"
#include "scan/scansettings.h"
#include "scan/tloader.h"
#include "scan_support.h"
#include "scanfile/history.h"
#include "scanfile/importscan.h"
#include "tests/support/fixture.h"

using namespace ostrel;

namespace {

constexpr int Timeout = 15000;

bool Idle(const TForm1& form) { return test::View(form).ButtonStop->isHidden() && test::View(form).LabelStandBy->isHidden(); }

size_t KeptOf(const std::string& root) { return ListKeptScans(ScanHistoryFolder(), HistoryKey(root)).size(); }

}  // namespace

class TestFmainHistory : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    Tree.Write("one/own.txt", std::string(5000, 'x'));
    Tree.Write("one/a/data", std::string(70000, 'd'));
    Tree.Dir("one/b/c");
    Tree.Write("two/f", std::string(100, 'f'));
    // The folder comes from the environment the test set, never the user's own.
    QCOMPARE(QDir(QFile::decodeName(QByteArray::fromStdString(ScanHistoryFolder()))).absolutePath(),
             QDir(qEnvironmentVariable("XDG_CACHE_HOME")).absoluteFilePath(QStringLiteral("Harwen/OSTREL")));
  }
  void init() {
    Store = std::make_unique<test::TTempStore>();
    Desktop = {};
  }
  void cleanup() { Form.reset(); }

  void eachWalkIsKeptBesideTheWindow();
  void thePreferencesBoxTurnsKeepingOff();

 private:
  // A window that scans `root` at start; true once it shows the scan.
  bool ScanAtStart(const std::string& root) {
    Form = std::make_unique<TForm1>(std::vector<std::string>{"ostrel", root}, Desktop);
    Form->ScanDriveSource = [top = Tree.Root()] { return test::OneDrive(top); };
    Form->show();
    return QTest::qWaitFor([&] { return test::View(*Form).TreeViewDirectories->topLevelItemCount() == 1 && Idle(*Form); },
                           Timeout);
  }
  // Clicks the Preferences box and Ok.
  void ToggleKeepingInPreferences() {
    Desktop.AnswerDialog = [](QDialog& dialog) {
      auto* prefs = qobject_cast<TFormPreferences*>(&dialog);
      if (!prefs) return ModalCancel;
      QTest::mouseClick(prefs->CheckBoxKeepHistory, Qt::LeftButton);
      QTest::mouseClick(prefs->ButtonOk, Qt::LeftButton);
      return dialog.result();
    };
    test::View(*Form).Preferences1->trigger();
  }

  test::TempTree Tree;
  std::unique_ptr<test::TTempStore> Store;
  test::TFakeDesktop Desktop;
  std::unique_ptr<TForm1> Form;
};

// The scan's file appears once the window is idle, reads back to the shown totals and says the
// walk was complete; a scan of another root is kept apart; the same root again adds one.
void TestFmainHistory::eachWalkIsKeptBesideTheWindow() {
  const std::string one = Tree.Path("one");
  QVERIFY(ScanAtStart(one));
  QVERIFY(Form->Keeper());
  QTRY_COMPARE_WITH_TIMEOUT(KeptOf(one), size_t(1), Timeout);
  const TKeptScan kept = ListKeptScans(ScanHistoryFolder(), HistoryKey(one))[0];
  QVERIFY(kept.Complete);
  TImportedScan read;
  QCOMPARE(ReadScanFile(kept.Path, read), std::string());
  const TTreeJob* walk = Form->AttachedScan();
  QCOMPARE(read.Result.Root->TotalSize, walk->Outcome().Root->TotalSize);
  QCOMPARE(read.Result.Root->ApparentSize, walk->Outcome().Root->ApparentSize);
  QCOMPARE(read.Result.Files, walk->Outcome().Files);
  QVERIFY(Desktop.Boxes.empty());

  const std::string two = Tree.Path("two");
  QVERIFY(ScanAtStart(two + "/"));
  QTRY_COMPARE_WITH_TIMEOUT(KeptOf(two), size_t(1), Timeout);
  QCOMPARE(KeptOf(one), size_t(1));
  QVERIFY(ScanAtStart(one));
  QTRY_COMPARE_WITH_TIMEOUT(KeptOf(one), size_t(2), Timeout);
  QCOMPARE(Form->Keeper()->LastError(), std::string());
}

// Cleared, the box stores 0 and the next walk leaves nothing; checked again, walks are kept.
void TestFmainHistory::thePreferencesBoxTurnsKeepingOff() {
  const std::string root = Tree.Path("one/b");
  QVERIFY(ScanAtStart(root));
  QTRY_COMPARE_WITH_TIMEOUT(KeptOf(root), size_t(1), Timeout);
  ToggleKeepingInPreferences();
  QCOMPARE(ScanSettings.keephistory, 0);
  Form->close();  // saves the settings
  QCOMPARE(Store->Open()->value("keephistory").toInt(), 0);

  QVERIFY(ScanAtStart(root));
  QCOMPARE(ScanSettings.keephistory, 0);
  // Nothing was handed over: there is nothing to wait for.
  QVERIFY(!Form->Keeper());
  QCOMPARE(KeptOf(root), size_t(1));

  ToggleKeepingInPreferences();
  QCOMPARE(ScanSettings.keephistory, 1);
  Form->NewScanClick();  // argument 1 again
  QTRY_COMPARE_WITH_TIMEOUT(KeptOf(root), size_t(2), Timeout);
}

OSTREL_MAINWIN_TEST_MAIN(TestFmainHistory, TApplication)
#include "test_fmain_history.moc"
