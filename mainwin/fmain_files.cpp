// The files of the folder charted, listed below the chart, and the name the user looks for,
// typed above the tree: both narrow to the names that hold it.
#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include "controls/named.h"
#include "mainwin/fileslist.h"
#include "mainwin/fmain.h"
#include "mainwin/folderitem.h"
#include "mainwin/treefind.h"
#include "scan/scansettings.h"

namespace ostrel {

void TForm1::SetUpFiles() {
  PopupMenuTree->addAction(Menu.RefreshFolder1);
  connect(FilesList, &TFilesList::FileActivated, this, [this](const DirNode* file) {
    if (file && file->Parent) ExploreDir(FullPath(*file->Parent), Scans.ScanOf(PointsItem));
  });
  connect(FilesList, &TFilesList::TrashRequested, this, [this] { MoveToTrash(FilesList->SelectedFiles()); });
  auto* menu = new QMenu(this);
  Named(menu, "PopupMenuFiles");
  menu->addAction(QStringLiteral("Move to &Trash"), this, [this] { MoveToTrash(FilesList->SelectedFiles()); });
  menu->addAction(QStringLiteral("&Open Folder"), this, [this] {
    const std::vector<const DirNode*> files = FilesList->SelectedFiles();
    if (!files.empty()) emit FilesList->FileActivated(files.front());
  });
  FilesList->ListFiles->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(FilesList->ListFiles, &QWidget::customContextMenuRequested, this, [this, menu](const QPoint& at) {
    if (!FilesList->SelectedFiles().empty()) menu->popup(FilesList->ListFiles->viewport()->mapToGlobal(at));
  });

  // Filtering a large tree takes a moment: it waits until the typing pauses.
  auto* pause = new QTimer(this);
  pause->setSingleShot(true);
  pause->setInterval(250);
  connect(EditFind, &QLineEdit::textChanged, pause, qOverload<>(&QTimer::start));
  connect(pause, &QTimer::timeout, this, [this] { FindNames(); });
  connect(EditFind, &QLineEdit::returnPressed, this, [this, pause] {
    pause->stop();
    if (QTreeWidgetItem* first = FindNames()) {
      SelectItem(first);
      TreeViewDirectoriesClick();
      TreeViewDirectories->setFocus();
    }
  });
  connect(Menu.Find1, &QAction::triggered, this, [this] {
    EditFind->setFocus();
    EditFind->selectAll();
  });
  // Escape in the field ends the search.
  auto* clear = new QAction(EditFind);
  clear->setShortcut(QKeySequence(Qt::Key_Escape));
  clear->setShortcutContext(Qt::WidgetShortcut);
  EditFind->addAction(clear);
  connect(clear, &QAction::triggered, EditFind, &QLineEdit::clear);
}

QTreeWidgetItem* TForm1::FindNames() {
  const QString text = EditFind->text();
  FilesList->SetFilter(text);
  return FilterTree(TreeViewDirectories, QFile::encodeName(text).toStdString());
}

void TForm1::ShowFiles(const QTreeWidgetItem* item, bool own) {
  if (own) FilesList->SetAllBelow(false);
  const DirNode* node = ItemNode(item);
  if (node && ItemNamesFolder(item))
    FilesList->ShowFolder(node, ShownMeasure());
  else
    FilesList->Clear();
}

}  // namespace ostrel
