// Scans saved and opened in the window, driven through its menu, tree and buttons: an opened
// file shows as the walk of the same tree does, a save opens again with the same totals, a bad
// file is named in a box with nothing shown, "-f FILE" opens at start, Explore-Dir refuses a
// folder that is not here, a load runs beside the GUI thread and stops on request, and totals
// past the largest size are said to be capped.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>
#include <csignal>
#include <future>
#include <thread>

#include "mainwin_support.h"
#include "scan/scansettings.h"

using namespace ostrel;

namespace {

constexpr int Timeout = 15000;

QString Total(const TForm1& form) { return test::View(form).StatusBar1->PanelText(2); }

// Runs a File menu command as the user does: a click on "File", then on the item.
void ClickMenu(TForm1& form, QAction* action) {
  const test::TFormView view = test::View(form);
  QTest::mouseClick(view.MainMenu1, Qt::LeftButton, {}, view.MainMenu1->actionGeometry(view.File1->menuAction()).center());
  QTRY_VERIFY(view.File1->isVisible());
  QTest::mouseClick(view.File1, Qt::LeftButton, {}, view.File1->actionGeometry(action).center());
  QTRY_VERIFY(!view.File1->isVisible());
}

}  // namespace

using test::ClickItem;
using test::PointTexts;
using test::Idle;
using test::WaitForScans;

class TestFmainScanfile : public test::TFormTest {
  Q_OBJECT

 private slots:
  void initTestCase() {
    std::signal(SIGPIPE, SIG_IGN);  // the load test's writer learns of a closed pipe by EPIPE
    Tree.Write("root/own.txt", std::string(10, 'x'));
    Tree.Write("root/a/x/data", std::string(50000, 'd'));
    Tree.Write("root/b/small", std::string(300, 's'));
    Tree.Dir("root/b/c");
    Tree.File("root/b/sparse", 1 << 24);
    // Two names of one file: counted once, by the name met first.
    QCOMPARE(::link(Tree.Path("root/a/x/data").c_str(), Tree.Path("root/b/again").c_str()), 0);
    Tree.Dir("root/caf\xe9/d");
    Tree.Dir("files");
  }

  void init() { StartCase(); }
  void cleanup() { EndCase(); }

  // Walk, save through the menu, open at start with -f: the same tree, chart and totals; then
  // the opened scan saved and opened again through the menu gives the same once more.
  void openedScanShowsAsTheWalkAndSavesAgain() {
    const std::string root = Tree.Path("root");
    MakeForm({"ostrel", root});
    QVERIFY(WaitForScans(*Form, 1));
    QTreeWidget* tree = V().TreeViewDirectories;
    const QStringList walkedLines = test::TreeLines(tree);
    const QStringList walkedPoints = PointTexts(*Form);
    const QString walkedTotal = Total(*Form);
    ClickItem(*Form, tree->topLevelItem(0)->child(0));
    const QStringList walkedRootPoints = PointTexts(*Form);
    QCOMPARE(walkedRootPoints.size(), 4);  // (files), a, b and the Latin-1 one

    const std::string saved = File("walk.json").toStdString();
    Desktop.SaveFileNames << QString::fromStdString(saved);
    ClickMenu(*Form, Action("SaveScanAs1"));
    QCOMPARE(Desktop.FileDialogs, QStringList{"Save Scan As"});
    QVERIFY2(Desktop.Boxes.empty(), qPrintable(Desktop.BoxTexts().join('\n')));
    // The walk read the numbers that let a reader count the hard link once.
    QVERIFY(test::ReadFile(saved).find("\"nlink\":2") != std::string::npos);

    // -f and its file leave the arguments; the switch and nothing else stay.
    ScanSettings.autominimize = 0;
    MakeForm({"ostrel", "-autominimize", "-f", saved});
    QCOMPARE(Form->Arguments(), (std::vector<std::string>{"ostrel", "-autominimize"}));
    QCOMPARE(ScanSettings.autominimize, 1);
    QVERIFY(WaitForScans(*Form, 1));
    QCOMPARE(Desktop.Dialogs, 0);  // no wizard: the file took the scan's place
    tree = V().TreeViewDirectories;
    QCOMPARE(test::TreeLines(tree), walkedLines);
    QCOMPARE(PointTexts(*Form), walkedPoints);
    QCOMPARE(Total(*Form), walkedTotal);
    ClickItem(*Form, tree->topLevelItem(0)->child(0));
    QCOMPARE(PointTexts(*Form), walkedRootPoints);
    QCOMPARE(Form->CurrentPath(), root + "/");

    const QString again = File("again.json");
    Desktop.SaveFileNames << again;
    ClickMenu(*Form, Action("SaveScanAs1"));
    Desktop.OpenFileNames << again;
    ClickMenu(*Form, Action("OpenScan1"));
    QVERIFY(WaitForScans(*Form, 2));
    QVERIFY2(Desktop.Boxes.empty(), qPrintable(Desktop.BoxTexts().join('\n')));
    QCOMPARE(V().SelectedItem(), tree->topLevelItem(1));
    QCOMPARE(PointTexts(*Form), walkedPoints);
    QCOMPARE(Total(*Form), walkedTotal);
  }

  // Cut short, not a scan, missing, a FIFO, a folder: a box with the reason, no item, the idle look. Saving with
  // no scan shown says so without asking for a name.
  void badFilesAreNamedAndShowNothing() {
    MakeForm({"ostrel"});
    V().TimerLoad->stop();
    ClickMenu(*Form, Action("SaveScanAs1"));
    QVERIFY(Desktop.FileDialogs.isEmpty());
    QCOMPARE(Desktop.BoxTexts(),
             QStringList{"Error|There is no scan to save yet: select a folder of a finished scan first."});

    const QString cut = Write("cut.json",
                                  "[1,2,{\"progname\":\"t\"},[{\"name\":\"/r\",\"dsize\":4096},[{\"name\":\"s\"}");
    const QString wrong = Write("wrong.json", "[2,0,{},[{\"name\":\"/r\"}]]");
    const QString fifo = File("fifo.json");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString other = Write("other.json", "{\"not\": \"a scan\"}");
    // Each in words, with the place where the reading stopped (a gzip file cut short is
    // scanfile-test.sh's).
    const QString cutShort = QStringLiteral("The file ends before the scan does (cut short?) (at byte %1).");
    const struct {
      QString File;
      QString Reason;
    } cases[] = {
        {cut, cutShort.arg(QFileInfo(cut).size())},
        {other, QStringLiteral("This is not a scan file: it does not start as one (at byte 0).")},
        {wrong, QStringLiteral("Not a scan file of major version 1")},
        {File("missing.json"), QStringLiteral("Cannot open: No such file or directory.")},
        // A FIFO that nobody writes to would keep the reading waiting for good.
        {fifo, QStringLiteral("Not a regular file.")},
        {File(""), QStringLiteral("It is a folder, not a scan file.")},
    };
    Desktop.Boxes.clear();
    for (const auto& c : cases) {
      Desktop.OpenFileNames << c.File;
      ClickMenu(*Form, Action("OpenScan1"));
      QTRY_COMPARE_WITH_TIMEOUT(Desktop.Boxes.size(), size_t{1}, Timeout);
      const QString box = Desktop.BoxTexts().front();
      QVERIFY2(box.startsWith(QStringLiteral("Error|The scan file %1 could not be opened. %2").arg(c.File, c.Reason)), qPrintable(box));
      QCOMPARE(V().TreeViewDirectories->topLevelItemCount(), 0);
      QVERIFY(Idle(*Form));
      Desktop.Boxes.clear();
    }
  }

  // A scan made elsewhere: its folders are shown, copied as named, but not handed to the desktop.
  void exploreRefusesAFolderThatIsNotHere() {
    const QString path = Write(
        "elsewhere.json", "[1,2,{\"progname\":\"t\"},[{\"name\":\"/no/such/ostrel-place\",\"dsize\":4096,\"dev\":1,\"ino\":2},"
        "[{\"name\":\"sub\",\"dsize\":4096,\"ino\":3},{\"name\":\"f\",\"asize\":900,\"dsize\":4096}]]]");
    MakeForm({"ostrel", "-f", QFile::encodeName(path).toStdString()});
    QVERIFY(WaitForScans(*Form, 1));
    QTreeWidget* tree = V().TreeViewDirectories;
    ClickItem(*Form, tree->topLevelItem(0)->child(0)->child(0));
    QCOMPARE(Form->CurrentPath(), std::string("/no/such/ostrel-place/sub"));
    QTest::mouseClick(V().ButtonExplore, Qt::LeftButton);
    QCOMPARE(Desktop.BoxTexts(), QStringList{"Error|The folder /no/such/ostrel-place/sub is not on this computer, so it "
                                             "cannot be shown. It is in the scan opened from " + path + "."});
    QVERIFY(Desktop.Opened.isEmpty());
    QTest::mouseClick(V().ButtonCopy, Qt::LeftButton);
    QCOMPARE(Desktop.Clipboard, QList<QByteArray>{"/no/such/ostrel-place/sub"});

    // A root named relatively, as a scan made in another working folder names it: a folder of
    // that name under the window's working folder is not the scanned one.
    const QString relative = Write("relative.json",
                                       "[1,2,{},[{\"name\":\"here\",\"dsize\":4096},[{\"name\":\"sub\",\"dsize\":4096}]]]");
    QVERIFY(QDir(File("")).mkpath(QStringLiteral("here/sub")));
    struct TWorkingFolder {
      const QString Before = QDir::currentPath();
      ~TWorkingFolder() { QDir::setCurrent(Before); }
    } restore;
    QVERIFY(QDir::setCurrent(File("")));
    MakeForm({"ostrel", "-f", QFile::encodeName(relative).toStdString()});
    QVERIFY(WaitForScans(*Form, 1));
    ClickItem(*Form, V().TreeViewDirectories->topLevelItem(0)->child(0)->child(0));
    QCOMPARE(Form->CurrentPath(), std::string("here/sub"));
    Desktop.Boxes.clear();
    QTest::mouseClick(V().ButtonExplore, Qt::LeftButton);
    QCOMPARE(Desktop.BoxTexts(), QStringList{"Error|The folder here/sub is not on this computer, so it cannot be shown. "
                                             "It is in the scan opened from " + relative +
                                             ". Its path is relative to the folder that scan was made in."});
    QVERIFY(Desktop.Opened.isEmpty());
  }

  // The file comes through a pipe that the test feeds: while the reading waits for more, the
  // window counts the folders read and takes a Stop; what was read is then shown as a stopped
  // scan's part.
  void loadRunsBesideTheGuiAndStops() {
    const std::string fifo = File("pipe").toStdString();
    QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
    constexpr int Batch = 20000;  // folders: several of the reader's buffers, several stop checks
    std::promise<void> go;
    std::thread writer([&fifo, more = go.get_future()]() mutable {
      const int fd = ::open(fifo.c_str(), O_WRONLY);
      if (fd < 0) return;
      auto put = [fd](const std::string& text) { return ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()); };
      auto folders = [&](int from) {
        std::string text;
        for (int i = from; i < from + Batch; ++i)
          text += ",[{\"name\":\"d" + std::to_string(i) + "\",\"dsize\":4096,\"ino\":" + std::to_string(i + 10) + "}]";
        return put(text);
      };
      if (put("[1,2,{},[{\"name\":\"/piped\",\"dsize\":4096,\"dev\":1,\"ino\":2}") && folders(0)) {
        more.wait();
        if (folders(Batch)) put("]]");
      }
      ::close(fd);
    });
    MakeForm({"ostrel", "-f", fifo});
    Form->ScanFilesRegularOnly = false;
    // The reading waits for the writer's next word; the window goes on and shows the count.
    QTRY_VERIFY_WITH_TIMEOUT(V().LabelCount->text().toInt() > 0, Timeout);
    QVERIFY(V().ButtonStop->isVisible());
    QCOMPARE(V().LabelScanned->text(), QStringLiteral("Folders Read:"));
    QCOMPARE(V().TreeViewDirectories->topLevelItemCount(), 0);
    Desktop.AnswerYes = true;
    QTest::mouseClick(V().ButtonStop, Qt::LeftButton);
    go.set_value();
    QVERIFY(WaitForScans(*Form, 1));
    writer.join();
    const int shown = V().TreeViewDirectories->topLevelItem(0)->child(0)->childCount();
    QVERIFY2(shown > 0 && shown < 2 * Batch, qPrintable(QString::number(shown)));
    // The part read says so where the user looks.
    QTreeWidgetItem* top = V().TreeViewDirectories->topLevelItem(0);
    QVERIFY(!top->icon(0).isNull());
    QCOMPARE(top->data(0, Qt::ToolTipRole).toString(), QStringLiteral("Stopped: the scan is incomplete"));
    QCOMPARE(V().StatusBar1->PanelText(3), QStringLiteral("Stopped after %1 folders").arg(shown + 1));
    QVERIFY(Desktop.BoxTexts().size() == 1);  // the Stop question alone
  }

  // Sparse files whose sizes add up past 2^64 - 1: the totals stop there, exact to the byte
  // below it, and the fourth panel says so beside what could not be read.
  void totalsPastTheLargestSizeAreSaidToBeCapped() {
    const QString path = Write("huge.json",
                                   "[1,2,{},[{\"name\":\"/r\",\"dsize\":4096},"
                                   "[{\"name\":\"big\"},{\"name\":\"a\",\"dsize\":9223372036854775808},"
                                   "{\"name\":\"b\",\"dsize\":9223372036854775808}],"
                                   "[{\"name\":\"exact\"},{\"name\":\"c\",\"dsize\":9007199254740993},"
                                   "{\"name\":\"d\",\"dsize\":9007199254740993}],"
                                   "[{\"name\":\"locked\",\"read_error\":true,\"errno\":13}]]]");
    MakeForm({"ostrel", "-f", QFile::encodeName(path).toStdString()});
    QVERIFY(WaitForScans(*Form, 1));
    QCOMPARE(V().StatusBar1->PanelText(3),
             QStringLiteral("1 folder could not be read; totals past 16 EiB are capped"));
    QVERIFY(V().StatusBar1->Panel(3)->toolTip().contains(QStringLiteral("18446744073709551615")));
    ClickItem(*Form, V().TreeViewDirectories->topLevelItem(0)->child(0));
    QCOMPARE(Total(*Form), QStringLiteral("17592186044416.0 MB"));
    QCOMPARE(PointTexts(*Form), (QStringList{"big=18446744073709551615", "exact=18014398509481986", "locked=0"}));
  }

 private:
  void MakeForm(std::vector<std::string> args) {
    OpenWindow(std::move(args)).ScanDriveSource = [root = Tree.Root()] { return test::OneDrive(root); };
    Form->show();
  }

  QAction* Action(const char* name) const { return Form->findChild<QAction*>(QLatin1String(name)); }

  // Scan files, the test's and the window's, under "files".
  QString File(const char* name) const { return QString::fromStdString(Tree.Path(std::string("files/") + name)); }
  QString Write(const char* name, const std::string& bytes) { return QString::fromStdString(Tree.Write(std::string("files/") + name, bytes)); }

  test::TempTree Tree;
};

OSTREL_MAINWIN_TEST_MAIN(TestFmainScanfile, ostrel::TApplication)

#include "test_fmain_scanfile.moc"
