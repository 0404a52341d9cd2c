// Changes to a shown scan after it ended: a node taken out of its tree, a folder walked afresh
// put in place of the old walk. The tree (treeedit.h) brings its totals up to date along the
// path to the top; here the items and the chart that show them follow.
#include <QLineEdit>
#include <QTreeWidget>
#include <unordered_map>

#include "mainwin/comparison.h"
#include "mainwin/fileslist.h"
#include "mainwin/fmain.h"
#include "mainwin/folderitem.h"
#include "mainwin/treemapview.h"
#include "scan/treejob.h"
#include "scanfile/history.h"

namespace ostrel {
namespace {

bool Holds(const QTreeWidgetItem* outer, const QTreeWidgetItem* item) {
  for (; item; item = item->parent())
    if (item == outer) return true;
  return false;
}


}  // namespace



TEditRefusal TForm1::TakeOutOfScan(const DirNode* node) {
  TShownScan* shown = nullptr;
  TTreeJob* job = Scans.EditableScanOf(node, shown);
  if (!job) return TEditRefusal::NotInTree;
  PrepareEdit(*shown);
  QTreeWidgetItem* item = node->Kind == NodeFolder ? TScanShelf::ItemFor(*shown, node) : nullptr;
  const TTreeEdit edit = TakeOut(job->Outcome(), node);
  if (edit.Refused != TEditRefusal::None) {
    ShowTreemap(PointsItem);
    return edit.Refused;
  }
  ForgetListedFolder(node, false);
  QTreeWidgetItem* reselect = nullptr;
  if (item) {
    if (Holds(item, SelectedItem())) reselect = item->parent();
    if (Holds(item, PointsItem)) PointsItem = nullptr;
    DeleteItemTree(item);
  }
  ShowEdit(*shown, edit, reselect);
  return TEditRefusal::None;
}

TEditRefusal TForm1::PutRescanInScan(const DirNode* folder, TScanResult&& walk) {
  TShownScan* shown = nullptr;
  TTreeJob* job = Scans.EditableScanOf(folder, shown);
  if (!job) return TEditRefusal::NotInTree;
  PrepareEdit(*shown);
  QTreeWidgetItem* item = TScanShelf::ItemFor(*shown, folder);
  const TTreeEdit edit = PutRescan(job->Outcome(), folder, std::move(walk));
  if (edit.Refused != TEditRefusal::None) {
    ShowTreemap(PointsItem);
    return edit.Refused;
  }
  ForgetListedFolder(folder, true);
  QTreeWidgetItem* reselect = nullptr;
  if (item) {
    // Everything below the folder is new: its items are made again, the folder's own item
    // stays (the selection and the chart may point to it) and takes its new look.
    const QTreeWidgetItem* selected = SelectedItem();
    if (selected != item && Holds(item, selected)) reselect = item;
    if (PointsItem != item && Holds(item, PointsItem)) PointsItem = nullptr;
    while (item->childCount() > 0) DeleteItemTree(item->child(item->childCount() - 1));
    const TFolderMarks marks = MarksOf(ViewOf(job->Outcome()));
    QTreeWidgetItem holder;
    AddFolderItems(&holder, folder, &marks);
    QTreeWidgetItem* made = holder.child(0);
    item->addChildren(made->takeChildren());
    auto* old = static_cast<TFolderItem*>(item);
    MarkUnsorted(old);
    old->Note = static_cast<TFolderItem*>(made)->Note;
    old->setIcon(0, made->icon(0));
    old->setData(0, Qt::ForegroundRole, made->data(0, Qt::ForegroundRole));
  }
  ShowEdit(*shown, edit, reselect);
  return TEditRefusal::None;
}

void TForm1::ForgetListedFolder(const DirNode* gone, bool below) {
  // The list holds nodes of the folder it shows: one that left the tree lists nothing more.
  const DirNode* listed = FilesList->Folder();
  for (const DirNode* up = listed && below ? listed->Parent : listed; up; up = up->Parent)
    if (up == gone) {
      FilesList->Clear();
      return;
    }
}

void TForm1::PrepareEdit(const TShownScan& scan) {
  // The kept copy of a walk is written from its tree on a thread of the keeper's.
  if (History) History->WaitFor(scan.Job->Outcome().Root);
  // The marks of a comparison were made from the tree as it was.
  if (Comparison->Active()) EndComparison1Click();
  // The treemap's thread reads the tree; after the redraw above, so that nothing starts again.
  Treemap->Halt();
}

void TForm1::ShowEdit(const TShownScan& scan, const TTreeEdit& edit, QTreeWidgetItem* reselect) {
  // Folders met twice whose shown name went are empty now: no longer marked as repeats.
  for (const DirNode* unwalked : edit.Unwalked)
    if (auto* item = static_cast<TFolderItem*>(TScanShelf::ItemFor(scan, unwalked))) {
      item->Note.clear();
      item->setIcon(0, QIcon());
      item->setData(0, Qt::ForegroundRole, QVariant());
    }
  ShowScanNote(ViewOf(scan.Job->Outcome()));
  // Rows read their figures from the nodes when drawn; the counts kept, and the order of
  // siblings whose sizes changed, are brought up to date.
  // Mostly the path to the top, deepest first: its items are found going up from the first.
  std::unordered_map<const DirNode*, QTreeWidgetItem*> path;
  for (const DirNode* changed : edit.Changed) {
    auto known = path.find(changed);
    QTreeWidgetItem* item = known != path.end() ? known->second : TScanShelf::ItemFor(scan, changed);
    if (!item || item->type() != TFolderItem::ItemType) continue;
    if (known == path.end())
      for (QTreeWidgetItem* up = item; up; up = up->parent())
        if (const DirNode* node = ItemNode(up)) path.emplace(node, up);
    static_cast<TFolderItem*>(item)->Recount();
    MarkUnsorted(item->parent());
  }
  if (SortBranch(TreeViewDirectories, nullptr, PointsItem)) PointsItem = nullptr;
  if (!EditFind->text().isEmpty()) FindNames();
  TreeViewDirectories->viewport()->update();
  if (reselect) SelectItem(reselect);
  QTreeWidgetItem* selected = SelectedItem();
  const DirNode* shownNode = ItemNode(PointsItem);
  bool stale = !PointsItem || reselect;
  for (const DirNode* changed : edit.Changed) stale = stale || changed == shownNode;
  if (stale && selected)
    TreeViewDirectoriesClick();
  else if (FilesList->Folder())
    FilesList->Refresh();
  ShowTreemap(PointsItem);  // laid out again; nothing more when the redraw did it
}

}  // namespace ostrel
