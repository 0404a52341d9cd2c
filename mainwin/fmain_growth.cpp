// The chart while a comparison is shown: the growth of the selected folder, what it lost beside
// it, and the status bar's details of a growth point.
#include <QFile>
#include <QLabel>
#include <QTreeWidget>
#include <unordered_set>
#include <utility>
#include <vector>

#include "chart/growth.h"
#include "controls/elidedlabel.h"
#include "mainwin/chartview.h"
#include "mainwin/fmain.h"
#include "mainwin/folderitem.h"
#include "mainwin/statusbar.h"
#include "scan/scansettings.h"

namespace ostrel {
namespace {

QString Decoded(const std::string& bytes) { return QFile::decodeName(QByteArray::fromStdString(bytes)); }

QString Size(uint64_t value) { return QString::fromStdString(FormatSize(value)); }

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

bool TForm1::BuildGrowthChart(QTreeWidgetItem* item) {
  const auto* folder = item && item->type() == TFolderItem::ItemType ? static_cast<const TFolderItem*>(item) : nullptr;
  const bool compared = CompareItem && (item == CompareItem || (folder && folder->Compared && folder->Node));
  GrowthShown = compared;
  if (!compared) {
    Growth = TChanges();
    LabelLost->hide();
    LabelNoGrowth->hide();
    return false;
  }
  // Every subfolder then and now: the child items first, in their order, so that a point's
  // Child is its item's index, then those that are gone.
  std::vector<std::pair<const DirNode*, const DirNode*>> subfolders;
  std::unordered_set<const DirNode*> matched;
  for (int i = 0; i < item->childCount() && !IsGoneItem(item->child(i)); ++i) {
    const QTreeWidgetItem* child = item->child(i);
    const DirNode* old =
        child->type() == TFolderItem::ItemType ? static_cast<const TFolderItem*>(child)->OldNode : nullptr;
    subfolders.emplace_back(old, ItemNode(child));
    if (old) matched.insert(old);
  }
  const DirNode* oldFolder = folder ? folder->OldNode : nullptr;
  if (oldFolder)
    for (const DirNode* old : Subfolders(*oldFolder))
      if (!matched.count(old)) subfolders.emplace_back(old, nullptr);
  Growth = ChangesOf(oldFolder, folder ? folder->Node : nullptr, subfolders, ShownMeasure(), ScanSettings.combineother);

  QStringList lost, details;
  for (const TLoss& loss : Growth.Lost) {
    lost << LossText(loss);
    details << LossDetail(loss);
  }
  LabelLost->setText(lost.isEmpty() ? QString() : QStringLiteral("Less: ") + lost.join(QStringLiteral(", ")));
  LabelLost->setToolTip(details.join(QLatin1Char('\n')));
  LabelLost->setVisible(!lost.isEmpty());
  LabelLost->raise();
  if (Growth.Grown.empty())
    LabelNoGrowth->setText((lost.isEmpty() ? QStringLiteral("Nothing changed here since ")
                                           : QStringLiteral("Nothing grew here since ")) +
                           CompareSince + CompareCaveat +
                           (lost.isEmpty() ? QStringLiteral(".") : QStringLiteral(";\nwhat shrank is listed below.")));
  LabelNoGrowth->setVisible(Growth.Grown.empty());

  PointsItem = item;
  ChartPie->ShowPoints(Growth.Grown, ScanSettings.charttype);
  return true;
}

void TForm1::ShowGrowthPoint(const TChartPoint& point) {
  QString detail;
  if (point.Child >= 0 && static_cast<size_t>(point.Child) < Growth.Items.size()) {
    const TChangeItem& item = Growth.Items[static_cast<size_t>(point.Child)];
    detail = item.New ? QStringLiteral(" (new)") : QStringLiteral(" (was ") + Size(item.Then) + QLatin1Char(')');
  } else if (point.Child == PointFiles) {
    detail = QStringLiteral(" (was ") + Size(Growth.FilesThen) + QLatin1Char(')');
  }
  StatusBar1->SetPanelText(0, Decoded(point.Label) + detail);
  StatusBar1->SetPanelText(1, SignedSize(TByteChange{point.Value, false}));
}

}  // namespace ostrel
