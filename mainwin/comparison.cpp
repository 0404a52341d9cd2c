#include "mainwin/comparison.h"

#include <QAction>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QTreeWidget>
#include <algorithm>
#include <unordered_map>
#include <utility>

#include "controls/elidedlabel.h"
#include "mainwin/chartview.h"
#include "mainwin/folderitem.h"
#include "mainwin/statusbar.h"
#include "scan/scansettings.h"
#include "scan/treecompare.h"
#include "scan/treejob.h"

namespace ostrel {
namespace {

QString Decoded(const std::string& bytes) { return QFile::decodeName(QByteArray::fromStdString(bytes)); }

QString Size(uint64_t value) { return QString::fromStdString(FormatSize(value)); }

TFolderItem* AsFolderItem(QTreeWidgetItem* item) {
  return item && item->type() == TFolderItem::ItemType ? static_cast<TFolderItem*>(item) : nullptr;
}
const TFolderItem* AsFolderItem(const QTreeWidgetItem* item) {
  return item && item->type() == TFolderItem::ItemType ? static_cast<const TFolderItem*>(item) : nullptr;
}

// "shrink -48.8 KB" or "old -12.0 KB (gone)".
QString LossText(const TLoss& loss) {
  return Decoded(loss.Label) + QLatin1Char(' ') + SignedSize(ChangeOf(loss.Then, loss.Now)) +
         (loss.Gone ? QStringLiteral(" (gone)") : QString());
}

// "shrink: 97.7 KB then, 48.9 KB now" or "old: 12.0 KB then, gone now".
QString LossDetail(const TLoss& loss) {
  return Decoded(loss.Label) + QStringLiteral(": ") + Size(loss.Then) + QStringLiteral(" then, ") +
         (loss.Gone ? QStringLiteral("gone now") : Size(loss.Now) + QStringLiteral(" now"));
}

}  // namespace

void TComparison::Begin(TTreeJob& reading, std::string path, QTreeWidgetItem* item, const QString& since) {
  End();
  Reading = &reading;
  ReadingItem = item;
  ReadingPath = std::move(path);
  ReadingSince = since;
  C.Line->setText(QStringLiteral("Reading the scan of ") + since + QStringLiteral("..."));
  C.Panel->show();
  C.Panel->raise();
  C.EndAction->setEnabled(true);
}

void TComparison::Show(bool thisPart) {
  Base = std::exchange(Reading, nullptr);
  Item = std::exchange(ReadingItem, nullptr);
  Since = std::exchange(ReadingSince, QString());
  ReadingPath.clear();
  const TScanResult& base = Base->Outcome();
  if (Item->childCount() > 0) Mark(Item->child(0), base.Root, true);
  // A part of a scan compares as if the rest were gone (or new): the user must know.
  const bool earlierPart = base.Ending != TScanEnd::Complete;
  Caveat = earlierPart && thisPart ? QStringLiteral(" (both scans are incomplete)")
           : earlierPart           ? QStringLiteral(" (the earlier scan is incomplete)")
           : thisPart              ? QStringLiteral(" (this scan is incomplete)")
                                   : QString();
  C.Line->setText(QStringLiteral("Changes since ") + Since + Caveat);
  C.Tree->viewport()->update();
}

void TComparison::SetAside(TTreeJob*& job) {
  if (!job) return;
  job->Detach();
  Aside.push_back(std::exchange(job, nullptr));
}

void TComparison::DropReading() {
  SetAside(Reading);
  ReadingItem = nullptr;
  ReadingPath.clear();
  ReadingSince.clear();
  if (!Item) {
    C.Panel->hide();
    C.EndAction->setEnabled(false);
  }
}

void TComparison::End() {
  if (!Active()) return;
  DropReading();
  if (Item) {
    if (Item->childCount() > 0) Mark(Item->child(0), nullptr, false);
    Item = nullptr;
    SetAside(Base);
    Since.clear();
    Caveat.clear();
  }
  C.Panel->hide();
  C.EndAction->setEnabled(false);
  C.Tree->viewport()->update();
}

std::vector<const TTreeJob*> TComparison::TakeEnded() {
  std::vector<const TTreeJob*> ended;
  std::erase_if(Aside, [&](const TTreeJob* job) {
    if (!job->Finished()) return false;
    ended.push_back(job);
    return true;
  });
  return ended;
}

void TComparison::Mark(QTreeWidgetItem* top, const DirNode* oldRoot, bool compared) {
  // Item by item with a stack of our own, the earlier folder found among its parent's
  // subfolders: the two roots match whatever their paths. The folders that are gone become
  // items after their parent's own subfolders, so that the growth chart finds every
  // subfolder then and now among the items.
  std::vector<std::pair<QTreeWidgetItem*, const DirNode*>> pending{{top, oldRoot}};
  std::unordered_map<const DirNode*, const DirNode*> older;
  while (!pending.empty()) {
    auto [item, old] = pending.back();
    pending.pop_back();
    TFolderItem* folder = AsFolderItem(item);
    if (!folder || !folder->Node) continue;
    folder->Compared = compared;
    folder->OldNode = compared ? old : nullptr;
    while (item->childCount() > 0 && IsGoneItem(item->child(item->childCount() - 1)))
      delete item->takeChild(item->childCount() - 1);
    older.clear();
    const int own = item->childCount();
    if (compared && old)
      for (const TFolderChange& pair : PairSubfolders(old, folder->Node, ShownMeasure())) {
        if (pair.New)
          older.emplace(pair.New, pair.Old);
        else if (pair.Old)
          item->addChild(new TGoneItem(pair.Old));
      }
    for (int i = 0; i < own; ++i) {
      QTreeWidgetItem* child = item->child(i);
      const auto found = older.find(ItemNode(child));
      pending.emplace_back(child, found != older.end() ? found->second : nullptr);
    }
  }
}

const TFolderItem* TComparison::ComparedFolder(const QTreeWidgetItem* item) const {
  const TFolderItem* folder = AsFolderItem(item);
  return Item && folder && folder->Compared && folder->Node ? folder : nullptr;
}

void TComparison::ShowSizes(const QTreeWidgetItem* item) const {
  if (!Item) return;
  const TFolderItem* folder = ComparedFolder(item);
  if (!folder) {
    C.StatusBar->SetPanelText(0, QString());
    return;
  }
  const uint64_t now = SizeOf(*folder->Node, ShownMeasure());
  const uint64_t then = folder->OldNode ? SizeOf(*folder->OldNode, ShownMeasure()) : 0;
  // Short enough for the first panel; the size now is the third panel's.
  QString text;
  if (!folder->OldNode)
    text = SignedSize(ChangeOf(0, now)) + QStringLiteral(", new");
  else if (now == then)
    text = QStringLiteral("No change, ") + Size(now);
  else
    text = SignedSize(ChangeOf(then, now)) + QStringLiteral(", was ") + Size(then);
  C.StatusBar->SetPanelText(0, text);
}

bool TComparison::BuildChart(QTreeWidgetItem* item) {
  const TFolderItem* folder = ComparedFolder(item);
  GrowthShown = Item && (item == Item || folder);
  if (!GrowthShown) {
    Growth = TChanges();
    C.LabelLost->hide();
    C.LabelNoGrowth->hide();
    return false;
  }
  // Every subfolder then and now, as the items pair them: a point's Child is its item's index.
  std::vector<std::pair<const DirNode*, const DirNode*>> subfolders;
  subfolders.reserve(static_cast<size_t>(item->childCount()));
  for (int i = 0; i < item->childCount(); ++i) {
    const QTreeWidgetItem* child = item->child(i);
    if (IsGoneItem(child))
      subfolders.emplace_back(static_cast<const TGoneItem*>(child)->OldNode, nullptr);
    else
      subfolders.emplace_back(AsFolderItem(child) ? AsFolderItem(child)->OldNode : nullptr, ItemNode(child));
  }
  Growth = ChangesOf(folder ? folder->OldNode : nullptr, folder ? folder->Node : nullptr, subfolders, ShownMeasure(),
                     ScanSettings.combineother);

  QStringList lost, details;
  for (const TLoss& loss : Growth.Lost) {
    lost << LossText(loss);
    details << LossDetail(loss);
  }
  C.LabelLost->setText(lost.isEmpty() ? QString() : QStringLiteral("Less: ") + lost.join(QStringLiteral(", ")));
  C.LabelLost->setToolTip(details.join(QLatin1Char('\n')));
  C.LabelLost->setVisible(!lost.isEmpty());
  C.LabelLost->raise();
  if (Growth.Grown.empty())
    C.LabelNoGrowth->setText((lost.isEmpty() ? QStringLiteral("Nothing changed here since ")
                                             : QStringLiteral("Nothing grew here since ")) +
                             Since + Caveat +
                             (lost.isEmpty() ? QStringLiteral(".") : QStringLiteral(";\nwhat shrank is listed below.")));
  C.LabelNoGrowth->setVisible(Growth.Grown.empty());
  C.Chart->ShowPoints(Growth.Grown, ScanSettings.charttype);
  return true;
}

void TComparison::ShowPoint(const TChartPoint& point) const {
  QString detail;
  if (point.Child >= 0 && static_cast<size_t>(point.Child) < Growth.Items.size()) {
    const TChangeItem& item = Growth.Items[static_cast<size_t>(point.Child)];
    detail = item.New ? QStringLiteral(" (new)") : QStringLiteral(" (was ") + Size(item.Then) + QLatin1Char(')');
  } else if (point.Child == PointFiles) {
    detail = QStringLiteral(" (was ") + Size(Growth.FilesThen) + QLatin1Char(')');
  }
  C.StatusBar->SetPanelText(0, Decoded(point.Label) + detail);
  C.StatusBar->SetPanelText(1, SignedSize(TByteChange{point.Value, false}));
}

}  // namespace ostrel
