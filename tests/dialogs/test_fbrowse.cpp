// The select-directory and create-directory dialogs, driven as a user would on a real
// temporary tree: the caller's buffer after Ok and Cancel, drives, and Create Directory.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "controls/dirlistbox.h"
#include "controls/drivecombo.h"
#include "dialogs/fbrowse.h"
#include "dialogs/fmkdir.h"
#include "platform/files.h"
#include "tests/dialogs/screenshot.h"
#include "tests/support/fixture.h"

using namespace ostrel;

namespace {

std::string RealPath(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  std::string result = real ? real : "";
  std::free(real);
  return result;
}

// A caller's path buffer with guard bytes behind it.
struct TGuardedPath {
  char Text[PathBufferSize];
  char Guard[16];
  explicit TGuardedPath(const std::string& start) {
    std::memset(Guard, 'G', sizeof Guard);
    std::snprintf(Text, sizeof Text, "%s", start.c_str());
  }
  bool GuardIntact() const {
    for (char c : Guard)
      if (c != 'G') return false;
    return true;
  }
};

// Answers the create-directory dialog by typing `name` and pressing Ok, or Cancel.
TModalHook AnswerMkdir(const QString& name, bool ok) {
  return [name, ok](QDialog& dialog) {
    auto* mkdir = qobject_cast<TFormMkdir*>(&dialog);
    if (!mkdir) return -1;
    mkdir->show();
    QTest::keyClicks(mkdir->EditCreateDir, name);
    QTest::mouseClick(ok ? mkdir->Button1 : mkdir->Button2, Qt::LeftButton);
    return mkdir->result();
  };
}

}  // namespace

class TestFormBrowse : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::TempTree> Tree;
  std::string Root;
  QString SavedCurrent;

  std::unique_ptr<TFormBrowse> Open(char* path) {
    auto dialog = std::make_unique<TFormBrowse>(nullptr, path);
    dialog->show();
    return dialog;
  }

 private slots:
  void init() {
    Tree = std::make_unique<test::TempTree>();
    Tree->Dir("a/b/c");
    Tree->Dir("work");
    Tree->Dir("caf\xe9");
    Root = RealPath(Tree->Root());
    SavedCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(QString::fromStdString(Root + "/work")));
    SetModalHook({});
  }
  void cleanup() {
    SetModalHook({});
    QDir::setCurrent(SavedCurrent);
    Tree.reset();
  }

  void startsInAnExistingFolder() {
    TGuardedPath path(Root + "/a/b");
    auto dialog = Open(path.Text);
    QCOMPARE(dialog->FReady, 1);
    QCOMPARE(dialog->DirListBrowse->Directory(), Root + "/a/b");
    QCOMPARE(dialog->EditBrowseName->text(), QString::fromStdString(Root + "/a/b"));
    const std::string drive = dialog->DriveComboBrowse->Drive();
    QVERIFY(!drive.empty());
    QCOMPARE(RootHolding({drive}, Root), 0);
    QCOMPARE(dialog->windowTitle(), QString("Select Directory"));
    QVERIFY(test::SaveScreenshot(*dialog, "fbrowse"));
  }

  void startsInTheWorkingFolderOtherwise_data() {
    QTest::addColumn<QByteArray>("start");
    QTest::newRow("empty") << QByteArray("");
    QTest::newRow("missing") << QByteArray("/no/such/folder");
    QTest::newRow("missing below the tree") << QByteArray("a/none");
    QTest::newRow("a file") << QByteArray("/proc/self/status");
  }
  void startsInTheWorkingFolderOtherwise() {
    QFETCH(QByteArray, start);
    TGuardedPath path(start.toStdString());
    auto dialog = Open(path.Text);
    QCOMPARE(dialog->DirListBrowse->Directory(), Root + "/work");
    QCOMPARE(dialog->EditBrowseName->text(), QString::fromStdString(Root + "/work"));
    auto none = std::make_unique<TFormBrowse>(nullptr, nullptr);
    QCOMPARE(none->DirListBrowse->Directory(), Root + "/work");
  }

  void okReturnsTheTypedTextUnchecked() {
    TGuardedPath path(Root + "/a");
    auto dialog = Open(path.Text);
    dialog->EditBrowseName->clear();
    QTest::keyClicks(dialog->EditBrowseName, "/no/such/place");
    QTest::mouseClick(dialog->Button2, Qt::LeftButton);
    QCOMPARE(dialog->result(), ModalOk);
    QCOMPARE(QByteArray(path.Text), QByteArray("/no/such/place"));
  }

  void enterInTheEditPressesOk() {
    TGuardedPath path(Root + "/a");
    auto dialog = Open(path.Text);
    dialog->EditBrowseName->setFocus();
    QTest::keyClick(dialog->EditBrowseName, Qt::Key_Return);
    QCOMPARE(dialog->result(), ModalOk);
    QCOMPARE(QByteArray(path.Text), QByteArray::fromStdString(Root + "/a"));
  }

  void okKeepsANameThatIsNotUtf8ByteExact() {
    TGuardedPath path(Root + "/caf\xe9");
    auto dialog = Open(path.Text);
    QCOMPARE(dialog->DirListBrowse->Directory(), Root + "/caf\xe9");
    path.Text[0] = '\0';
    QTest::mouseClick(dialog->Button2, Qt::LeftButton);
    QCOMPARE(QByteArray(path.Text), QByteArray::fromStdString(Root + "/caf\xe9"));
  }

  void cancelEscapeAndCloseLeaveTheBuffer_data() {
    QTest::addColumn<int>("how");
    QTest::newRow("Cancel") << 0;
    QTest::newRow("Escape") << 1;
    QTest::newRow("close") << 2;
  }
  void cancelEscapeAndCloseLeaveTheBuffer() {
    QFETCH(int, how);
    TGuardedPath path(Root + "/a");
    auto dialog = Open(path.Text);
    QTest::keyClicks(dialog->EditBrowseName, "/typed");
    if (how == 0) QTest::mouseClick(dialog->Button3, Qt::LeftButton);
    if (how == 1) QTest::keyClick(dialog.get(), Qt::Key_Escape);
    if (how == 2) dialog->close();
    QCOMPARE(dialog->result(), ModalCancel);
    QCOMPARE(QByteArray(path.Text), QByteArray::fromStdString(Root + "/a"));
  }

  void aLongTextIsCutToTheBuffer() {
    TGuardedPath path("");
    auto dialog = Open(path.Text);
    dialog->EditBrowseName->setText(QString(1500, 'x'));
    QTest::mouseClick(dialog->Button2, Qt::LeftButton);
    QCOMPARE(std::strlen(path.Text), size_t(PathBufferSize - 1));
    QVERIFY(path.GuardIntact());
  }

  void anotherDriveShowsItsRoot() {
    TGuardedPath path(Root + "/a/b");
    auto dialog = Open(path.Text);
    dialog->DriveComboBrowse->SetDrives({{"/", DriveFixed, false}, {Root, DriveFixed, false}});
    dialog->DriveComboBrowse->setCurrentIndex(1);
    QCOMPARE(dialog->DirListBrowse->Directory(), Root);
    QCOMPARE(dialog->EditBrowseName->text(), QString::fromStdString(Root));
    dialog->DriveComboBrowse->setCurrentIndex(0);
    QCOMPARE(dialog->DirListBrowse->Directory(), std::string("/"));
    QCOMPARE(dialog->EditBrowseName->text(), QString("/"));
  }

  void aDriveThatCannotBeEnteredChangesNothing() {
    TGuardedPath path(Root + "/a");
    auto dialog = Open(path.Text);
    dialog->DriveComboBrowse->SetDrives({{"/", DriveFixed, false}, {Root + "/gone", DriveCdRom, false}});
    dialog->DriveComboBrowse->SetDrive(Root + "/a");
    dialog->DriveComboBrowse->setCurrentIndex(1);
    QCOMPARE(dialog->DirListBrowse->Directory(), Root + "/a");
    QCOMPARE(dialog->DriveComboBrowse->Drive(), std::string("/"));
    QCOMPARE(dialog->EditBrowseName->text(), QString::fromStdString(Root + "/a"));
    QCOMPARE(QApplication::topLevelWidgets().size(), qsizetype(1));
  }

  void createDirectoryMakesTheFolderAndMovesThere() {
    TGuardedPath path(Root + "/a");
    auto dialog = Open(path.Text);
    SetModalHook(AnswerMkdir("New", true));
    QTest::mouseClick(dialog->Button1, Qt::LeftButton);
    QVERIFY(FolderExists((Root + "/a/New").c_str()));
    QCOMPARE(dialog->DirListBrowse->Directory(), Root + "/a/New");
    QCOMPARE(dialog->EditBrowseName->text(), QString::fromStdString(Root + "/a/New"));
    QVERIFY(dialog->isVisible());
    QCOMPARE(QByteArray(path.Text), QByteArray::fromStdString(Root + "/a"));
  }

  void createDirectoryCancelledChangesNothing() {
    TGuardedPath path(Root + "/a");
    auto dialog = Open(path.Text);
    SetModalHook(AnswerMkdir("New", false));
    QTest::mouseClick(dialog->Button1, Qt::LeftButton);
    QVERIFY(!FolderExists((Root + "/a/New").c_str()));
    QCOMPARE(dialog->DirListBrowse->Directory(), Root + "/a");
  }

  void aFolderThatCannotBeMadeLeavesTheListWhereItWas() {
    TGuardedPath path(Root + "/a");
    auto dialog = Open(path.Text);
    SetModalHook(AnswerMkdir("x/y", true));
    QSignalSpy moves(dialog->DirListBrowse, &TDirectoryListBox::DirectoryChanged);
    QTest::mouseClick(dialog->Button1, Qt::LeftButton);
    QCOMPARE(moves.count(), 0);
    QCOMPARE(dialog->DirListBrowse->Directory(), Root + "/a");
    QCOMPARE(dialog->EditBrowseName->text(), QString::fromStdString(Root + "/a"));
    QCOMPARE(QApplication::topLevelWidgets().size(), qsizetype(1));
  }

  void createDirectoryUsesTheTypedPath() {
    TGuardedPath path(Root + "/a");
    auto dialog = Open(path.Text);
    dialog->EditBrowseName->setText(QString::fromStdString(Root + "/a/b/"));
    SetModalHook(AnswerMkdir("Sub", true));
    QTest::mouseClick(dialog->Button1, Qt::LeftButton);
    QCOMPARE(dialog->DirListBrowse->Directory(), Root + "/a/b/Sub");
  }

  void mkdirOkWritesTheNameAndCancelDoesNot_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("Ok") << QString("New") << true << QByteArray("New");
    QTest::newRow("Cancel") << QString("New") << false << QByteArray("before");
    QTest::newRow("long name cut") << QString(300, 'n') << true << QByteArray(MkdirNameSize - 1, 'n');
  }
  void mkdirOkWritesTheNameAndCancelDoesNot() {
    QFETCH(QString, typed);
    QFETCH(bool, ok);
    QFETCH(QByteArray, expected);
    char name[MkdirNameSize + 8];
    std::memset(name, 'G', sizeof name);
    std::strcpy(name, "before");
    TFormMkdir dialog(nullptr, name);
    dialog.show();
    QTest::keyClicks(dialog.EditCreateDir, typed);
    QTest::mouseClick(ok ? dialog.Button1 : dialog.Button2, Qt::LeftButton);
    QCOMPARE(dialog.result(), ok ? ModalOk : ModalCancel);
    QCOMPARE(QByteArray(name), expected);
    QCOMPARE(name[MkdirNameSize], 'G');
  }

  void mkdirKeys() {
    TFormMkdir dialog(nullptr, nullptr);
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QString("Create Directory"));
    QVERIFY(test::SaveScreenshot(dialog, "fmkdir"));
    QTest::keyClick(dialog.EditCreateDir, Qt::Key_Return);
    QCOMPARE(dialog.result(), ModalOk);
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QCOMPARE(dialog.result(), ModalCancel);
    // The prompt is never cut off by the dialog's edge.
    QVERIFY(dialog.Label1->geometry().right() < dialog.width());
    QVERIFY(dialog.Label1->width() >= dialog.Label1->sizeHint().width());
  }
};

QTEST_MAIN(TestFormBrowse)
#include "test_fbrowse.moc"
