// The folder list on a real temporary tree: ancestors then sorted subfolders, moving by
// double-click and Enter, and folders that cannot be entered.
#include <QApplication>
#include <QDir>
#include <QSignalSpy>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "controls/dirlistbox.h"
#include "tests/support/fixture.h"

using namespace ostrel;

namespace {

std::string RealPath(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  std::string result = real ? real : "";
  std::free(real);
  return result;
}

QStringList Lines(const TDirectoryListBox& box) {
  QStringList lines;
  for (int i = 0; i < box.count(); ++i)
    lines << QString(box.item(i)->data(TDirectoryListBox::LevelRole).toInt(), ' ') + box.item(i)->text();
  return lines;
}

QListWidgetItem* Line(const TDirectoryListBox& box, const QString& text) {
  for (int i = 0; i < box.count(); ++i)
    if (box.item(i)->text() == text) return box.item(i);
  return nullptr;
}

void DoubleClick(TDirectoryListBox& box, QListWidgetItem* item) {
  QVERIFY(item);
  const QPoint at = box.visualItemRect(item).center();
  // The view acts on a double click only after the press that starts it.
  QTest::mouseClick(box.viewport(), Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseDClick(box.viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

}  // namespace

class TestDirListBox : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::TempTree> Tree;
  std::string Root;  // the tree's resolved root, used as the only drive root
  std::unique_ptr<TDirectoryListBox> Box;

 private slots:
  void ancestorChain_data() {
    QTest::addColumn<QByteArray>("root");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("from /") << QByteArray("/") << QByteArray("/a/b") << QStringList{"/", "/a", "/a/b"};
    QTest::newRow("the root itself") << QByteArray("/") << QByteArray("/") << QStringList{"/"};
    QTest::newRow("a mount point itself") << QByteArray("/home") << QByteArray("/home") << QStringList{"/home"};
    QTest::newRow("below a mount point") << QByteArray("/home") << QByteArray("/home/u/x") << QStringList{"/home", "/home/u", "/home/u/x"};
    QTest::newRow("root not holding it") << QByteArray("/home") << QByteArray("/homework") << QStringList{"/homework"};
    QTest::newRow("no root") << QByteArray("") << QByteArray("/a") << QStringList{"/a"};
  }
  void ancestorChain() {
    QFETCH(QByteArray, root);
    QFETCH(QByteArray, path);
    QFETCH(QStringList, expected);
    QStringList chain;
    for (const std::string& folder : AncestorChain(root.toStdString(), path.toStdString()))
      chain << QString::fromStdString(folder);
    QCOMPARE(chain, expected);
  }

  void init() {
    Tree = std::make_unique<test::TempTree>();
    Tree->Dir("a/b/c");
    Tree->Dir("a/Zeta");
    Tree->Dir("a/alpha");
    Tree->Dir("a/Beta");
    Tree->Dir("a/caf\xe9");
    Tree->File("a/file.txt", 10);
    Tree->Link("a/link", "b");
    Root = RealPath(Tree->Root());
    Box = std::make_unique<TDirectoryListBox>();
    Box->SetDriveRoots({Root});
    QVERIFY(Box->SetDirectory(Root + "/a"));
    Box->resize(345, 300);
    Box->show();
    QVERIFY(QTest::qWaitForWindowExposed(Box.get()));
  }
  void cleanup() {
    Box.reset();
    Tree.reset();
  }

  void showsAncestorsThenSortedSubfolders() {
    const QString rootText = QString::fromStdString(Root);
    QCOMPARE(Lines(*Box), (QStringList{rootText, " a", "  alpha", "  b", "  Beta", "  caf\xef\xbf\xbd", "  Zeta"}));
    QCOMPARE(Box->currentItem()->text(), QString("a"));
    QCOMPARE(Box->item(5)->data(TDirectoryListBox::PathRole).toByteArray(),
             QByteArray::fromStdString(Root + "/a/caf\xe9"));
    QCOMPARE(Box->visualItemRect(Box->item(3)).height(), 16);
  }

  void doubleClickEntersASubfolder() {
    QSignalSpy changes(Box.get(), &TDirectoryListBox::DirectoryChanged);
    DoubleClick(*Box, Line(*Box, "b"));
    QCOMPARE(changes.count(), 1);
    QCOMPARE(Box->Directory(), Root + "/a/b");
    QCOMPARE(Lines(*Box), (QStringList{QString::fromStdString(Root), " a", "  b", "   c"}));
  }

  void enterOnAnAncestorGoesUp() {
    QSignalSpy changes(Box.get(), &TDirectoryListBox::DirectoryChanged);
    Box->setFocus();
    Box->setCurrentRow(0);
    QTest::keyClick(Box.get(), Qt::Key_Return);
    QCOMPARE(changes.count(), 1);
    QCOMPARE(Box->Directory(), Root);
    QCOMPARE(Lines(*Box), (QStringList{QString::fromStdString(Root), " a"}));
  }

  void pathsAreNormalised_data() {
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("trailing separator") << QByteArray("/a/b/") << QByteArray("/a/b");
    QTest::newRow("dot and dot-dot") << QByteArray("/a/./b/c/..") << QByteArray("/a/b");
    QTest::newRow("doubled separators") << QByteArray("//a//b") << QByteArray("/a/b");
    QTest::newRow("through a link") << QByteArray("/a/link") << QByteArray("/a/b");
  }
  void pathsAreNormalised() {
    QFETCH(QByteArray, typed);
    QFETCH(QByteArray, expected);
    QVERIFY(Box->SetDirectory(Root + typed.toStdString()));
    QCOMPARE(Box->Directory(), Root + expected.toStdString());
  }

  void aFolderThatCannotBeEnteredLeavesTheListAsItWas_data() {
    QTest::addColumn<QByteArray>("target");
    QTest::newRow("missing") << QByteArray("/a/none");
    QTest::newRow("a file") << QByteArray("/a/file.txt");
    QTest::newRow("empty") << QByteArray("");
  }
  void aFolderThatCannotBeEnteredLeavesTheListAsItWas() {
    QFETCH(QByteArray, target);
    const QStringList before = Lines(*Box);
    QSignalSpy changes(Box.get(), &TDirectoryListBox::DirectoryChanged);
    QVERIFY(!Box->SetDirectory(target.isEmpty() ? std::string() : Root + target.toStdString()));
    QCOMPARE(Lines(*Box), before);
    QCOMPARE(Box->Directory(), Root + "/a");
    QCOMPARE(changes.count(), 0);
  }

  void aVanishedFolderLeavesTheListAsItWas() {
    const QStringList before = Lines(*Box);
    QSignalSpy changes(Box.get(), &TDirectoryListBox::DirectoryChanged);
    QVERIFY(rmdir((Root + "/a/Beta").c_str()) == 0);
    DoubleClick(*Box, Line(*Box, "Beta"));
    QCOMPARE(Lines(*Box), before);
    QCOMPARE(changes.count(), 0);
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(QApplication::topLevelWidgets().size(), 1);
  }

  void anUnreadableFolderLeavesTheListAsItWas() {
    if (test::PermissionsBypassed()) QSKIP("running as root: a mode-000 folder can still be listed");
    QVERIFY(chmod((Root + "/a/alpha").c_str(), 0) == 0);
    const QStringList before = Lines(*Box);
    QSignalSpy changes(Box.get(), &TDirectoryListBox::DirectoryChanged);
    DoubleClick(*Box, Line(*Box, "alpha"));
    QCOMPARE(Lines(*Box), before);
    QCOMPARE(Box->Directory(), Root + "/a");
    QCOMPARE(changes.count(), 0);
  }

  void startsInTheWorkingFolder() {
    const QString saved = QDir::currentPath();
    QVERIFY(QDir::setCurrent(QString::fromStdString(Root + "/a/b")));
    TDirectoryListBox fresh;
    QDir::setCurrent(saved);
    QCOMPARE(fresh.Directory(), Root + "/a/b");
    // With the real drive roots the chain starts at the mount point that holds the folder.
    const std::string top = fresh.item(0)->data(TDirectoryListBox::PathRole).toByteArray().toStdString();
    QCOMPARE((Root + "/a/b").compare(0, top.size(), top), 0);
  }
};

QTEST_MAIN(TestDirListBox)
#include "test_dirlistbox.moc"
