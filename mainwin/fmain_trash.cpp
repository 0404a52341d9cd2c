// Moving what a scan found to the Trash, then taking it out of the scan, so that the tree,
// the chart and the status bar show what is left at once. Only what is still the entry the
// scan saw is moved, and never by copying: the Trash must be on its file system.
#include <sys/stat.h>

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>
#include <cerrno>

#include "chart/breakdown.h"
#include "controls/named.h"
#include "docs/desktop.h"
#include "docs/viewdoc.h"
#include "mainwin/fileslist.h"
#include "mainwin/fmain.h"
#include "mainwin/folderitem.h"
#include "mainwin/trash.h"
#include "scan/paths.h"
#include "scan/scansettings.h"
#include "scan/treejob.h"
#include "scanfile/entryids.h"

namespace ostrel {
namespace {

const char* const TrashCaption = "Move to Trash";

QString Decoded(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

// The numbers the scan recorded for `node`, found through its folders from the top down.
bool RecordedId(const TEntryIds& ids, const DirNode& node, TEntryId& id) {
  std::vector<const DirNode*> chain;
  for (const DirNode* up = &node; up; up = up->Parent) chain.push_back(up);
  bool found = false;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    TEntryId next;
    if (!ids.Find(**it, found ? &id : nullptr, next)) return false;
    id = next;
    found = true;
  }
  return found;
}

// Paths one a line, the first few of them.
QString PathList(const QStringList& paths) {
  constexpr qsizetype Listed = 10;
  QStringList lines = paths.mid(0, Listed);
  if (paths.size() > Listed) lines << QStringLiteral("and %1 more").arg(paths.size() - Listed);
  return lines.join(QLatin1Char('\n'));
}

}  // namespace

void TForm1::SetUpTrash() {
  // Delete belongs to the tree: in any other control it keeps its own meaning.
  Menu.MoveToTrash1->setShortcut(QKeySequence(Qt::Key_Delete));
  Menu.MoveToTrash1->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  TreeViewDirectories->addAction(Menu.MoveToTrash1);
  connect(Menu.MoveToTrash1, &QAction::triggered, this, &TForm1::MoveToTrash1Click);

  PopupMenuTree = new QMenu(this);
  Named(PopupMenuTree, "PopupMenuTree");
  PopupMenuTree->addAction(Menu.MoveToTrash1);
  TreeViewDirectories->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(TreeViewDirectories, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    QTreeWidgetItem* item = TreeViewDirectories->itemAt(at);
    if (!item || !(item->flags() & Qt::ItemIsSelectable)) return;
    // The menu acts on the folder it was opened over.
    if (item != SelectedItem()) {
      SelectItem(item);
      TreeViewDirectoriesClick();
    }
    UpdateMoveToTrash1();
    PopupMenuTree->popup(TreeViewDirectories->viewport()->mapToGlobal(at));
  });

  // What may go changes with the selection, and with scans that start and end; the timer
  // catches what no signal tells (a selection made in code, a scan's end).
  connect(TreeViewDirectories, &QTreeWidget::itemSelectionChanged, this, &TForm1::UpdateMoveToTrash1);
  connect(Menu.File1, &QMenu::aboutToShow, this, &TForm1::UpdateMoveToTrash1);
  connect(TimerUpdate, &QTimer::timeout, this, &TForm1::UpdateMoveToTrash1);
  UpdateMoveToTrash1();
}

void TForm1::UpdateMoveToTrash1() {
  if (FilesList->ListFiles->hasFocus() && !FilesList->SelectedFiles().empty()) {
    Menu.MoveToTrash1->setEnabled(true);
    return;
  }
  const QTreeWidgetItem* item = SelectedItem();
  const DirNode* node = ItemNode(item);
  std::string path;
  Menu.MoveToTrash1->setEnabled(node && ItemNamesFolder(item) && TrashRefusal(node, item, false, path).isEmpty());
}

void TForm1::MoveToTrash1Click() {
  // The files chosen in the list while it has the keys; otherwise the tree's folder.
  const std::vector<const DirNode*> files = FilesList->SelectedFiles();
  if (FilesList->ListFiles->hasFocus() && !files.empty())
    MoveToTrash(files);
  else
    MoveToTrash({ItemNode(SelectedItem())});
}

QString TForm1::TrashRefusal(const DirNode* node, const QTreeWidgetItem* item, bool onDisk, std::string& path) {
  if (!node)
    return QStringLiteral(
        "Please select a folder in the tree first. \"My Computer\" is not a folder, so it cannot be "
        "moved to the Trash.");
  TShownScan* shown = nullptr;
  if (!Scans.EditableScanOf(node, shown)) return QStringLiteral("%1 is in no scan shown.").arg(DisplayPath(*node));
  const TScanResult& result = shown->Job->Outcome();
  const QString name = DisplayPath(*node);
  if (node == result.Root)
    return QStringLiteral("%1 is the top of its scan, so it cannot be moved to the Trash.").arg(name);
  if (!node->Parent)
    return QStringLiteral("%1 is a drive of the All Drives scan, so it cannot be moved to the Trash.").arg(name);
  if (node->Kind == NodeFolder) {
    // A folder marked in the tree: its contents are unknown, or counted under another name.
    if (!item) item = TScanShelf::ItemFor(*shown, node);
    if (item && item->type() == TFolderItem::ItemType && !static_cast<const TFolderItem*>(item)->Note.isEmpty())
      return QStringLiteral("%1 cannot be moved to the Trash. %2.")
          .arg(name, static_cast<const TFolderItem*>(item)->Note);
  }

  path = FullPath(*node);
  const bool fromFile = !shown->File.empty();
  // As Explore-Dir decides it: a scan file may come from another computer, and its relative
  // root was relative to wherever it was made.
  const bool elsewhere = fromFile && !IsPathSeparator(path.front());
  struct stat st {};
  if (elsewhere || (fromFile && onDisk && lstat(path.c_str(), &st) != 0)) {
    return NotOnThisComputer(QStringLiteral("%1 is not on this computer, so it cannot be moved to the Trash.").arg(name),
                             shown, elsewhere);
  }
  path = AbsolutePath(path, shown);

  // A walk under way over the entry would count it half gone.
  const bool running =
      Attached && !Attached->Finished() &&
      std::none_of(Scans.Shown.begin(), Scans.Shown.end(), [this](const TShownScan& s) { return s.Job == Attached; });
  if (running && Attached->Walks()) {
    const std::string root = AbsolutePath(AttachedPath, nullptr);
    if (root.empty() || PathsOverlap(root, path))
      return QStringLiteral("A scan of %1 is under way. %2 can be moved to the Trash once it has ended.")
          .arg(root.empty() ? QStringLiteral("all drives") : Decoded(root), name);
  }
  return {};
}

int TForm1::MoveToTrash(const std::vector<const DirNode*>& nodes) {
  struct TEntry {
    const DirNode* Node;
    std::string Path;
  };
  std::vector<TEntry> entries;
  int folders = 0, files = 0;
  uint64_t frees = 0;
  for (const DirNode* node : nodes) {
    // What lies below another entry goes with it.
    bool below = false;
    for (const DirNode* up = node ? node->Parent : nullptr; up && !below; up = up->Parent)
      below = std::find(nodes.begin(), nodes.end(), up) != nodes.end();
    if (below || std::any_of(entries.begin(), entries.end(), [node](const TEntry& e) { return e.Node == node; }))
      continue;
    std::string path;
    if (const QString why = TrashRefusal(node, nullptr, true, path); !why.isEmpty()) {
      Desktop.ShowMessage(this, why, QStringLiteral("Error"));
      return 0;
    }
    entries.push_back({node, path});
    ++(node->Kind == NodeFolder ? folders : files);
    frees = AddBytes(frees, SizeOf(*node, ShownMeasure()));
  }
  if (entries.empty()) return 0;

  const QString what = entries.size() == 1 ? Decoded(entries.front().Path) : EntryCountText(folders, files);
  if (!Desktop.AskYesNo(this,
                        QStringLiteral("Move %1 to the Trash?\n\nThis frees %2 once the Trash is emptied.")
                            .arg(what, QString::fromStdString(FormatSize(frees))),
                        QString::fromLatin1(TrashCaption), true))
    return 0;

  QStringList moved;
  QString failure;
  size_t at = 0;
  for (; at < entries.size(); ++at) {
    const TEntry& entry = entries[at];
    const QString name = Decoded(entry.Path);
    std::string path;
    // The question let messages through: a scan may have started meanwhile.
    failure = TrashRefusal(entry.Node, nullptr, true, path);
    if (!failure.isEmpty()) break;

    TShownScan* shown = nullptr;
    const TTreeJob* job = Scans.EditableScanOf(entry.Node, shown);
    const bool folder = entry.Node->Kind == NodeFolder;
    TEntryId id;
    const bool known = job && job->Ids() && RecordedId(*job->Ids(), *entry.Node, id);
    int error = 0;
    switch (CheckEntry(entry.Path, folder, entry.Node->InodeTag, known ? &id : nullptr, error)) {
      case TEntryState::Same:
        break;
      case TEntryState::Gone:
        failure = error == ENOENT ? QStringLiteral(
                                        "%1 has changed since the scan: it is no longer there, so it was "
                                        "not moved to the Trash.")
                                        .arg(name)
                                  : QStringLiteral("%1 could not be examined: %2.").arg(name, ErrorReason(error));
        break;
      case TEntryState::Changed:
        failure =
            QStringLiteral(
                "%1 has changed since the scan: another entry has its name now, so it was not moved to the Trash.")
                .arg(name);
        break;
    }
    if (!failure.isEmpty()) break;
    // The Trash takes text; a name that does not come back to its own bytes would name
    // another entry, or none.
    if (QFile::encodeName(name).toStdString() != entry.Path) {
      failure = QStringLiteral("%1 could not be moved to the Trash: its name is not valid text.").arg(name);
      break;
    }
    // moveToTrash looks through a link for the entry, and takes none whose target is gone.
    struct stat st {};
    if (!folder && lstat(entry.Path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && stat(entry.Path.c_str(), &st) != 0) {
      failure =
          QStringLiteral("%1 could not be moved to the Trash: it is a link to something that is not there.").arg(name);
      break;
    }
    QString why;
    if (TrashFolderFor(name, why).isEmpty()) {
      failure = QStringLiteral("%1 could not be moved to the Trash: %2.").arg(name, why);
      break;
    }
    QFile file(name);
    if (!file.moveToTrash()) {
      failure = QStringLiteral("%1 could not be moved to the Trash: %2.").arg(name, file.errorString());
      break;
    }
    moved << name;
    TakeOutOfScan(entry.Node);
  }

  if (!failure.isEmpty()) {
    if (entries.size() > 1) {
      QStringList left;
      for (size_t i = at; i < entries.size(); ++i) left << Decoded(entries[i].Path);
      if (!moved.isEmpty()) failure += QStringLiteral("\n\nMoved to the Trash:\n") + PathList(moved);
      failure += QStringLiteral("\n\nNot moved:\n") + PathList(left);
    }
    Desktop.ShowMessage(this, failure, QStringLiteral("Error"));
  }
  UpdateMoveToTrash1();
  return static_cast<int>(moved.size());
}

}  // namespace ostrel
