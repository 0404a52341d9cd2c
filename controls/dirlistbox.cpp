#include "controls/dirlistbox.h"

#include <QFile>
#include <QKeyEvent>
#include <QStyle>
#include <QStyledItemDelegate>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "controls/drivecombo.h"
#include "platform/dirlist.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "scan/textcase.h"

namespace ostrel {

namespace {

constexpr int IndentStep = 10;

std::string LastComponent(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos || path.size() == 1 ? path : path.substr(slash + 1);
}

std::string JoinName(const std::string& folder, const std::string& name) {
  return (std::filesystem::path(folder) / name).string();
}

class TIndentDelegate : public QStyledItemDelegate {
 public:
  explicit TIndentDelegate(TDirectoryListBox* box) : QStyledItemDelegate(box), Box(box) {}

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    return {size.width() + Indent(index), Box->ItemHeight()};
  }

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->rect.setLeft(option->rect.left() + Indent(index));
  }

 private:
  static int Indent(const QModelIndex& index) {
    return index.data(TDirectoryListBox::LevelRole).toInt() * IndentStep;
  }
  const TDirectoryListBox* Box;
};

}  // namespace

std::vector<std::string> AncestorChain(const std::string& root, const std::string& path) {
  if (root.empty() || RootHolding({root}, path) != 0) return {path};
  std::vector<std::string> chain{root};
  size_t pos = root.size();
  while (pos < path.size()) {
    if (path[pos] == '/') ++pos;
    const size_t next = path.find('/', pos);
    const size_t end = next == std::string::npos ? path.size() : next;
    if (end > pos) chain.push_back(path.substr(0, end));
    pos = end;
  }
  return chain;
}

TDirectoryListBox::TDirectoryListBox(QWidget* parent, const TDriveSource& drives) : QListWidget(parent) {
  setItemDelegate(new TIndentDelegate(this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  for (const TDrive& drive : drives ? drives() : std::vector<TDrive>{})
    if (drive.Type != DriveNoRoot) DriveRoots.push_back(drive.Root);
  connect(this, &QListWidget::itemDoubleClicked, this, &TDirectoryListBox::EnterLine);
  if (!SetDirectory(WorkingDirectory())) SetDirectory("/");
}

bool TDirectoryListBox::SetDirectory(const std::string& path) {
  if (path.empty()) return false;
  const std::string folder = ResolvedPath(path);
  if (folder.empty()) return false;
  TSearch* search = FindOpen(nullptr, folder.c_str());
  if (!search) return false;
  std::vector<std::string> names;
  TSearchRec rec;
  while (FindNext(search, rec))
    if (rec.Attr & FaDirectory) names.emplace_back(rec.Name);
  FindClose(search);
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const int c = CompareNoCase(a, b);
    return c != 0 ? c < 0 : a < b;
  });

  const int rootIndex = RootHolding(DriveRoots, folder);
  const std::string root = rootIndex >= 0 ? DriveRoots[static_cast<size_t>(rootIndex)] : std::string("/");
  const bool changed = folder != Current;
  Current = folder;
  Fill(AncestorChain(root, folder), names);
  if (changed) emit DirectoryChanged();
  return true;
}

void TDirectoryListBox::Fill(const std::vector<std::string>& chain, const std::vector<std::string>& subfolders) {
  clear();
  const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
  auto add = [this](const QIcon& icon, const std::string& text, const std::string& full, int level) {
    auto* item = new QListWidgetItem(icon, QFile::decodeName(QByteArray::fromStdString(text)), this);
    item->setData(PathRole, QByteArray::fromStdString(full));
    item->setData(LevelRole, level);
    return item;
  };
  QListWidgetItem* current = nullptr;
  for (size_t i = 0; i < chain.size(); ++i)
    current = add(open, i == 0 ? chain[i] : LastComponent(chain[i]), chain[i], static_cast<int>(i));
  for (const std::string& name : subfolders)
    add(closed, name, JoinName(Current, name), static_cast<int>(chain.size()));
  if (current) {
    setCurrentItem(current);
    scrollToItem(current);
  }
}

void TDirectoryListBox::SetItemHeight(int height) {
  LineHeight = std::max(1, height);
  doItemsLayout();
}

void TDirectoryListBox::EnterLine(QListWidgetItem* item) {
  if (item) SetDirectory(item->data(PathRole).toByteArray().toStdString());
}

void TDirectoryListBox::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    EnterLine(currentItem());
    event->accept();
    return;
  }
  QListWidget::keyPressEvent(event);
}

}  // namespace ostrel
