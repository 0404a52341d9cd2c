#include "mainwin/folderitem.h"

#include <QTextDocument>

#include "chart/breakdown.h"
#include "mainwin/fmain.h"

namespace ostrel {
namespace {

const TFolderItem* AsFolderItem(const QTreeWidgetItem* item) {
  return item && item->type() == TFolderItem::ItemType ? static_cast<const TFolderItem*>(item) : nullptr;
}

}  // namespace

TFolderItem::TFolderItem(const QString& text, const DirNode* node)
    : QTreeWidgetItem(QStringList{text}, ItemType), Node(node) {}

QVariant TFolderItem::data(int column, int role) const {
  if (column == 0 && role == Qt::UserRole) return QVariant::fromValue(reinterpret_cast<quintptr>(Node));
  if (column == 0 && role == Qt::ToolTipRole && Node) {
    // Made when asked: the measure shown may have changed since the item was made.
    QString tip = text(0) + QLatin1Char('\n') + QString::fromStdString(FormatSize(SizeOf(*Node, ShownMeasure())));
    if (!Note.isEmpty()) tip += QLatin1Char('\n') + Note;
    // A tooltip that looks like markup is shown as markup; a name must show as it is.
    return Qt::convertFromPlainText(tip, Qt::WhiteSpaceNoWrap);
  }
  return QTreeWidgetItem::data(column, role);
}

const DirNode* ItemNode(const QTreeWidgetItem* item) {
  const TFolderItem* folder = AsFolderItem(item);
  return folder ? folder->Node : nullptr;
}

bool ItemNamesFolder(const QTreeWidgetItem* item) {
  const TFolderItem* folder = AsFolderItem(item);
  return folder && folder->Node && folder->NamesFolder;
}

}  // namespace ostrel
