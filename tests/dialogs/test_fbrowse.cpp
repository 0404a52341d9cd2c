// The select-directory and create-directory dialogs, driven as a user would on a real
// temporary tree: the caller's buffer after Ok and Cancel, drives, and Create Directory.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <tuple>

#include "controls/dirlistbox.h"
#include "controls/drivecombo.h"
#include "dialogs/fbrowse.h"
#include "dialogs/fmkdir.h"
#include "platform/files.h"
#include "tests/dialogs/dialogtest.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/fixture.h"

using namespace ostrel;

namespace {

// A caller's path buffer with guard bytes behind it.
struct TGuardedPath {
  char Text[PathBufferSize];
  char Guard[16];
  explicit TGuardedPath(const std::string& start) {
    std::memset(Guard, 'G', sizeof Guard);
    std::snprintf(Text, sizeof Text, "%s", start.c_str());
  }
  bool GuardIntact() const { return std::all_of(std::begin(Guard), std::end(Guard), [](char c) { return c == 'G'; }); }
};

}  // namespace

class TestFormBrowse : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::TempTree> Tree;
  std::unique_ptr<test::TFakeDesktop> Desktop;
  std::string Root;
  QString SavedCurrent;

  std::unique_ptr<TFormBrowse> Open(char* path) {
    auto dialog = std::make_unique<TFormBrowse>(*Desktop, nullptr, path);
    dialog->show();
    return dialog;
  }
  QString Text(const char* rel) const { return QString::fromStdString(Root + rel); }

 private slots:
  void init() {
    Tree = std::make_unique<test::TempTree>();
    Desktop = std::make_unique<test::TFakeDesktop>();
    for (const char* dir : {"a/b/c", "work", "caf\xe9"}) Tree->Dir(dir);
    char* real = realpath(Tree->Root().c_str(), nullptr);
    Root = real;
    std::free(real);
    SavedCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(Text("/work")));
  }
  void cleanup() {
    QDir::setCurrent(SavedCurrent);
    Tree.reset();
  }

  // An existing folder, none, a missing one (both: the working folder).
  void startsInTheGivenFolderOrElseTheWorkingFolder() {
    const std::pair<const char*, const char*> cases[] = {{"/a/b", "/a/b"}, {"", "/work"}, {"/a/none", "/work"}};
    for (const auto& [start, shown] : cases) {
      TGuardedPath path(*start ? Root + start : std::string());
      auto dialog = Open(path.Text);
      QCOMPARE(dialog->FReady, 1);
      QCOMPARE(dialog->DirListBrowse->Directory(), Root + shown);
      QCOMPARE(dialog->EditBrowseName->text(), Text(shown));
      QCOMPARE(RootHolding({dialog->DriveComboBrowse->Drive()}, Root), 0);
    }
  }

  // Ok, Enter, Cancel, Escape, closing.
  void okReturnsTheEditCancelLeavesTheBuffer() {
    for (int how = 0; how < 5; ++how) {
      TGuardedPath path(Root + "/a");
      auto dialog = Open(path.Text);
      dialog->EditBrowseName->clear();
      QTest::keyClicks(dialog->EditBrowseName, "/no/such/place");  // returned unchecked
      if (how == 0) QTest::mouseClick(dialog->Button2, Qt::LeftButton);
      if (how == 1) QTest::keyClick(dialog->EditBrowseName, Qt::Key_Return);
      if (how == 2) QTest::mouseClick(dialog->Button3, Qt::LeftButton);
      if (how == 3) QTest::keyClick(dialog->EditBrowseName, Qt::Key_Escape);
      if (how == 4) dialog->close();
      QCOMPARE(dialog->result(), how < 2 ? ModalOk : ModalCancel);
      QCOMPARE(QByteArray(path.Text), how < 2 ? QByteArray("/no/such/place") : Text("/a").toUtf8());
    }
  }

  void okCutsALongTextAndKeepsBytesExact() {
    TGuardedPath path(Root + "/caf\xe9");
    auto dialog = Open(path.Text);
    path.Text[0] = '\0';
    QTest::mouseClick(dialog->Button2, Qt::LeftButton);
    QCOMPARE(QByteArray(path.Text), QByteArray::fromStdString(Root + "/caf\xe9"));

    dialog = Open(path.Text);
    dialog->EditBrowseName->setText(QString(1500, 'x'));
    QTest::mouseClick(dialog->Button2, Qt::LeftButton);
    QCOMPARE(std::strlen(path.Text), size_t(PathBufferSize - 1));
    QVERIFY(path.GuardIntact());
  }

  void anotherDriveShowsItsRootAndOneThatCannotBeEnteredChangesNothing() {
    TGuardedPath path(Root + "/a/b");
    auto dialog = Open(path.Text);
    dialog->DriveComboBrowse->SetDrives({{"/", DriveFixed, false}, {Root, DriveFixed, false}, {Root + "/gone", DriveCdRom, false}});
    dialog->DriveComboBrowse->setCurrentIndex(1);
    QCOMPARE(dialog->DirListBrowse->Directory(), Root);
    QCOMPARE(dialog->EditBrowseName->text(), Text(""));
    dialog->DriveComboBrowse->setCurrentIndex(2);
    QCOMPARE(dialog->DirListBrowse->Directory(), Root);
    QCOMPARE(dialog->DriveComboBrowse->Drive(), Root);
    QCOMPARE(QApplication::topLevelWidgets().size(), qsizetype(1));  // no message box
  }

  // Made and entered, cancelled, cannot be made, already there; each on a fresh tree.
  void createDirectory() {
    const std::tuple<QString, bool, const char*, QString, int> cases[] = {  // name, Ok, shown after, box, error
        {"New", true, "/a/New", "", 0},
        {"New", false, "/a", "", 0},
        {"x/y", true, "/a", "Error|Could not create the folder %1/a/x/y: %2", ENOENT},
        {"b", true, "/a/b", "Error|Could not create the folder %1/a/b: %2", EEXIST}};
    for (const auto& [name, ok, listAfter, box, error] : cases) {
      cleanup();
      init();
      TGuardedPath path(Root + "/a");
      auto dialog = Open(path.Text);
      Desktop->AnswerDialog = [&, name = name, ok = ok](QDialog& modal) {
        auto* mkdir = qobject_cast<TFormMkdir*>(&modal);
        if (!mkdir) return -1;
        mkdir->show();
        QTest::keyClicks(mkdir->EditCreateDir, name);
        QTest::mouseClick(ok ? mkdir->Button1 : mkdir->Button2, Qt::LeftButton);
        return mkdir->result();
      };
      QTest::mouseClick(dialog->Button1, Qt::LeftButton);
      // A folder that cannot be made says so, over this dialog, and names the folder.
      QCOMPARE(Desktop->BoxTexts(), box.isEmpty() ? QStringList() : QStringList{box.arg(Text(""), QString::fromLocal8Bit(std::strerror(error)))});
      if (!box.isEmpty()) QCOMPARE(Desktop->Boxes.front().Owner, dialog.get());
      QCOMPARE(FolderExists((Root + "/a/New").c_str()), std::string(listAfter) == "/a/New");
      QCOMPARE(dialog->DirListBrowse->Directory(), Root + listAfter);
      QCOMPARE(dialog->EditBrowseName->text(), Text(listAfter));
      QVERIFY(dialog->isVisible());
      QCOMPARE(QByteArray(path.Text), Text("/a").toUtf8());
    }
  }

  // Escape keeps the buffer; Enter writes it, a long name cut to fit.
  void mkdirWritesTheNameOnlyOnOk() {
    for (bool ok : {false, true}) {
      char name[MkdirNameSize + 8];
      std::memset(name, 'G', sizeof name);
      std::strcpy(name, "before");
      TFormMkdir dialog(nullptr, name);
      dialog.show();
      QTest::keyClicks(dialog.EditCreateDir, QString(300, 'n'));
      QTest::keyClick(dialog.EditCreateDir, ok ? Qt::Key_Return : Qt::Key_Escape);
      QCOMPARE(dialog.result(), ok ? ModalOk : ModalCancel);
      QCOMPARE(QByteArray(name), ok ? QByteArray(MkdirNameSize - 1, 'n') : QByteArray("before"));
      QCOMPARE(name[MkdirNameSize], 'G');
    }
  }

  // In the system font and a larger one. The edit covered the colon of "Directory:": a click
  // there went into the edit.
  void theEditLeavesTheLabelWhole() {
    for (double scale : {1.0, 1.5}) {
      const QFont saved = QApplication::font();
      QFont font = saved;
      font.setPointSizeF(saved.pointSizeF() * scale);
      QApplication::setFont(font);
      TGuardedPath path(Root + "/a");
      auto dialog = Open(path.Text);
      QApplication::setFont(saved);
      QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
      const QRect label = dialog->Label1->geometry();
      QVERIFY(label.width() >= dialog->Label1->sizeHint().width());
      const QRect edit = dialog->EditBrowseName->geometry();
      QVERIFY(!label.intersects(edit));
      QCOMPARE(edit.right(), dialog->DirListBrowse->geometry().right());
      const QPoint colon(label.left() + dialog->Label1->fontMetrics().horizontalAdvance("Directory") + 1, label.center().y());
      QCOMPARE(dialog->childAt(colon), dialog->Label1);
      QTest::mouseClick(dialog.get(), Qt::LeftButton, Qt::NoModifier, colon);
      QVERIFY(!dialog->EditBrowseName->hasFocus());
    }
  }

  void looksRight() {
    TGuardedPath path(Root + "/a/b");
    auto browse = Open(path.Text);
    QCOMPARE(browse->windowTitle(), QString("Select Directory"));
    QCOMPARE(test::TabOrder(browse->DirListBrowse),
             (QStringList{"DirListBrowse", "DriveComboBrowse", "Button1", "Button2", "Button3", "EditBrowseName"}));
    TFormMkdir mkdir(nullptr, nullptr);
    mkdir.show();
    QCOMPARE(mkdir.windowTitle(), QString("Create Directory"));
    QVERIFY(mkdir.Label1->geometry().right() < mkdir.width());  // the prompt is never cut off
  }
};

QTEST_MAIN(TestFormBrowse)
#include "test_fbrowse.moc"
