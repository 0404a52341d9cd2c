// The treemap chart kind in the window: hover and clicks through the view as a user makes
// them, the keys, the context menu's question, and a tree edit while the view's thread draws.
// One window scans a small folder once, apparent sizes shown; the tree edit comes last.
#include <QContextMenuEvent>
#include <QMouseEvent>

#include "mainwin/fileslist.h"
#include "mainwin/folderitem.h"
#include "mainwin/treemapview.h"
#include "mainwin_support.h"
#include "scan/scansettings.h"

using namespace ostrel;

namespace {

constexpr uint64_t MiB = 1 << 20;

const DirNode* Drawn(const TTreemapView* map, const char* name) {
  for (const TTreemapRect& r : map->Rects())
    if (std::string(r.Node->Name) == name) return r.Node;
  return nullptr;
}

}  // namespace

class TestTreemapView : public test::TFormTest {
  Q_OBJECT

 private slots:
  void initTestCase() {
    Tree = std::make_unique<test::TempTree>();
    Tree->File("big.mp4", 6 * MiB);
    Tree->File("docs/report.pdf", 3 * MiB);
    Tree->File("docs/notes.txt", 1 * MiB);
    Tree->File("docs/sub/deep.bin", 2 * MiB);
    // Enough files that drawing takes the view's thread a while.
    for (int i = 0; i < 3000; ++i) Tree->File("many/f" + std::to_string(i), 4096);
    StartCase();
    Store->Open()->setValue("apparentsize", 1);
    Store->Open()->setValue("charttype", 3);
    OpenWindow({"ostrel", Tree->Root()});
    ShowActive();
    QTRY_COMPARE_WITH_TIMEOUT(TreeView()->topLevelItemCount(), 1, 15000);
    QTRY_VERIFY(test::Idle(*Form));
  }
  void cleanupTestCase() { EndCase(); }

  void init() {
    test::ClickItem(*Form, RootItem());
    QTRY_VERIFY(Map()->Ready());
  }

  // Files coloured by kind. The pointer names what it is over by its path below the folder
  // shown; a file's click goes to its folder and picks it in the list, a folder's (on its
  // outline) goes in.
  void hoverAndClicks() {
    QVERIFY(Map()->isVisible());
    QVERIFY(V().ChartPie->Points().empty());
    const DirNode* report = Drawn(Map(), "report.pdf");
    QVERIFY(report);
    // Coloured by kind: a video red, a document blue.
    const QImage shown = Map()->grab().toImage();
    const QColor video = shown.pixelColor(Map()->RectOf(Drawn(Map(), "big.mp4")).center());
    const QColor document = shown.pixelColor(Map()->RectOf(report).center());
    QVERIFY(video.red() > 2 * video.blue() && document.blue() > 2 * document.red());
    Mouse(QEvent::MouseMove, Map()->RectOf(report).center());
    QCOMPARE(V().StatusBar1->PanelText(0), QStringLiteral("docs/report.pdf"));
    QCOMPARE(V().StatusBar1->PanelText(1), QStringLiteral("3.0 MB"));
    QCOMPARE(Map()->Highlighted(), report);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(Map(), &leave);
    QCOMPARE(V().StatusBar1->PanelText(0), QString());
    QVERIFY(!Map()->Highlighted());

    Mouse(QEvent::MouseButtonPress, Map()->RectOf(report).center());
    QTreeWidgetItem* docs = test::ChildNamed(RootItem(), QStringLiteral("docs"));
    QCOMPARE(V().SelectedItem(), docs);
    QVERIFY(FilesList()->SelectedFiles() == std::vector<const DirNode*>{report});
    QCOMPARE(Map()->Folder(), ItemNode(docs));
    QTRY_VERIFY(Map()->Ready());

    const QRect sub = Map()->RectOf(Drawn(Map(), "sub"));
    Mouse(QEvent::MouseButtonPress, QPoint(sub.left(), sub.center().y()));
    QCOMPARE(V().SelectedItem(), test::ChildNamed(docs, QStringLiteral("sub")));
  }

  // Arrows move the outline among the folder's children, from the largest (many 12 MB at the
  // left, then big.mp4 and docs of 6 MB each); Enter picks a file or goes into a folder,
  // Backspace goes up.
  void keys() {
    Map()->setFocus();
    QTest::keyClick(Map(), Qt::Key_Right);
    QCOMPARE(QString::fromUtf8(Map()->Highlighted()->Name), QStringLiteral("many"));
    QCOMPARE(V().StatusBar1->PanelText(0), QStringLiteral("many"));
    QTest::keyClick(Map(), Qt::Key_Right);
    QCOMPARE(QString::fromUtf8(Map()->Highlighted()->Name), QStringLiteral("big.mp4"));
    QTest::keyClick(Map(), Qt::Key_Return);
    QCOMPARE(V().SelectedItem(), RootItem());
    QVERIFY(FilesList()->SelectedFiles() == std::vector<const DirNode*>{Map()->Highlighted()});
    // Nothing lies below it: the outline stays.
    QTest::keyClick(Map(), Qt::Key_Down);
    QCOMPARE(QString::fromUtf8(Map()->Highlighted()->Name), QStringLiteral("big.mp4"));
    QTest::keyClick(Map(), Qt::Key_Right);
    QCOMPARE(QString::fromUtf8(Map()->Highlighted()->Name), QStringLiteral("docs"));
    QTest::keyClick(Map(), Qt::Key_Return);
    QCOMPARE(V().SelectedItem(), test::ChildNamed(RootItem(), QStringLiteral("docs")));
    QTest::keyClick(Map(), Qt::Key_Backspace);
    QCOMPARE(V().SelectedItem(), RootItem());
  }

  // "Move to Trash" over a rectangle asks as the tree's command does; No moves nothing.
  void menuAsksBeforeTheTrash() {
    const DirNode* big = Drawn(Map(), "big.mp4");
    const QPoint at = Map()->RectOf(big).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, Map()->mapToGlobal(at));
    QApplication::sendEvent(Map(), &event);
    auto* menu = Form->findChild<QMenu*>(QStringLiteral("PopupMenuTreemap"));
    QTRY_VERIFY(menu->isVisible());
    menu->actions().value(0)->trigger();
    menu->hide();
    QCOMPARE(Desktop.Boxes.size(), size_t(1));
    QVERIFY(Desktop.Boxes[0].Question);
    QCOMPARE(Desktop.Boxes[0].Text, QStringLiteral("Move %1 to the Trash?\n\nThis frees 6.0 MB once the Trash is emptied.")
                                        .arg(QString::fromStdString(Tree->Path("big.mp4"))));
    QVERIFY(Drawn(Map(), "big.mp4"));
  }

  // A node taken out while the view's thread draws: the thread is stopped first, and the
  // picture comes again without it.
  void takeOutWhileDrawing() {
    const DirNode* docs = Drawn(Map(), "docs");
    Map()->resize(Map()->width() - 20, Map()->height());
    QCOMPARE(Form->TakeOutOfScan(docs), TEditRefusal::None);
    QTRY_VERIFY(Map()->Ready());
    QVERIFY(!Drawn(Map(), "docs"));
    QVERIFY(Drawn(Map(), "big.mp4"));
  }

 private:
  TTreemapView* Map() const { return Form->findChild<TTreemapView*>(QStringLiteral("Treemap")); }
  TFilesList* FilesList() const { return Form->findChild<TFilesList*>(QStringLiteral("FilesList")); }
  void Mouse(QEvent::Type type, QPoint pos) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(pos), QPointF(Map()->mapToGlobal(pos)), button,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(Map(), &event);
  }

  std::unique_ptr<test::TempTree> Tree;
};

OSTREL_MAINWIN_TEST_MAIN(TestTreemapView, TApplication)
#include "test_treemapview.moc"
