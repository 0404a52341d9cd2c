#include "mainwin/folderitem.h"

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
