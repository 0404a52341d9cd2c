// The folder tree's items: each keeps the folder node it stands for, so that the window finds
// a folder's path and sizes from its item without going through the item's text.
#pragma once
#include <QTreeWidgetItem>
#include <unordered_map>

#include "scan/dirnode.h"
#include "scan/scanview.h"

namespace ostrel {

// The reason text of a system error number, and a node's full path as the window shows it.
QString ErrorReason(int error);
QString DisplayPath(const DirNode& node);

// A tree item for the folder `Node` (null for "My Computer"). The node belongs to its scan's
// tree, which outlives the item.
class TFolderItem final : public QTreeWidgetItem {
 public:
  static constexpr int ItemType = QTreeWidgetItem::UserType + 1;

  TFolderItem(const QString& text, const DirNode* node);

  // The node also answers as the item's data (Qt::UserRole of column 0), for whoever asks the
  // toolkit's way. The tooltip (Qt::ToolTipRole) of a folder's item is its full name, its size
  // in the measure shown, then Note when there is one; always as plain text, never markup.
  QVariant data(int column, int role) const override;

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
};

// While a scan is compared with an earlier one: a folder of the earlier scan that is gone, shown
// after its parent's own subfolders. It stands for no folder on disk, so it can be neither
// selected nor entered; its tooltip gives its size then.
class TGoneItem final : public QTreeWidgetItem {
 public:
  static constexpr int ItemType = QTreeWidgetItem::UserType + 2;

  explicit TGoneItem(const DirNode* oldNode);
  QVariant data(int column, int role) const override;

  const DirNode* OldNode;  // the folder in the earlier scan
};

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
