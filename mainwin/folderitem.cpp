#include "mainwin/folderitem.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QPixmap>
#include <QStyle>
#include <QTextDocument>
#include <QTreeWidget>

#include "chart/breakdown.h"
#include "mainwin/fmain.h"

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

}  // namespace

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

bool ItemNamesFolder(const QTreeWidgetItem* item) {
  const TFolderItem* folder = AsFolderItem(item);
  return folder && folder->Node && folder->NamesFolder;
}

}  // namespace ostrel
