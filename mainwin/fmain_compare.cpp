#include <QAction>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QTreeWidget>
#include <algorithm>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "docs/desktop.h"
#include "mainwin/comparedialog.h"
#include "mainwin/fmain.h"
#include "mainwin/folderitem.h"
#include "mainwin/statusbar.h"
#include "scan/treecompare.h"
#include "scanfile/history.h"
#include "scanfile/fileloader.h"
#include "scanfile/importscan.h"

namespace ostrel {
namespace {

TFolderItem* AsFolderItem(QTreeWidgetItem* item) {
  return item && item->type() == TFolderItem::ItemType ? static_cast<TFolderItem*>(item) : nullptr;
}

// The key its kept scans are filed under: as the scan named its root.
std::string KeyOf(const TScanView& view) {
  return HistoryKey(view.AllDrives || !view.Root ? std::string() : std::string(view.Root->Name));
}

}  // namespace

void TForm1::CompareWithEarlierScan1Click() {
  const TShownScan* scan = ShownScanOf(PointsItem ? PointsItem : SelectedItem());
  if (!scan || !scan->View.Root) {
    Desktop.ShowMessage(this, QStringLiteral("There is no scan to compare yet: select a folder of a finished scan first."),
                        QStringLiteral("Error"));
    return;
  }
  std::vector<TKeptScan> kept = ListKeptScans(ScanHistoryFolder(), KeyOf(scan->View));
  // The scan is never offered to be compared with itself: neither the kept file it was opened
  // from nor the one kept from its walk would show anything but "Nothing changed".
  int64_t self = scan->Ended;
  for (const TKeptScan& k : kept)
    if (k.Path == scan->File) self = k.Time;
  std::erase_if(kept, [&](const TKeptScan& k) { return k.Path == scan->File || (self != 0 && k.Time == self); });
  // Newest first: the first one older than the scan is its "before". With no time of its own
  // (a file saved by hand) that is the newest; with none older, nothing is chosen for the user.
  int selected = kept.empty() ? -1 : 0;
  if (self != 0) {
    const auto before = std::find_if(kept.begin(), kept.end(), [&](const TKeptScan& k) { return k.Time < self; });
    selected = before == kept.end() ? -1 : static_cast<int>(before - kept.begin());
  }
  std::unordered_map<std::string, int64_t> times;
  for (const TKeptScan& k : kept) times.emplace(k.Path, k.Time);
  const std::optional<std::string> chosen = AskScanToCompare(this, std::move(kept), selected, Desktop);
  if (!chosen) return;
  const auto time = times.find(*chosen);
  const QString name = QFile::decodeName(QByteArray::fromStdString(*chosen));
  const QDateTime when = time != times.end() ? QDateTime::fromMSecsSinceEpoch(time->second / 1000, Qt::UTC)
                                             : QFileInfo(name).lastModified();
  CompareWithScanFile(*chosen, when);
}

void TForm1::CompareWithScanFile(const std::string& path, const QDateTime& when) {
  // The scan whose chart shows, as saving takes it.
  const TShownScan* scan = ShownScanOf(PointsItem ? PointsItem : SelectedItem());
  if (!scan || !scan->View.Root) {
    Desktop.ShowMessage(this, QStringLiteral("There is no scan to compare yet: select a folder of a finished scan first."),
                        QStringLiteral("Error"));
    return;
  }
  // A new request replaces whatever was shown or being read.
  EndComparison1Click();
  // Read on a thread: an earlier scan is as large as the one shown, and the window must stay
  // usable meanwhile.
  CompareLoad = std::make_unique<TFileLoader>(path);
  CompareLoad->Scan.MemoryLimit = ScanMemoryLimit;
  CompareLoad->Scan.RegularOnly = ScanFilesRegularOnly;
  CompareLoad->NotifyMessage.store(CompareFileDoneMessage);
  CompareLoad->NotifyWindow.store(Handle());
  CompareLoadItem = scan->Item;
  CompareLoadSince = when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
  LabelCompare->setText(QStringLiteral("Reading the scan of ") + CompareLoadSince + QStringLiteral("..."));
  PanelCompare->show();
  PanelCompare->raise();
  EndComparison1->setEnabled(true);
  CompareLoad->Resume();
}

void TForm1::CompareFileLoaded(std::intptr_t lParam) {
  // One ended or replaced before it was read: PruneCompareLoads frees it once its thread, which
  // waits for this call to return, has ended.
  if (!CompareLoad || reinterpret_cast<TFileLoader*>(lParam) != CompareLoad.get()) return;
  TFileLoader* load = CompareLoad.get();
  std::string error = load->Error;
  if (error.empty() && !load->Scan.Result.Root) error = "it holds no scan to compare with (the scan was stopped before it read its first folder)";
  if (!error.empty()) {
    const QString name = QFile::decodeName(QByteArray::fromStdString(load->Path));
    DropCompareLoad();
    PanelCompare->hide();
    EndComparison1->setEnabled(false);
    Desktop.ShowMessage(this,
                        QStringLiteral("The scan file %1 could not be compared. %2").arg(name, ScanFileReason(error)),
                        QStringLiteral("Error"));
    return;
  }
  CompareBase = std::move(CompareLoad);
  CompareItem = std::exchange(CompareLoadItem, nullptr);
  CompareSince = std::exchange(CompareLoadSince, QString());
  const TImportedScan& base = CompareBase->Scan;
  auto* computer = const_cast<QTreeWidgetItem*>(CompareItem);
  if (computer->childCount() > 0) MarkCompared(computer->child(0), base.Result.Root, true);
  // A part of a scan compares as if the rest were gone (or new): the user must know.
  const TShownScan* compared = ShownScanOf(CompareItem);
  const bool earlierPart = base.Result.Ending != TScanEnd::Complete;
  const bool thisPart = compared && compared->View.Ending != TScanEnd::Complete;
  CompareCaveat = earlierPart && thisPart ? QStringLiteral(" (both scans are incomplete)")
                  : earlierPart           ? QStringLiteral(" (the earlier scan is incomplete)")
                  : thisPart              ? QStringLiteral(" (this scan is incomplete)")
                                          : QString();
  LabelCompare->setText(QStringLiteral("Changes since ") + CompareSince + CompareCaveat);
  TreeViewDirectories->viewport()->update();
  TreeViewDirectoriesClick();
}

void TForm1::PruneCompareLoads() {
  std::erase_if(CompareDropped, [](const std::unique_ptr<TFileLoader>& load) { return load->Finished(); });
}

void TForm1::DropCompareLoad() {
  if (!CompareLoad) return;
  CompareLoad->StopFlag.store(1);
  CompareDropped.push_back(std::move(CompareLoad));
  CompareLoadItem = nullptr;
  CompareLoadSince.clear();
}

void TForm1::EndComparison1Click() {
  if (!CompareItem && !CompareLoad) return;
  DropCompareLoad();
  if (CompareItem) {
    // The item may be gone from the tree by now only with the window.
    QTreeWidgetItem* computer = const_cast<QTreeWidgetItem*>(CompareItem);
    if (computer->childCount() > 0) MarkCompared(computer->child(0), nullptr, false);
    CompareItem = nullptr;
    CompareBase.reset();
    CompareSince.clear();
    CompareCaveat.clear();
  }
  PanelCompare->hide();
  EndComparison1->setEnabled(false);
  StatusBar1->SetPanelText(0, QString());
  TreeViewDirectories->viewport()->update();
  TreeViewDirectoriesClick();
}

void TForm1::MarkCompared(QTreeWidgetItem* top, const DirNode* oldRoot, bool compared) {
  // Item by item with a stack of our own, the earlier folder found among its parent's
  // subfolders: the two roots match whatever their paths.
  std::vector<std::pair<QTreeWidgetItem*, const DirNode*>> pending{{top, oldRoot}};
  std::unordered_map<const DirNode*, const DirNode*> older;
  while (!pending.empty()) {
    auto [item, old] = pending.back();
    pending.pop_back();
    TFolderItem* folder = AsFolderItem(item);
    if (!folder || !folder->Node) continue;
    folder->Compared = compared;
    folder->OldNode = compared ? old : nullptr;
    // The folders that are gone follow the item's own subfolders while compared.
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

void TForm1::ShowComparedSizes(const QTreeWidgetItem* item) {
  if (!CompareItem) return;
  const auto* folder = item && item->type() == TFolderItem::ItemType ? static_cast<const TFolderItem*>(item) : nullptr;
  if (!folder || !folder->Compared || !folder->Node) {
    StatusBar1->SetPanelText(0, QString());
    return;
  }
  const uint64_t now = SizeOf(*folder->Node, ShownMeasure());
  const uint64_t then = folder->OldNode ? SizeOf(*folder->OldNode, ShownMeasure()) : 0;
  // Short enough for the first panel; the size now is the third panel's.
  QString text;
  if (!folder->OldNode)
    text = SignedSize(ChangeOf(0, now)) + QStringLiteral(", new");
  else if (now == then)
    text = QStringLiteral("No change, ") + QString::fromStdString(FormatSize(now));
  else
    text = SignedSize(ChangeOf(then, now)) + QStringLiteral(", was ") + QString::fromStdString(FormatSize(then));
  StatusBar1->SetPanelText(0, text);
}

}  // namespace ostrel
