// The file list on a tree made by hand: a folder's own files, the largest below it, sorting,
// the filter, the selection and what the keys and a double click tell.
#include <QCheckBox>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTreeView>
#include <QtTest>
#include <cstring>
#include <ctime>
#include <memory>

#include "mainwin/fileslist.h"
#include "tests/support/handtree.h"

using namespace ostrel;

namespace {

DirNode* Node(TNodeArena& arena, const char* name, DirNode* parent, int32_t kind, uint64_t size, uint32_t mtime = 0) {
  return test::NewNode(arena, parent, name, kind, size, size, mtime);
}

// Every row's texts, a row a line, columns joined by "|".
QStringList Rows(const TFilesList& list) {
  QStringList rows;
  const QAbstractItemModel* model = list.ListFiles->model();
  for (int row = 0; row < model->rowCount(); ++row) {
    QStringList cells;
    for (int column = 0; column < model->columnCount(); ++column) cells << model->index(row, column).data().toString();
    rows << cells.join('|');
  }
  return rows;
}

// The names of the rows.
QStringList Names(const TFilesList& list) {
  QStringList names;
  const QAbstractItemModel* model = list.ListFiles->model();
  for (int row = 0; row < model->rowCount(); ++row) names << model->index(row, 0).data().toString();
  return names;
}

QPoint RowCenter(const TFilesList& list, int row) {
  return list.ListFiles->visualRect(list.ListFiles->model()->index(row, 0)).center();
}

}  // namespace

class TestFilesList : public QObject {
  Q_OBJECT

 private:
  TNodeArena Arena;
  DirNode* Data = nullptr;
  DirNode* Music = nullptr;
  std::unique_ptr<TFilesList> List;

 private slots:
  void initTestCase() {
    qputenv("TZ", "UTC");
    tzset();
    Data = Node(Arena, "/data", nullptr, NodeFolder, 4096);
    Node(Arena, "report.PDF", Data, NodeFile, 2048, 1700000000);
    Node(Arena, "alpha.txt", Data, NodeFile, 512);
    Music = Node(Arena, "music", Data, NodeFolder, 4096);
    Node(Arena, "song.mp3", Music, NodeFile, 5242880, 1000000000);
    Node(Arena, "big.iso", Node(Arena, "deep", Music, NodeFolder, 4096), NodeFile, 3221225472);
    Node(Arena, "Beta.log", Data, NodeFile, 10240, 1234567890);
    Node(Arena, "zero", Data, NodeFile, 0);
  }

  void init() {
    List = std::make_unique<TFilesList>();
    List->resize(600, 300);
    List->show();
    QVERIFY(QTest::qWaitForWindowExposed(List.get()));
    List->ShowFolder(Data, TMeasure::DiskUsage);
  }

  void ownFilesThenTheLargestBelowWithTheirFolders() {
    QCOMPARE(List->Folder(), Data);
    QCOMPARE(Rows(*List), QStringList({"Beta.log|10.0 KB|2009-02-13 23:31", "report.PDF|2.0 KB|2023-11-14 22:13",
                                       "alpha.txt|512 B|", "zero|0 B|"}));
    QCOMPARE(List->ListFiles->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Size"));
    QCOMPARE(List->ListFiles->model()->index(0, 1).data(Qt::TextAlignmentRole).toInt(),
             int(Qt::AlignRight | Qt::AlignVCenter));

    List->findChild<QCheckBox*>("CheckAllBelow")->click();
    QCOMPARE(List->ListFiles->model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Folder"));
    QCOMPARE(Rows(*List), QStringList({"big.iso|3072.0 MB||music/deep", "song.mp3|5.0 MB|2001-09-09 01:46|music",
                                       "Beta.log|10.0 KB|2009-02-13 23:31|", "report.PDF|2.0 KB|2023-11-14 22:13|",
                                       "alpha.txt|512 B||"}));
    List->ShowFolder(Music, TMeasure::DiskUsage);
    QCOMPARE(Names(*List), QStringList({"big.iso", "song.mp3"}));

    List->SetAllBelow(false);
    QCOMPARE(Names(*List), QStringList({"song.mp3"}));
    QCOMPARE(List->ListFiles->model()->columnCount(), 3);
    List->ShowFolder(nullptr, TMeasure::DiskUsage);
    QCOMPARE(List->ListFiles->model()->rowCount(), 0);
  }

  // A click on a header sorts by it, letters in either case as one; the filter keeps its rule
  // and, with All below, looks through the whole subtree.
  void sortsByNameAndFilters() {
    QHeaderView* header = List->ListFiles->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(0) + 10, header->height() / 2));
    QCOMPARE(Names(*List), QStringList({"alpha.txt", "Beta.log", "report.PDF", "zero"}));
    QCOMPARE(header->sortIndicatorSection(), 0);

    List->SetFilter(QStringLiteral("pdf"));
    QCOMPARE(Names(*List), QStringList({"report.PDF"}));
    List->SetFilter(QStringLiteral("s"));
    List->SetAllBelow(true);
    QCOMPARE(Names(*List), QStringList({"big.iso", "song.mp3"}));  // still by name
    List->SetFilter(QString());
    QCOMPARE(Names(*List).size(), 5);
  }

  void selectionKeysAndDoubleClick() {
    QSignalSpy changed(List.get(), &TFilesList::SelectionChanged);
    QSignalSpy trash(List.get(), &TFilesList::TrashRequested);
    QSignalSpy activated(List.get(), &TFilesList::FileActivated);
    QTreeView* view = List->ListFiles;
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Delete);
    QCOMPARE(trash.count(), 0);  // nothing selected

    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, RowCenter(*List, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, RowCenter(*List, 2));
    QCOMPARE(changed.count(), 2);
    std::vector<const DirNode*> selected = List->SelectedFiles();
    QCOMPARE(selected.size(), size_t(2));
    QCOMPARE(selected[0]->Name, "Beta.log");
    QCOMPARE(selected[1]->Name, "alpha.txt");
    QTest::keyClick(view, Qt::Key_Delete);
    QCOMPARE(trash.count(), 1);

    // Beta.log leaves the tree: the list is read again, alpha.txt stays selected.
    DirNode* beta = Data->FirstChild;
    while (beta->NextSibling && std::strcmp(beta->NextSibling->Name, "Beta.log") != 0) beta = beta->NextSibling;
    DirNode* gone = beta->NextSibling;
    beta->NextSibling = gone->NextSibling;
    List->Refresh();
    beta->NextSibling = gone;  // back, for the other cases
    QCOMPARE(Names(*List), QStringList({"report.PDF", "alpha.txt", "zero"}));
    QCOMPARE(List->SelectedFiles().size(), size_t(1));
    QCOMPARE(List->SelectedFiles()[0]->Name, "alpha.txt");
    QCOMPARE(changed.count(), 3);

    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, RowCenter(*List, 0));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, RowCenter(*List, 0));
    QCOMPARE(activated.count(), 1);
    QCOMPARE(activated[0][0].value<const DirNode*>()->Name, "report.PDF");
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(activated.count(), 2);
    QCOMPARE(activated[1][0].value<const DirNode*>()->Name, "alpha.txt");

    List->Clear();
    QCOMPARE(List->Folder(), static_cast<const DirNode*>(nullptr));
    QVERIFY(List->SelectedFiles().empty());
  }
};

QTEST_MAIN(TestFilesList)
#include "test_fileslist.moc"
