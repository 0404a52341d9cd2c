// The folder list on a real temporary tree: ancestors then sorted subfolders, moving by
// double-click and Enter, and folders that cannot be entered.
#include <QApplication>
#include <QSignalSpy>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "controls/dirlistbox.h"
#include "tests/support/fixture.h"

using namespace ostrel;

namespace {

// Each line as its indent (one space a level) and its text.
QStringList Lines(const TDirectoryListBox& box) {
  QStringList lines;
  for (int i = 0; i < box.count(); ++i)
    lines << QString(box.item(i)->data(TDirectoryListBox::LevelRole).toInt(), ' ') + box.item(i)->text();
  return lines;
}

void DoubleClick(TDirectoryListBox& box, const QString& text) {
  const QList<QListWidgetItem*> found = box.findItems(text, Qt::MatchExactly);
  QVERIFY(!found.isEmpty());
  const QPoint at = box.visualItemRect(found.first()).center();
  QTest::mouseClick(box.viewport(), Qt::LeftButton, Qt::NoModifier, at);  // a double click follows a press
  QTest::mouseDClick(box.viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

}  // namespace

class TestDirListBox : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::TempTree> Tree;
  std::string Root;  // the tree's resolved root, the only drive root
  QString RootText;
  std::unique_ptr<TDirectoryListBox> Box;

 private slots:
  void init() {
    Tree = std::make_unique<test::TempTree>();
    for (const char* dir : {"a/b/c", "a/Zeta", "a/alpha", "a/Beta", "a/caf\xe9"}) Tree->Dir(dir);
    Tree->File("a/file.txt", 10);
    Tree->Link("a/link", "b");
    char* real = realpath(Tree->Root().c_str(), nullptr);
    Root = real;
    std::free(real);
    RootText = QString::fromStdString(Root);
    Box = std::make_unique<TDirectoryListBox>(nullptr, [root = Root] {
      return std::vector<TDrive>{{root, DriveFixed, false}};
    });
    QVERIFY(Box->SetDirectory(Root + "/a"));
    Box->resize(345, 300);
    Box->show();
    QVERIFY(QTest::qWaitForWindowExposed(Box.get()));
  }
  void cleanup() {
    Box.reset();
    Tree.reset();
  }

  void showsAncestorsThenSortedSubfoldersAndMoves() {
    QCOMPARE(Lines(*Box), (QStringList{RootText, " a", "  alpha", "  b", "  Beta", "  caf\xef\xbf\xbd", "  Zeta"}));
    QCOMPARE(Box->currentItem()->text(), QString("a"));
    QCOMPARE(Box->item(5)->data(TDirectoryListBox::PathRole).toByteArray(), QByteArray::fromStdString(Root + "/a/caf\xe9"));
    QCOMPARE(Box->visualItemRect(Box->item(3)).height(), 16);

    QSignalSpy changes(Box.get(), &TDirectoryListBox::DirectoryChanged);
    DoubleClick(*Box, "b");
    QCOMPARE(Box->Directory(), Root + "/a/b");
    QCOMPARE(Lines(*Box), (QStringList{RootText, " a", "  b", "   c"}));
    Box->setCurrentRow(0);
    QTest::keyClick(Box.get(), Qt::Key_Return);
    QCOMPARE(Lines(*Box), (QStringList{RootText, " a"}));
    QCOMPARE(changes.count(), 2);

    QVERIFY(Box->SetDirectory(Root + "//a/./b/c/../"));
    QCOMPARE(Box->Directory(), Root + "/a/b");
    QVERIFY(Box->SetDirectory(Root + "/a/link"));
    QCOMPARE(Box->Directory(), Root + "/a/b");
  }

  // A missing folder, a file, a folder gone after the listing, an unreadable one (not as root,
  // who can still list it).
  void aFolderThatCannotBeEnteredLeavesTheListAsItWas() {
    for (const char* target : {"/a/none", "/a/file.txt", "Beta", "alpha"}) {
      const bool unreadable = std::string(target) == "alpha";
      if (unreadable && test::PermissionsBypassed()) continue;
      const QStringList before = Lines(*Box);
      QSignalSpy changes(Box.get(), &TDirectoryListBox::DirectoryChanged);
      if (target[0] == '/') {
        QVERIFY(!Box->SetDirectory(Root + target));
      } else {
        const std::string path = Root + "/a/" + target;
        QVERIFY(unreadable ? chmod(path.c_str(), 0) == 0 : rmdir(path.c_str()) == 0);
        DoubleClick(*Box, QString(target));
      }
      QCOMPARE(Lines(*Box), before);
      QCOMPARE(Box->Directory(), Root + "/a");
      QCOMPARE(changes.count(), 0);
      QCOMPARE(QApplication::topLevelWidgets().size(), qsizetype(1));  // no message box
    }
  }

  void startsInTheWorkingFolderUnderItsMountPoint() {
    const QString saved = QDir::currentPath();
    QVERIFY(QDir::setCurrent(RootText + "/a/b"));
    TDirectoryListBox fresh;
    QDir::setCurrent(saved);
    QCOMPARE(fresh.Directory(), Root + "/a/b");
    const QByteArray top = fresh.item(0)->data(TDirectoryListBox::PathRole).toByteArray();
    QVERIFY((Root + "/a/b").starts_with(top.toStdString()));
  }
};

QTEST_MAIN(TestDirListBox)
#include "test_dirlistbox.moc"
