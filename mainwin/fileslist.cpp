#include "mainwin/fileslist.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollBar>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>

#include "chart/breakdown.h"
#include "mainwin/folderitem.h"
#include "scan/largest.h"
#include "scan/textcase.h"

namespace ostrel {

namespace {

QString NameText(const DirNode& node) { return QFile::decodeName(QByteArray(node.Name)); }

// The path of the file's folder from `top`, the folder listed: empty for a file of `top` itself.
QString FolderText(const DirNode& file, const DirNode* top) {
  std::vector<const char*> names;
  for (const DirNode* folder = file.Parent; folder && folder != top; folder = folder->Parent) names.push_back(folder->Name);
  std::string path;
  for (auto name = names.rbegin(); name != names.rend(); ++name) path.empty() ? void(path = *name) : JoinPath(path, *name);
  return QFile::decodeName(QByteArray::fromStdString(path));
}

}  // namespace

// The rows: file nodes of one scan's tree, filtered and in the order of the sort column. Texts
// are made when the view asks for a row in sight.
class TFilesModel final : public QAbstractTableModel {
 public:
  explicit TFilesModel(QObject* parent) : QAbstractTableModel(parent) {}

  // Lists `files` (sorted here) below `folder` in `measure`, the Folder column with `folderColumn`.
  void SetFiles(std::vector<const DirNode*> files, const DirNode* folder, TMeasure measure, bool folderColumn) {
    beginResetModel();
    Rows = std::move(files);
    Top = folder;
    Measure = measure;
    Columns = folderColumn ? 4 : 3;
    if (SortColumn >= Columns) SortColumn = TFilesList::ColumnSize, SortOrder = Qt::DescendingOrder;
    SortRows();
    endResetModel();
  }
  const DirNode* NodeAt(int row) const {
    return row >= 0 && row < static_cast<int>(Rows.size()) ? Rows[static_cast<size_t>(row)] : nullptr;
  }
  const std::vector<const DirNode*>& Nodes() const { return Rows; }
  int SortedColumn() const { return SortColumn; }
  Qt::SortOrder SortedOrder() const { return SortOrder; }

  int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : static_cast<int>(Rows.size()); }
  int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : Columns; }

  QVariant data(const QModelIndex& index, int role) const override {
    const DirNode* node = NodeAt(index.row());
    if (!node || !index.isValid()) return {};
    const int column = index.column();
    if (role == Qt::DisplayRole) {
      switch (column) {
        case TFilesList::ColumnName:
          return NameText(*node);
        case TFilesList::ColumnSize:
          return QString::fromStdString(FormatSize(SizeOf(*node, Measure)));
        case TFilesList::ColumnModified:
          if (node->MTime == 0) return QString();
          return QDateTime::fromSecsSinceEpoch(node->MTime).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        case TFilesList::ColumnFolder:
          return FolderText(*node, Top);
      }
      return {};
    }
    if (role == Qt::TextAlignmentRole && column == TFilesList::ColumnSize)
      return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    if (role == Qt::ToolTipRole && column == TFilesList::ColumnName) return DisplayPath(*node);
    if (role == Qt::ToolTipRole && column == TFilesList::ColumnFolder) return FolderText(*node, Top);
    return {};
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::TextAlignmentRole && section == TFilesList::ColumnSize)
      return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    // A first click on Size or Modified puts the largest or newest first.
    if (role == Qt::InitialSortOrderRole)
      return section == TFilesList::ColumnSize || section == TFilesList::ColumnModified ? Qt::DescendingOrder
                                                                                          : Qt::AscendingOrder;
    if (role != Qt::DisplayRole) return {};
    switch (section) {
      case TFilesList::ColumnName: return QStringLiteral("Name");
      case TFilesList::ColumnSize: return QStringLiteral("Size");
      case TFilesList::ColumnModified: return QStringLiteral("Modified");
      case TFilesList::ColumnFolder: return QStringLiteral("Folder");
    }
    return {};
  }

  // Rows in sight and selected follow their files to their new places.
  void sort(int column, Qt::SortOrder order) override {
    if (column < 0 || column >= Columns) return;
    SortColumn = column;
    SortOrder = order;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<const DirNode*> nodes;
    nodes.reserve(static_cast<size_t>(before.size()));
    for (const QModelIndex& index : before) nodes.push_back(NodeAt(index.row()));
    SortRows();
    std::unordered_map<const DirNode*, int> rowOf;
    for (const DirNode* node : nodes) rowOf.emplace(node, -1);
    for (size_t row = 0; row < Rows.size() && !rowOf.empty(); ++row)
      if (auto found = rowOf.find(Rows[row]); found != rowOf.end()) found->second = static_cast<int>(row);
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
      const auto found = rowOf.find(nodes[static_cast<size_t>(i)]);
      after.push_back(found != rowOf.end() && found->second >= 0 ? index(found->second, before[i].column()) : QModelIndex());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
  }

 private:
  // By the sort column in its order; files equal there by their full paths, ascending, so the
  // order never depends on how the rows came.
  void SortRows() {
    const TMeasure measure = Measure;
    const int column = SortColumn;
    const bool ascending = SortOrder == Qt::AscendingOrder;
    const auto key = [measure, column](const DirNode* a, const DirNode* b) -> int {
      switch (column) {
        case TFilesList::ColumnName:
          if (const int c = CompareNoCase(a->Name, b->Name)) return c;
          return std::strcmp(a->Name, b->Name);
        case TFilesList::ColumnSize: {
          const uint64_t sa = SizeOf(*a, measure), sb = SizeOf(*b, measure);
          return (sa > sb) - (sa < sb);
        }
        case TFilesList::ColumnModified:
          return (a->MTime > b->MTime) - (a->MTime < b->MTime);
        case TFilesList::ColumnFolder:
          if (a->Parent == b->Parent || !a->Parent || !b->Parent) return 0;
          return FullPathBefore(*a->Parent, *b->Parent) ? -1 : 1;
      }
      return 0;
    };
    std::sort(Rows.begin(), Rows.end(), [&key, ascending](const DirNode* a, const DirNode* b) {
      if (const int c = key(a, b)) return ascending ? c < 0 : c > 0;
      return FullPathBefore(*a, *b);
    });
  }

  std::vector<const DirNode*> Rows;
  const DirNode* Top = nullptr;
  TMeasure Measure = TMeasure::DiskUsage;
  int Columns = 3;
  int SortColumn = TFilesList::ColumnSize;
  Qt::SortOrder SortOrder = Qt::DescendingOrder;
};

TFilesList::TFilesList(QWidget* parent) : QWidget(parent) {
  LabelFiles = new QLabel(QStringLiteral("Files"), this);
  LabelFiles->setObjectName(QStringLiteral("LabelFiles"));
  CheckAllBelow = new QCheckBox(QStringLiteral("All below"), this);
  CheckAllBelow->setObjectName(QStringLiteral("CheckAllBelow"));
  CheckAllBelow->setToolTip(QStringLiteral("List the %1 largest files at any depth below the folder").arg(LargestCount));
  ListFiles = new QTreeView(this);
  ListFiles->setObjectName(QStringLiteral("ListFiles"));
  ListFiles->setRootIsDecorated(false);
  // The name or folder column stretches to the edge: the columns always fit, never scroll.
  ListFiles->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  ListFiles->setUniformRowHeights(true);
  ListFiles->setItemsExpandable(false);
  ListFiles->setAllColumnsShowFocus(true);
  ListFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ListFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListFiles->setTextElideMode(Qt::ElideMiddle);
  Model = new TFilesModel(this);
  ListFiles->setModel(Model);
  ListFiles->header()->setSortIndicator(ColumnSize, Qt::DescendingOrder);
  ListFiles->setSortingEnabled(true);
  ListFiles->header()->setSectionsMovable(false);
  ListFiles->installEventFilter(this);
  Pad = 2 * ListFiles->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, ListFiles) + 16;
  FitColumns();

  auto* top = new QHBoxLayout;
  top->setContentsMargins(0, 0, 0, 0);
  top->addWidget(LabelFiles);
  top->addStretch(1);
  top->addWidget(CheckAllBelow);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addLayout(top);
  layout->addWidget(ListFiles, 1);

  connect(CheckAllBelow, &QCheckBox::toggled, this, [this] { Fill(false); });
  connect(ListFiles, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
    if (const DirNode* file = Model->NodeAt(index.row())) emit FileActivated(file);
  });
  connect(ListFiles->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    if (!Filling) emit SelectionChanged();
  });
}

TFilesList::~TFilesList() = default;

void TFilesList::ShowFolder(const DirNode* folder, TMeasure measure) {
  ListedFolder = folder;
  ListedMeasure = measure;
  Fill(false);
}

void TFilesList::Clear() { ShowFolder(nullptr, ListedMeasure); }

void TFilesList::Refresh() { Fill(true); }

std::vector<const DirNode*> TFilesList::SelectedFiles() const {
  QModelIndexList rows = ListFiles->selectionModel()->selectedRows(ColumnName);
  std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  std::vector<const DirNode*> files;
  files.reserve(static_cast<size_t>(rows.size()));
  for (const QModelIndex& index : rows)
    if (const DirNode* file = Model->NodeAt(index.row())) files.push_back(file);
  return files;
}

bool TFilesList::SelectFile(const DirNode* file) {
  const std::vector<const DirNode*>& nodes = Model->Nodes();
  const auto found = std::find(nodes.begin(), nodes.end(), file);
  if (!file || found == nodes.end()) return false;
  const QModelIndex at = Model->index(static_cast<int>(found - nodes.begin()), ColumnName);
  ListFiles->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  ListFiles->scrollTo(at);
  return true;
}

void TFilesList::SetFilter(const QString& text) {
  if (text == FilterText) return;
  FilterText = text;
  Fill(true);
}

bool TFilesList::AllBelow() const { return CheckAllBelow->isChecked(); }

void TFilesList::SetAllBelow(bool on) { CheckAllBelow->setChecked(on); }

bool TFilesList::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ListFiles && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
    if (ListFiles->selectionModel()->hasSelection()) emit TrashRequested();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

// Gathers the rows afresh from the listed folder; with `keepSelection` the files still listed
// stay selected. SelectionChanged comes once, and only when the selection did change.
void TFilesList::Fill(bool keepSelection) {
  const std::vector<const DirNode*> selected = SelectedFiles();
  const bool allBelow = CheckAllBelow->isChecked();
  const QByteArray filter = QFile::encodeName(FilterText);
  const std::string_view part(filter.constData(), static_cast<size_t>(filter.size()));
  std::vector<const DirNode*> files;
  if (ListedFolder && allBelow) {
    files = LargestFilesBelow(*ListedFolder, LargestCount, ListedMeasure, part);
  } else if (ListedFolder) {
    for (const DirNode* child = ListedFolder->FirstChild; child; child = child->NextSibling)
      if (child->Kind == NodeFile && ContainsNoCase(child->Name, part)) files.push_back(child);
  }
  const int columnsBefore = Model->columnCount({});
  {
    Filling = true;
    struct TDone {
      bool& Flag;
      ~TDone() { Flag = false; }
    } done{Filling};
    Model->SetFiles(std::move(files), ListedFolder, ListedMeasure, allBelow);
    if (keepSelection && !selected.empty()) {
      std::unordered_map<const DirNode*, bool> wanted;
      for (const DirNode* file : selected) wanted.emplace(file, true);
      QItemSelection rows;
      const std::vector<const DirNode*>& nodes = Model->Nodes();
      for (size_t row = 0; row < nodes.size(); ++row)
        if (wanted.count(nodes[row])) {
          const QModelIndex at = Model->index(static_cast<int>(row), ColumnName);
          rows.select(at, at);
        }
      ListFiles->selectionModel()->select(rows, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
  }
  // The header forgets an indicator past its last column; the model's order is the truth.
  QHeaderView* header = ListFiles->header();
  if (header->sortIndicatorSection() != Model->SortedColumn() || header->sortIndicatorOrder() != Model->SortedOrder()) {
    const QSignalBlocker quiet(header);
    header->setSortIndicator(Model->SortedColumn(), Model->SortedOrder());
  }
  if (Model->columnCount({}) != columnsBefore)
    FitColumns();
  else
    FitNames();
  if (SelectedFiles() != selected) emit SelectionChanged();
}

// Size and Modified take what their widest texts need. Alone, Name takes the rest; beside
// Folder it takes what the widest of the first rows needs, up to two thirds of what is left,
// and Folder the rest. No more rows are measured: a folder of 100,000 files would pay for it.
void TFilesList::FitColumns() {
  QHeaderView* header = ListFiles->header();
  const QFontMetrics metrics(ListFiles->font());
  const int columns = Model->columnCount({});
  header->setStretchLastSection(columns > ColumnFolder);
  header->setMinimumSectionSize(metrics.horizontalAdvance(QStringLiteral("Name")) + Pad);
  header->setSectionResizeMode(ColumnName, columns > ColumnFolder ? QHeaderView::Interactive : QHeaderView::Stretch);
  for (int column : {ColumnSize, ColumnModified}) {
    header->setSectionResizeMode(column, QHeaderView::Interactive);
    const QString widest = column == ColumnSize ? QStringLiteral("99999.9 MB") : QStringLiteral("2026-12-31 23:59");
    const int title = header->fontMetrics().horizontalAdvance(Model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
    // The header's text needs room for the sort arrow beside it.
    header->resizeSection(column, std::max(metrics.horizontalAdvance(widest), title + 20) + Pad);
  }
  FitNames();
}

void TFilesList::FitNames() {
  if (Model->columnCount({}) <= ColumnFolder) return;
  QHeaderView* header = ListFiles->header();
  const QFontMetrics metrics(ListFiles->font());
  int widest = header->fontMetrics().horizontalAdvance(QStringLiteral("Name")) + 20;
  const int rows = std::min(Model->rowCount({}), 1000);
  for (int row = 0; row < rows; ++row)
    widest = std::max(widest, metrics.horizontalAdvance(Model->index(row, ColumnName).data().toString()));
  // The rows may not yet know that they will need the scroll bar: its room is kept free.
  int room = ListFiles->viewport()->width();
  if (!ListFiles->verticalScrollBar()->isVisible())
    room -= ListFiles->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, ListFiles);
  const int free = room - header->sectionSize(ColumnSize) - header->sectionSize(ColumnModified);
  header->resizeSection(ColumnName, std::max(header->minimumSectionSize(), std::min(widest + Pad, free * 2 / 3)));
}

void TFilesList::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FitNames();
}

}  // namespace ostrel
