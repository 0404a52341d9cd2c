#include "mainwin/folderitem.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QPixmap>
#include <QStyle>
#include <QTextDocument>
#include <QTreeWidget>
#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "chart/breakdown.h"
#include "scan/scansettings.h"
#include "scan/textcase.h"

namespace ostrel {
namespace {

const TFolderItem* AsFolderItem(const QTreeWidgetItem* item) {
  return item && item->type() == TFolderItem::ItemType ? static_cast<const TFolderItem*>(item) : nullptr;
}

// An icon that draws nothing, as large as the style's others: an unchanged folder's name then
// starts where its marked siblings' names do.
QIcon BlankIcon() {
  const int side = QApplication::style()->pixelMetric(QStyle::PM_SmallIconSize);
  QPixmap blank(side, side);
  blank.fill(Qt::transparent);
  return QIcon(blank);
}

// The tree's order of siblings: the program's case rule, then the bytes, so that names that
// differ only in case still have a fixed order.
bool TreeOrder(const DirNode* a, const DirNode* b) {
  const int byCase = CompareNoCase(a->Name, b->Name);
  if (byCase != 0) return byCase < 0;
  return std::strcmp(a->Name, b->Name) < 0;
}

// How the tree marks a folder. The item's text stays the name.
struct TMarkLook {
  QIcon UnreadableIcon;
  QIcon RepeatedIcon;
  QColor UnreadableColour{0xA0, 0x00, 0x00};
  QColor RepeatedColour{0x70, 0x70, 0x70};
};

TFolderItem* MakeItem(const DirNode* node, const TFolderMarks* marks, const TMarkLook& look) {
  auto* item = new TFolderItem(QFile::decodeName(node->Name), node);
  if (!marks) return item;
  if (auto it = marks->Unreadable.find(node); it != marks->Unreadable.end()) {
    item->setIcon(0, look.UnreadableIcon);
    item->setForeground(0, look.UnreadableColour);
    item->Note = QStringLiteral("Could not be read: ") + ErrorReason(it->second);
  } else if (auto again = marks->Repeated.find(node); again != marks->Repeated.end()) {
    item->setIcon(0, look.RepeatedIcon);
    item->setForeground(0, look.RepeatedColour);
    item->Note = QStringLiteral("Same folder as %1: its contents are counted there").arg(DisplayPath(*again->second));
  }
  return item;
}

}  // namespace

QString ErrorReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QString DisplayPath(const DirNode& node) { return QFile::decodeName(QByteArray::fromStdString(FullPath(node))); }

TFolderItem::TFolderItem(const QString& text, const DirNode* node)
    : QTreeWidgetItem(QStringList{text}, ItemType), Node(node) {}

QVariant TFolderItem::data(int column, int role) const {
  if (column == 0 && role == Qt::UserRole) return QVariant::fromValue(reinterpret_cast<quintptr>(Node));
  if (column == 0 && Compared && Node && (role == Qt::DecorationRole || role == Qt::ForegroundRole)) {
    // Kept apart from the item's own icon and colour, so that ending the comparison brings
    // them back untouched.
    const TFolderTrend trend = TrendOf(*this);
    if (role == Qt::ForegroundRole) {
      switch (trend) {
        case TFolderTrend::Grew: return QColor(0xB0, 0x30, 0x00);
        case TFolderTrend::Shrank: return QColor(0x00, 0x80, 0x20);
        case TFolderTrend::New: return QColor(0x00, 0x40, 0xC0);
        case TFolderTrend::Same: return QColor(0x80, 0x80, 0x80);
      }
    }
    QStyle* style = QApplication::style();
    switch (trend) {
      case TFolderTrend::Grew: return style->standardIcon(QStyle::SP_ArrowUp);
      case TFolderTrend::Shrank: return style->standardIcon(QStyle::SP_ArrowDown);
      case TFolderTrend::New: return style->standardIcon(QStyle::SP_FileDialogNewFolder);
      case TFolderTrend::Same: {
        static const QIcon blank = BlankIcon();
        return blank;
      }
    }
  }
  if (column == 0 && role == Qt::ToolTipRole && Node) {
    // Made when asked: the measure shown may have changed since the item was made.
    const uint64_t now = SizeOf(*Node, ShownMeasure());
    QString tip = text(0) + QLatin1Char('\n') + QString::fromStdString(FormatSize(now));
    if (Compared) {
      const uint64_t then = OldNode ? SizeOf(*OldNode, ShownMeasure()) : 0;
      tip += QLatin1Char('\n') + (OldNode ? QStringLiteral("Then: ") + QString::fromStdString(FormatSize(then))
                                            : QStringLiteral("Then: not there (new)")) +
             QStringLiteral("\nNow: ") + QString::fromStdString(FormatSize(now)) + QStringLiteral("\nChange: ") +
             SignedSize(ChangeOf(then, now));
    }
    if (!Note.isEmpty()) tip += QLatin1Char('\n') + Note;
    // A tooltip that looks like markup is shown as markup; a name must show as it is.
    return Qt::convertFromPlainText(tip, Qt::WhiteSpaceNoWrap);
  }
  // "My Computer" has no folder, only a note when its scan is incomplete.
  if (column == 0 && role == Qt::ToolTipRole && !Node && !Note.isEmpty()) return Note;
  return QTreeWidgetItem::data(column, role);
}

TGoneItem::TGoneItem(const DirNode* oldNode)
    : QTreeWidgetItem(QStringList{QFile::decodeName(oldNode->Name)}, ItemType), OldNode(oldNode) {
  setFlags(Qt::NoItemFlags);
}

QVariant TGoneItem::data(int column, int role) const {
  if (column == 0 && role == Qt::DecorationRole) return QApplication::style()->standardIcon(QStyle::SP_TrashIcon);
  if (column == 0 && role == Qt::ToolTipRole) {
    const uint64_t then = SizeOf(*OldNode, ShownMeasure());
    const QString tip = text(0) + QStringLiteral("\nThen: ") + QString::fromStdString(FormatSize(then)) +
                        QStringLiteral("\nNow: gone\nChange: ") + SignedSize(ChangeOf(then, 0));
    return Qt::convertFromPlainText(tip, Qt::WhiteSpaceNoWrap);
  }
  return QTreeWidgetItem::data(column, role);
}

TFolderTrend TrendOf(const TFolderItem& item) {
  if (!item.OldNode) return TFolderTrend::New;
  const uint64_t now = SizeOf(*item.Node, ShownMeasure()), then = SizeOf(*item.OldNode, ShownMeasure());
  return now > then ? TFolderTrend::Grew : now < then ? TFolderTrend::Shrank : TFolderTrend::Same;
}

QString SignedSize(TByteChange change) {
  const QString size = QString::fromStdString(FormatSize(change.Bytes));
  if (change.Bytes == 0) return size;
  return (change.Shrank ? QLatin1Char('-') : QLatin1Char('+')) + size;
}

const DirNode* ItemNode(const QTreeWidgetItem* item) {
  const TFolderItem* folder = AsFolderItem(item);
  return folder ? folder->Node : nullptr;
}

void DeleteItemTree(QTreeWidgetItem* item) {
  if (!item) return;
  // Out of the view at once: deleting inside it would tell the view of every item.
  if (QTreeWidgetItem* parent = item->parent())
    parent->takeChild(parent->indexOfChild(item));
  else if (QTreeWidget* view = item->treeWidget())
    view->takeTopLevelItem(view->indexOfTopLevelItem(item));
  // Leaves first, each its parent's first child: it leaves its parent at once, without a
  // search through its siblings.
  while (item) {
    if (item->childCount() > 0) {
      item = item->child(0);
      continue;
    }
    QTreeWidgetItem* parent = item->parent();
    delete item;
    item = parent;
  }
}

// The unreadable and repeated folders of `scan`; each folder keeps its first reason.
TFolderMarks MarksOf(const TScanView& scan) {
  TFolderMarks marks;
  for (const TScanProblem& problem : *scan.Problems)
    if (problem.Kind == TScanProblem::ReadFolder) marks.Unreadable.emplace(problem.Node, problem.Error);
  for (const TRepeatedFolder& repeat : *scan.Repeats) marks.Repeated.emplace(repeat.Node, repeat.First);
  return marks;
}

bool ItemNamesFolder(const QTreeWidgetItem* item) {
  const TFolderItem* folder = AsFolderItem(item);
  return folder && folder->Node && folder->NamesFolder;
}

void AddFolderItems(QTreeWidgetItem* parentItem, const DirNode* node, const TFolderMarks* marks) {
  if (!parentItem || !node) return;
  if (marks && marks->Unreadable.empty() && marks->Repeated.empty()) marks = nullptr;
  TMarkLook look;
  if (marks) {
    QStyle* style = QApplication::style();
    look.UnreadableIcon = style->standardIcon(QStyle::SP_MessageBoxWarning);
    look.RepeatedIcon = style->standardIcon(QStyle::SP_DirLinkIcon);
  }
  // Level by level with a stack of our own: folders nest deeper than a thread's stack would
  // allow recursion. Children are added in bulk to an item not yet in the view, so the view
  // sees one insertion for the whole branch.
  TFolderItem* top = MakeItem(node, marks, look);
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
      TFolderItem* subItem = MakeItem(sub, marks, look);
      items.push_back(subItem);
      pending.emplace_back(subItem, sub);
    }
    item->addChildren(items);
  }
  parentItem->addChild(top);
}

}  // namespace ostrel
