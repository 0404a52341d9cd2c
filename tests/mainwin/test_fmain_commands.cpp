// The main window's commands, driven through its buttons, link label and menu items: the
// no-folder message, the clipboard, the folder and pages handed to the desktop (recorded, never
// opened), the manual, and the two dialogs (run through the modal seam, never exec()).
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>
#include <string>

#include "controls/htmllabel.h"
#include "dialogs/fabout.h"
#include "dialogs/fprefs.h"
#include "docs/viewdoc.h"
#include "docs/weblinks.h"
#include "mainwin/fmain.h"
#include "mainwin_support.h"
#include "scan/scansettings.h"

using namespace ostrel;

namespace {

const QString NoFolderText = QStringLiteral(
    "Please navigate the tree view (or pie chart) to a subdirectory on your hard drive first. It has "
    "to be a physical directory (i.e. like c:\\), and not virtual folder like \"My Computer\". ");

QString ClipboardText() { return QGuiApplication::clipboard()->text(); }

}  // namespace

class TestFmainCommands : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void copyAndExploreNeedAFolder();
  void copyAndExploreKeepThePathsBytes();
  void helpAndUsersManualOpenTheManual();
  void webLinksOpenTheMakersPages();
  void preferencesOkSavesCancelDoesNot();
  void aboutIsOwnedByTheWindow();

 private:
  std::unique_ptr<test::TTempStore> Store;
  std::unique_ptr<TForm1> Form;
  QList<QUrl> Opened;
  QStringList Boxes;  // "caption|text"
  QString OldCurrent;
};

void TestFmainCommands::init() {
  Store = std::make_unique<test::TTempStore>();
  Opened.clear();
  Boxes.clear();
  SetShellOpenHook([this](const QUrl& url) { Opened << url; });
  SetMessageBoxHook([this](QMessageBox& box) {
    QCOMPARE(box.icon(), QMessageBox::NoIcon);
    QCOMPARE(box.standardButtons(), QMessageBox::Ok);
    QVERIFY(!box.parentWidget());
    Boxes << box.windowTitle() + QLatin1Char('|') + box.text();
  });
  OldCurrent = QDir::currentPath();
  Form = std::make_unique<TForm1>(std::vector<std::string>{"ostrel"});
  Form->TimerLoad->stop();  // no wizard: each case starts what it needs itself
  Form->show();
  QGuiApplication::clipboard()->setText(QStringLiteral("held before"));
}

void TestFmainCommands::cleanup() {
  Form.reset();
  SetModalHook({});
  SetShellOpenHook({});
  SetMessageBoxHook({});
  QDir::setCurrent(OldCurrent);
  Store.reset();
}

// Right after start-up, before any scan has finished, no folder is selected.
void TestFmainCommands::copyAndExploreNeedAFolder() {
  QVERIFY(Form->CurrentDir.empty());
  QTest::mouseClick(Form->ButtonCopy, Qt::LeftButton);
  QCOMPARE(Boxes, QStringList{"Error|" + NoFolderText});
  QCOMPARE(ClipboardText(), QString("held before"));
  QTest::mouseClick(Form->ButtonExplore, Qt::LeftButton);
  QCOMPARE(Boxes.size(), 2);
  QCOMPARE(Boxes.last(), Boxes.first());
  QVERIFY(Opened.isEmpty());
}

void TestFmainCommands::copyAndExploreKeepThePathsBytes() {
  Form->CurrentDir = "/srv/caf\xc3\xa9 & co/50%";
  QTest::mouseClick(Form->ButtonCopy, Qt::LeftButton);
  QCOMPARE(ClipboardText(), QString::fromUtf8("/srv/café & co/50%"));
  QTest::mouseClick(Form->ButtonExplore, Qt::LeftButton);
  QCOMPARE(Opened.size(), 1);
  QVERIFY(Opened[0].isLocalFile());
  QCOMPARE(Opened[0].toLocalFile(), QString::fromUtf8("/srv/café & co/50%"));

  // Bytes that are no UTF-8 reach the desktop unchanged.
  const QByteArray odd("/srv/\xff\xfe-old");
  Form->CurrentDir = odd.toStdString();
  QTest::mouseClick(Form->ButtonExplore, Qt::LeftButton);
  QCOMPARE(Opened.size(), 2);
  QCOMPARE(QByteArray::fromPercentEncoding(Opened[1].path(QUrl::FullyEncoded).toLatin1()), odd);
  QTest::mouseClick(Form->ButtonCopy, Qt::LeftButton);
  QCOMPARE(ClipboardText(), QFile::decodeName(odd));
  QVERIFY(Boxes.isEmpty());
}

void TestFmainCommands::helpAndUsersManualOpenTheManual() {
  QTemporaryDir start, elsewhere;
  QVERIFY(QDir::setCurrent(elsewhere.path()));
  Form->StartDir = QFile::encodeName(start.path()).toStdString();

  // Neither folder nor the test program's own holds a manual.
  QTest::mouseClick(Form->ButtonHelp, Qt::LeftButton);
  Form->UsersManual1->trigger();
  QCOMPARE(Boxes, QStringList(2, "error|Unable to find documentation"));
  QVERIFY(Opened.isEmpty());

  // The start-up folder is looked at first, not the folder that is current now.
  for (const QString& path : {start.filePath("ostrel.htm"), elsewhere.filePath("ostrel.html")}) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
  }
  QTest::mouseClick(Form->ButtonHelp, Qt::LeftButton);
  Form->UsersManual1->trigger();
  const QUrl manual = QUrl::fromLocalFile(start.filePath("ostrel.htm"));
  QCOMPARE(Opened, (QList<QUrl>{manual, manual}));
  QCOMPARE(Boxes.size(), 2);
}

void TestFmainCommands::webLinksOpenTheMakersPages() {
  QTest::mouseClick(Form->HtmlLabel2, Qt::LeftButton);
  Form->VisitPelworthformoreShareware1->trigger();
  Form->Checkwebforupdatedversion1->trigger();
  QCOMPARE(Opened, (QList<QUrl>{QUrl(MakerHomePage), QUrl(MakerHomePage), QUrl(ProgramPage)}));
  QCOMPARE(QUrl(ProgramPage), QUrl(MakerHomePage).resolved(QUrl("ostrel/")));
}

void TestFmainCommands::preferencesOkSavesCancelDoesNot() {
  for (bool ok : {false, true}) {
    ScanSettings.combineother = 1;
    int runs = 0;
    SetModalHook([&](QDialog& dialog) {
      ++runs;
      auto* prefs = qobject_cast<TFormPreferences*>(&dialog);
      if (!prefs) return ModalCancel;
      [&] {
        QCOMPARE(dialog.parentWidget(), Form.get());
        QVERIFY(prefs->CheckBoxCombineOther->isChecked());
      }();
      QTest::mouseClick(prefs->CheckBoxCombineOther, Qt::LeftButton);
      QTest::mouseClick(ok ? prefs->ButtonOk : prefs->ButtonCancel, Qt::LeftButton);
      return dialog.result();
    });
    Form->Preferences1->trigger();
    QCOMPARE(runs, 1);
    QCOMPARE(ScanSettings.combineother, ok ? 0 : 1);
  }
}

void TestFmainCommands::aboutIsOwnedByTheWindow() {
  QStringList shown;
  SetModalHook([&](QDialog& dialog) {
    if (qobject_cast<TFormAbout*>(&dialog) && dialog.parentWidget() == Form.get())
      shown << dialog.windowTitle();
    return ModalOk;
  });
  Form->About1->trigger();
  QCOMPARE(shown, QStringList{"About Ostrel"});
  QVERIFY(Boxes.isEmpty() && Opened.isEmpty());
}

OSTREL_MAINWIN_TEST_MAIN(TestFmainCommands, TApplication)
#include "test_fmain_commands.moc"
