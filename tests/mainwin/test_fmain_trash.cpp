// Move to Trash in the window: a folder goes to the home trash (on the scanned tree's file
// system) after a Yes, and leaves the tree with its sizes; Delete asks only from the tree;
// what may not go is refused with a reason; a failure stops the moves and says which went.
#include <sys/stat.h>


#include "mainwin/folderitem.h"
#include "mainwin_support.h"
#include "scan/scansettings.h"
#include "tests/support/permissions.h"
#include "tests/support/walk.h"

using namespace ostrel;

namespace {

constexpr int Timeout = 15000;

bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

}  // namespace

class TestFmainTrash : public test::TFormTest {
  Q_OBJECT

 private slots:
  void initTestCase() { test::TrashInto(Tree); }
  void init() { StartCase(); }
  void cleanup() {
    EndCase();
    ScanSettings.apparentsize = 0;
  }

  // No moves nothing; Yes moves the folder to the Trash with its info, and the tree, chart
  // and totals follow as a fresh scan of what is left. Delete asks only while the tree has
  // the focus.
  void folderGoesToTrashAndLeavesTheTree() {
    Tree.File("s1/a/x/f", 10000);
    Tree.File("s1/b/f", 5000);
    Tree.File("s1/c/f", 3000);
    MakeForm(Tree.Path("s1"));
    QTreeWidgetItem* root = RootItem();
    QAction* action = V().Find<QAction>("MoveToTrash1");
    QVERIFY(!action->isEnabled());  // a scan's root may not go
    // The tree's menu acts on the folder it is opened over.
    QTreeWidget* tree = V().TreeViewDirectories;
    tree->scrollToItem(test::ChildNamed(root, "a"));
    emit tree->customContextMenuRequested(tree->visualItemRect(test::ChildNamed(root, "a")).center());
    auto* menu = V().Find<QMenu>("PopupMenuTree");
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(V().SelectedItem(), test::ChildNamed(root, "a"));
    QVERIFY(menu->actions().contains(action) && action->isEnabled());
    menu->hide();
    V().ButtonCopy->setFocus();
    QTest::keyClick(V().ButtonCopy, Qt::Key_Delete);
    QVERIFY(Desktop.Boxes.empty());

    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Delete);
    QCOMPARE(Desktop.BoxTexts(), QStringList{QString::fromStdString("Move to Trash|Move " + Tree.Path("s1/a") +
                                                                    " to the Trash?\n\nThis frees 9.8 KB once the "
                                                                    "Trash is emptied.")});
    QVERIFY(Desktop.Boxes[0].NoByDefault);
    QVERIFY(Exists(Tree.Path("s1/a/x/f")));
    QCOMPARE(test::TreeLines(tree).size(), 6);

    Desktop.AnswerYes = true;
    QTest::keyClick(tree, Qt::Key_Delete);
    QCOMPARE(Desktop.Boxes.size(), size_t(2));
    QVERIFY(!Exists(Tree.Path("s1/a")));
    // The name in the Trash is the Trash's choice.
    const QStringList trashed = QDir(QString::fromStdString(Tree.Path("home/data/Trash/files")))
                                    .entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
    QCOMPARE(trashed.size(), 1);
    const std::string inTrash = trashed.front().toStdString();
    QVERIFY(Exists(Tree.Path("home/data/Trash/files/" + inTrash + "/x/f")));
    QVERIFY(test::ReadFile(Tree.Path("home/data/Trash/info/" + inTrash + ".trashinfo"))
                .starts_with("[Trash Info]\nPath=" + Tree.Path("s1/a") + "\n"));
    QCOMPARE(test::TreeLines(tree).mid(2), (QStringList{"    b", "    c"}));
    QCOMPARE(V().SelectedItem(), root);
    QCOMPARE(test::PointTexts(*Form), (QStringList{"b=5000", "c=3000"}));
    QCOMPARE(V().StatusBar1->PanelText(2), QStringLiteral("7.8 KB"));
    QCOMPARE(ItemNode(root)->TotalSize, test::Walk(Tree.Path("s1"))->Result.Root->TotalSize);
    QCOMPARE(ItemNode(root)->ApparentSize, 8000u);
  }

  // The root, a folder replaced since the scan, a folder of a scan file from elsewhere and a
  // folder a running scan walks are each refused with their reason, and stay.
  void whatMayNotGoIsRefused() {
    Tree.File("s2/a/f", 100);
    Tree.File("s2/b/f", 100);
    MakeForm(Tree.Path("s2"));
    Desktop.AnswerYes = true;
    QTreeWidgetItem* root = RootItem();
    test::ClickItem(*Form, root);
    Form->MoveToTrash1Click();
    QCOMPARE(Desktop.BoxTexts().value(0),
             QString::fromStdString("Error|" + Tree.Path("s2") +
                                    " is the top of its scan, so it cannot be moved to the Trash."));

    // Another folder of the same name since the scan.
    QCOMPARE(::rename(Tree.Path("s2/a").c_str(), Tree.Path("s2/a-old").c_str()), 0);
    Tree.Dir("s2/a");
    QCOMPARE(Form->MoveToTrash({ItemNode(test::ChildNamed(root, "a"))}), 0);
    QCOMPARE(Desktop.BoxTexts().mid(1),
             (QStringList{QString::fromStdString("Move to Trash|Move " + Tree.Path("s2/a") +
                                                 " to the Trash?\n\nThis frees 100 B once the Trash is emptied."),
                          QString::fromStdString("Error|" + Tree.Path("s2/a") +
                                                 " has changed since the scan: another entry has its name now, "
                                                 "so it was not moved to the Trash.")}));
    QVERIFY(Exists(Tree.Path("s2/a")) && Exists(Tree.Path("s2/a-old/f")));
    QVERIFY(test::ChildNamed(root, "a"));

    // A walk of the scan's root under way.
    test::TDriveGate::Get().Close(test::OneDrive(Tree.Root()));
    Form->ScanDriveSource = test::TDriveGate::Source;
    Form->StopScan(1);
    Form->StartScan(Tree.Path("s2"));
    Desktop.Boxes.clear();
    QCOMPARE(Form->MoveToTrash({ItemNode(test::ChildNamed(root, "b"))}), 0);
    QCOMPARE(Desktop.BoxTexts(),
             QStringList{QString::fromStdString("Error|A scan of " + Tree.Path("s2") + " is under way. " +
                                                Tree.Path("s2/b") + " can be moved to the Trash once it has ended.")});
    test::TDriveGate::Get().Open();
    QVERIFY(test::WaitForScans(*Form, 2, Timeout));

    // A scan file of another computer's folders.
    const std::string file = Tree.Write("other.json", "[1,2,{},[{\"name\":\"/ostrel-elsewhere\"},[{\"name\":\"d\"}]]]");
    Form->OpenScanFile(file);
    QVERIFY(test::WaitForScans(*Form, 3, Timeout));
    Desktop.Boxes.clear();
    QTreeWidgetItem* elsewhere = V().TreeViewDirectories->topLevelItem(2)->child(0);
    test::ClickItem(*Form, test::ChildNamed(elsewhere, "d"));
    Form->MoveToTrash1Click();
    QCOMPARE(Desktop.BoxTexts(),
             QStringList{QString::fromStdString(
                 "Error|/ostrel-elsewhere/d is not on this computer, so it cannot be moved to the Trash. It "
                 "is in the scan opened from " +
                 file + ".")});
  }

  // Two folders, the second in a folder that may not be written: the first goes, the second
  // stays, and the box says which is which with the system's reason.
  void failureStopsAndSaysWhatWent() {
    Tree.File("s3/a/f", 100);
    Tree.File("s3/ro/b/f", 100);
    MakeForm(Tree.Path("s3"));
    Desktop.AnswerYes = true;
    QTreeWidgetItem* root = RootItem();
    const DirNode* a = ItemNode(test::ChildNamed(root, "a"));
    const DirNode* b = ItemNode(test::ChildNamed(test::ChildNamed(root, "ro"), "b"));
    QCOMPARE(::chmod(Tree.Path("s3/ro").c_str(), 0555), 0);
    const test::TPermissionsEnforced enforced;
    if (::mkdir(Tree.Path("s3/ro/probe").c_str(), 0700) == 0) QSKIP("the permission bits do not bind this test");
    QCOMPARE(Form->MoveToTrash({a, b}), 1);
    QCOMPARE(
        Desktop.BoxTexts().value(0),
        QStringLiteral("Move to Trash|Move 2 folders to the Trash?\n\nThis frees 200 B once the Trash is emptied."));
    QCOMPARE(Desktop.BoxTexts().value(1),
             QString::fromStdString("Error|" + Tree.Path("s3/ro/b") +
                                    " could not be moved to the Trash: Permission denied.\n\n"
                                    "Moved to the Trash:\n" +
                                    Tree.Path("s3/a") + "\n\nNot moved:\n" + Tree.Path("s3/ro/b")));
    QVERIFY(!Exists(Tree.Path("s3/a")) && Exists(Tree.Path("s3/ro/b/f")));
    QCOMPARE(test::TreeLines(V().TreeViewDirectories).mid(2), (QStringList{"    ro", "      b"}));
    QCOMPARE(ItemNode(root)->ApparentSize, 100u);
  }

 private:
  test::TempTree Tree;
};

OSTREL_MAINWIN_TEST_MAIN(TestFmainTrash, TApplication)
#include "test_fmain_trash.moc"
