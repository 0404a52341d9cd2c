#include "mainwin/folderitem.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QHeaderView>
#include <QIcon>
#include <QLocale>
#include <QPainter>
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

// A size change as one ordered figure: shrinking below growing.
std::pair<bool, int64_t> ChangeKey(TByteChange change) {
  const auto bytes = static_cast<int64_t>(std::min<uint64_t>(change.Bytes, INT64_MAX));
  return {!change.Shrank || change.Bytes == 0, change.Shrank ? -bytes : bytes};
}

// Ascending or not, a folder that is gone comes after the present ones: the toolkit sorts
// descending by asking the other way round.
bool GoneLast(bool aGone, const QTreeWidgetItem& item) {
  const QTreeWidget* view = item.treeWidget();
  const bool ascending = !view || view->header()->sortIndicatorOrder() == Qt::AscendingOrder;
  return aGone == !ascending;
}

// How the tree marks a folder. The item's text stays the name.
struct TMarkLook {
  QIcon UnreadableIcon;
  QIcon RepeatedIcon;
  QColor UnreadableColour{0xA0, 0x00, 0x00};
  QColor RepeatedColour{0x70, 0x70, 0x70};
};

QString ShareText(double share) { return QString::number(share * 100.0, 'f', 1) + QStringLiteral(" %"); }

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

bool NameOrder(const DirNode* a, const DirNode* b) {
  const int byCase = CompareNoCase(a->Name, b->Name);
  if (byCase != 0) return byCase < 0;
  return std::strcmp(a->Name, b->Name) < 0;
}

QStringList TreeColumnTitles() {
  return {QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("%"), QStringLiteral("Items"),
          QStringLiteral("Modified")};
}

TFolderItem::TFolderItem(const QString& text, const DirNode* node)
    : QTreeWidgetItem(QStringList{text}, ItemType), Node(node) {}

int64_t TFolderItem::Items() const {
  if (ItemsBelow < 0 && Node) {
    int32_t files = 0, folders = 0;
    CountBelow(*Node, files, folders);
    ItemsBelow = int64_t{files} + folders;
  }
  return ItemsBelow;
}

QVariant TFolderItem::data(int column, int role) const {
  if (column != ColumnName) {
    if (!Node) return QVariant();
    if (role == Qt::TextAlignmentRole)
      return QVariant::fromValue(Qt::Alignment(column == ColumnModified ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    const uint64_t now = SizeOf(*Node, ShownMeasure());
    const DirNode* above = ItemNode(parent());
    const uint64_t whole = above ? SizeOf(*above, ShownMeasure()) : 0;
    if (column == ColumnShare && (role == Qt::DisplayRole || role == Qt::UserRole)) {
      if (whole == 0) return QVariant();
      const double share = std::min(1.0, static_cast<double>(now) / static_cast<double>(whole));
      return role == Qt::UserRole ? QVariant(share) : QVariant(ShareText(share));
    }
    if (role != Qt::DisplayRole) return QVariant();
    switch (column) {
      case ColumnSize:
        if (Compared) return SignedSize(ChangeOf(OldNode ? SizeOf(*OldNode, ShownMeasure()) : 0, now));
        return QString::fromStdString(FormatSize(now));
      case ColumnItems: return QLocale().toString(static_cast<qlonglong>(Items()));
      case ColumnModified:
        if (Node->MTime == 0) return QString();
        return QDateTime::fromSecsSinceEpoch(Node->MTime).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
      default: return QVariant();
    }
  }
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

bool TFolderItem::operator<(const QTreeWidgetItem& other) const {
  if (other.type() != ItemType) return GoneLast(false, *this);
  const auto& that = static_cast<const TFolderItem&>(other);
  if (!Node || !that.Node) return text(0) < that.text(0);
  const TMeasure measure = ShownMeasure();
  switch (treeWidget() ? treeWidget()->sortColumn() : 0) {
    case ColumnSize:
    case ColumnShare:
      if (Compared && that.Compared) {
        const auto mine = ChangeKey(ChangeOf(OldNode ? SizeOf(*OldNode, measure) : 0, SizeOf(*Node, measure)));
        const auto theirs =
            ChangeKey(ChangeOf(that.OldNode ? SizeOf(*that.OldNode, measure) : 0, SizeOf(*that.Node, measure)));
        if (mine != theirs) return mine < theirs;
      } else if (SizeOf(*Node, measure) != SizeOf(*that.Node, measure)) {
        return SizeOf(*Node, measure) < SizeOf(*that.Node, measure);
      }
      break;
    case ColumnItems:
      if (Items() != that.Items()) return Items() < that.Items();
      break;
    case ColumnModified:
      if (Node->MTime != that.Node->MTime) return Node->MTime < that.Node->MTime;
      break;
    default: break;
  }
  return NameOrder(Node, that.Node);
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

bool TGoneItem::operator<(const QTreeWidgetItem& other) const {
  if (other.type() == ItemType) return NameOrder(OldNode, static_cast<const TGoneItem&>(other).OldNode);
  return GoneLast(true, *this);
}

QSize TNameDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QSize hint = QStyledItemDelegate::sizeHint(option, index);
  // A scan's root is named by its whole path, which is worth its room.
  if (!index.parent().isValid() || !index.parent().parent().isValid()) return hint;
  QStyleOptionViewItem look(option);
  initStyleOption(&look, index);
  const int iconRoom = look.features & QStyleOptionViewItem::HasDecoration ? look.decorationSize.width() + 4 : 0;
  hint.setWidth(std::min(hint.width(), iconRoom + 8 + 18 * look.fontMetrics.averageCharWidth()));
  return hint;
}

void TShareDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QStyleOptionViewItem look(option);
  initStyleOption(&look, index);
  const QString text = look.text;
  look.text.clear();
  QStyle* style = look.widget ? look.widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &look, painter, look.widget);
  const QVariant share = index.data(Qt::UserRole);
  if (!share.isValid()) return;
  const QRect cell = look.rect.adjusted(2, 0, -2, 0);
  QRect bar = cell.adjusted(0, 3, 0, -3);
  bar.setWidth(static_cast<int>(cell.width() * share.toDouble() + 0.5));
  painter->save();
  painter->setPen(Qt::NoPen);
  painter->setBrush(QColor(0x7C, 0xA8, 0xD8, 0x90));
  painter->drawRect(bar);
  const bool selected = look.state & QStyle::State_Selected;
  painter->setPen(look.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
  painter->drawText(cell, Qt::AlignRight | Qt::AlignVCenter, text);
  painter->restore();
}

bool SortBranch(QTreeWidget* view, QTreeWidgetItem* item, const QTreeWidgetItem* watch, bool deep) {
  const int sorting = view->property("ostrelSorting").toInt();
  const int column = view->sortColumn();
  const Qt::SortOrder order = view->header()->sortIndicatorOrder();
  bool watched = false;
  std::vector<QTreeWidgetItem*> pending;
  if (item) {
    pending.push_back(item);
  } else {
    for (int i = 0; i < view->topLevelItemCount(); ++i) pending.push_back(view->topLevelItem(i));
  }
  while (!pending.empty()) {
    QTreeWidgetItem* next = pending.back();
    pending.pop_back();
    if (next != item && !next->isExpanded()) continue;
    if (next->type() == TFolderItem::ItemType) {
      auto* folder = static_cast<TFolderItem*>(next);
      if (folder->Node && folder->SortedAs != sorting && folder->childCount() > 1) {
        folder->sortChildren(column, order);
        watched = watched || folder == watch;
      }
      folder->SortedAs = sorting;
    }
    if (deep || !item)
      for (int i = 0; i < next->childCount(); ++i) pending.push_back(next->child(i));
  }
  return watched;
}

bool ResortTree(QTreeWidget* view, const QTreeWidgetItem* watch) {
  view->setProperty("ostrelSorting", view->property("ostrelSorting").toInt() + 1);
  return SortBranch(view, nullptr, watch);
}

bool ResortBySize(QTreeWidget* view, const QTreeWidgetItem* watch) {
  const int column = view->sortColumn();
  return (column == ColumnSize || column == ColumnShare) && ResortTree(view, watch);
}

void MarkUnsorted(QTreeWidgetItem* item) {
  if (item && item->type() == TFolderItem::ItemType) static_cast<TFolderItem*>(item)->SortedAs = -1;
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
    std::sort(folders.begin(), folders.end(), NameOrder);
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
