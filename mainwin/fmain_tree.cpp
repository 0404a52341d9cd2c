#include <QFile>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "mainwin/fmain.h"
#include "mainwin/textcase.h"
#include "scan/dirnode.h"
#include "scan/tloader.h"

namespace ostrel {
namespace {

const char* const MyComputerText = "My Computer";

// A tree item that keeps the folder node it stands for (null for "My Computer"). The node
// belongs to its scan's tree, which outlives the item.
class TFolderItem final : public QTreeWidgetItem {
 public:
  static constexpr int ItemType = QTreeWidgetItem::UserType + 1;

  TFolderItem(const QString& text, const DirNode* node)
      : QTreeWidgetItem(QStringList{text}, ItemType), Node(node) {}

  // The node also answers as the item's data, for whoever asks the toolkit's way.
  QVariant data(int column, int role) const override {
    if (column == 0 && role == Qt::UserRole) return QVariant::fromValue(reinterpret_cast<quintptr>(Node));
    return QTreeWidgetItem::data(column, role);
  }

  const DirNode* Node;
  bool NamesFolder = true;
};

const TFolderItem* AsFolderItem(const QTreeWidgetItem* item) {
  return item && item->type() == TFolderItem::ItemType ? static_cast<const TFolderItem*>(item) : nullptr;
}

// The tree's order of siblings: the program's case rule, then the bytes, so that names that
// differ only in case still have a fixed order.
bool TreeOrder(const DirNode* a, const DirNode* b) {
  const int byCase = CompareNoCase(a->Name, b->Name);
  if (byCase != 0) return byCase < 0;
  return std::strcmp(a->Name, b->Name) < 0;
}

TFolderItem* MakeItem(const DirNode* node) { return new TFolderItem(QFile::decodeName(node->Name), node); }

}  // namespace

const DirNode* ItemNode(const QTreeWidgetItem* item) {
  const TFolderItem* folder = AsFolderItem(item);
  return folder ? folder->Node : nullptr;
}

bool ItemNamesFolder(const QTreeWidgetItem* item) {
  const TFolderItem* folder = AsFolderItem(item);
  return folder && folder->Node && folder->NamesFolder;
}

void TForm1::SetUpTree() {
  // The items come in already in order (AddFolderItems); the view's own sort would compare
  // case-sensitively and re-sort on every insertion.
  TreeViewDirectories->setSortingEnabled(false);
  TreeViewDirectories->setUniformRowHeights(true);
  TreeViewDirectories->setSelectionMode(QAbstractItemView::SingleSelection);
}

void TForm1::ScanCompleted(std::intptr_t lParam) {
  // A scan detached while its notice was already under way must not take the attached one's
  // place; the attached tree may still be growing.
  if (Loader && reinterpret_cast<TThreadLoader*>(lParam) != Loader) return;
  if (Loader) {
    auto* computer = new TFolderItem(QString::fromLatin1(MyComputerText), nullptr);
    if (Loader->Root) {
      AddFolderItems(computer, Loader->Root);
      // The root of an all-drives scan is the label "All Drives", not a folder.
      if (Loader->Path.empty()) static_cast<TFolderItem*>(computer->child(0))->NamesFolder = false;
    }
    // Among the top-level items by text; a new one goes after those of earlier scans.
    int at = TreeViewDirectories->topLevelItemCount();
    while (at > 0 && CompareNoCase(TreeViewDirectories->topLevelItem(at - 1)->text(0).toUtf8().toStdString(),
                                   MyComputerText) > 0)
      --at;
    TreeViewDirectories->insertTopLevelItem(at, computer);
    SelectItem(computer);
    TreeViewDirectoriesClick();
  }
  ShowIdle();
}

void TForm1::AddFolderItems(QTreeWidgetItem* parentItem, const DirNode* node) {
  if (!parentItem || !node) return;
  // Level by level with a stack of our own: folders nest deeper than a thread's stack would
  // allow recursion. Children are added in bulk to an item not yet in the view, so the view
  // sees one insertion for the whole branch.
  TFolderItem* top = MakeItem(node);
  std::vector<std::pair<TFolderItem*, const DirNode*>> pending{{top, node}};
  std::vector<const DirNode*> folders;
  QList<QTreeWidgetItem*> items;
  while (!pending.empty()) {
    const auto [item, folder] = pending.back();
    pending.pop_back();
    folders.clear();
    for (const DirNode* child = folder->FirstChild; child; child = child->NextSibling)
      if (child->Kind == NodeFolder) folders.push_back(child);
    if (folders.empty()) continue;
    std::sort(folders.begin(), folders.end(), TreeOrder);
    items.clear();
    items.reserve(static_cast<qsizetype>(folders.size()));
    for (const DirNode* sub : folders) {
      TFolderItem* subItem = MakeItem(sub);
      items.push_back(subItem);
      pending.emplace_back(subItem, sub);
    }
    item->addChildren(items);
  }
  parentItem->addChild(top);
}

QTreeWidgetItem* TForm1::SelectedItem() const {
  const QList<QTreeWidgetItem*> selected = TreeViewDirectories->selectedItems();
  return selected.isEmpty() ? nullptr : selected.front();
}

void TForm1::SelectItem(QTreeWidgetItem* item) {
  const QSignalBlocker block(TreeViewDirectories);
  // Scrolling to an item expands its ancestors.
  TreeViewDirectories->scrollToItem(item);
  TreeViewDirectories->setCurrentItem(item);
}

void TForm1::TreeViewDirectoriesClick() {
  QTreeWidgetItem* item = SelectedItem();
  if (!item) return;
  const DirNode* node = ItemNode(item);
  CurrentDir = node && ItemNamesFolder(item) ? FullPath(*node) : std::string();
  BuildChart(item);
}

void TForm1::ButtonUpClick() {
  QTreeWidgetItem* item = SelectedItem();
  if (!item || !item->parent()) return;
  SelectItem(item->parent());
  TreeViewDirectoriesClick();
}

}  // namespace ostrel
