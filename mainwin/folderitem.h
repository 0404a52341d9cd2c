// The folder tree's items: each keeps the folder node it stands for, so that the window finds
// a folder's path and sizes from its item without going through the item's text.
#pragma once
#include <QStyledItemDelegate>
#include <QTreeWidgetItem>
#include <unordered_map>

#include "scan/dirnode.h"
#include "scan/scanview.h"

namespace ostrel {

// The reason text of a system error number, and a node's full path as the window shows it.
QString ErrorReason(int error);
QString DisplayPath(const DirNode& node);

// The tree's columns after the folder's name.
enum TTreeColumn { ColumnName, ColumnSize, ColumnShare, ColumnItems, ColumnModified, TreeColumns };
// The headers of the columns, in their order.
QStringList TreeColumnTitles();

// A tree item for the folder `Node` (null for "My Computer"). The node belongs to its scan's
// tree, which outlives the item.
class TFolderItem final : public QTreeWidgetItem {
 public:
  static constexpr int ItemType = QTreeWidgetItem::UserType + 1;

  TFolderItem(const QString& text, const DirNode* node);

  // The node also answers as the item's data (Qt::UserRole of column 0), for whoever asks the
  // toolkit's way. The tooltip (Qt::ToolTipRole) of a folder's item is its full name, its size
  // in the measure shown, then Note when there is one; always as plain text, never markup.
  // The other columns are read from the node when shown: its size in the measure shown (while
  // compared, the change), its share of the parent item's folder (Qt::UserRole: 0..1, for the
  // bar), the files and folders below it and the newest modification time below.
  QVariant data(int column, int role) const override;
  // The order of the column the view's header names: names as the tree orders them, figures by
  // their value; a folder that is gone stays after the others either way.
  bool operator<(const QTreeWidgetItem& other) const override;
  // Forgets the count of what lies below, after the tree below the folder changed.
  void Recount() { ItemsBelow = -1; }
  // The sorting the children are in (SortChildren); items are made in the tree's order, 0.
  int SortedAs = 0;

  const DirNode* Node;
  // False for the "All Drives" root of an all-drives scan, whose node is a label, not a path.
  bool NamesFolder = true;
  // Why the folder is marked in the tree (it could not be read, or is met again), or for a
  // "My Computer" item why its scan is (it is incomplete); empty for none. For a folder the
  // tooltip adds it; for "My Computer" it is the tooltip.
  QString Note;
  // While the item's scan is compared with an earlier one: the tooltip adds the size then, now
  // and the change, and the item shows its change's icon and colour instead of its own look.
  bool Compared = false;
  const DirNode* OldNode = nullptr;  // the same folder in the earlier scan; null when it is new

 private:
  int64_t Items() const;
  // Counted the first time it is shown: counting a root's million entries on every paint
  // would stall the view.
  mutable int64_t ItemsBelow = -1;
};

// While a scan is compared with an earlier one: a folder of the earlier scan that is gone, shown
// after its parent's own subfolders. It stands for no folder on disk, so it can be neither
// selected nor entered; its tooltip gives its size then.
class TGoneItem final : public QTreeWidgetItem {
 public:
  static constexpr int ItemType = QTreeWidgetItem::UserType + 2;

  explicit TGoneItem(const DirNode* oldNode);
  QVariant data(int column, int role) const override;
  bool operator<(const QTreeWidgetItem& other) const override;

  const DirNode* OldNode;  // the folder in the earlier scan
};

// The names' column asks for no more room than a long name needs, so that one name of 200
// characters does not push the figures out of sight; the view shortens it in the middle, and
// its tooltip gives it whole. Deep folders still get their indentation, and a scan's root its
// whole path.
class TNameDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// Draws the share column as a small bar behind its figure.
class TShareDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// Sorting the tree by its header. Sorting every folder of a large scan would take seconds, so
// only what shows is sorted: the children of `item` and of every expanded item below it (null:
// the whole view), as the header says, when they are not in the view's present sorting. A new
// sorting (a click on the header, a change of the sizes shown) starts with ResortTree.
// Without recursion: folders nest deeper than a stack allows. True when the children of
// `watch` were sorted. Not `deep`: the children of `item` alone.
bool SortBranch(QTreeWidget* view, QTreeWidgetItem* item, const QTreeWidgetItem* watch, bool deep = true);
bool ResortTree(QTreeWidget* view, const QTreeWidgetItem* watch);
// ResortTree when the tree is sorted by size, whose figures change with the measure shown and
// with a comparison.
bool ResortBySize(QTreeWidget* view, const QTreeWidgetItem* watch);
// Marks the children of `item` as not sorted.
void MarkUnsorted(QTreeWidgetItem* item);
// The tree's order of sibling folders: the program's case rule, then the bytes.
bool NameOrder(const DirNode* a, const DirNode* b);

// Whether `item` is a folder that is gone (TGoneItem).
inline bool IsGoneItem(const QTreeWidgetItem* item) { return item && item->type() == TGoneItem::ItemType; }

// How a compared folder changed.
enum class TFolderTrend { Same, Grew, Shrank, New };
TFolderTrend TrendOf(const TFolderItem& item);
// A size change with its sign, e.g. "+1.2 MB", "-300 KB", "0 bytes" as FormatSize writes sizes.
QString SignedSize(TByteChange change);

// The folder node a tree item stands for; null for a "My Computer" item, for an item that is
// no TFolderItem, or for a null `item`.
const DirNode* ItemNode(const QTreeWidgetItem* item);
// Deletes `item` and every item below it, taking it out of its tree view first. The toolkit's
// own delete takes a call per level, and a scan's folders nest deeper than a stack allows.
void DeleteItemTree(QTreeWidgetItem* item);

// What the tree marks on the folders of one scan: those that could not be read, with the
// system's error number, and those met a second time, with the folder that carries their
// contents.
struct TFolderMarks {
  std::unordered_map<const DirNode*, int> Unreadable;
  std::unordered_map<const DirNode*, const DirNode*> Repeated;
};

// The unreadable and repeated folders of `scan`; each folder keeps its first reason.
TFolderMarks MarksOf(const TScanView& scan);

// Adds an item for the folder `node` under `parentItem` and items for every folder below it,
// each level in tree order (CompareNoCase of the names, then their bytes). Files get no items.
// With `marks`, an unreadable or repeated folder's item gets an icon, a colour and a tooltip
// saying why; its text stays the folder's name. Does nothing when `parentItem` or `node` is null.
void AddFolderItems(QTreeWidgetItem* parentItem, const DirNode* node, const TFolderMarks* marks = nullptr);

// True when the item names a folder on disk: false for "My Computer" and for the "All Drives"
// root of an all-drives scan.
bool ItemNamesFolder(const QTreeWidgetItem* item);

}  // namespace ostrel
