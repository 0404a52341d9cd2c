// Walking one folder of a shown scan again and putting the new walk in place of the old one,
// with the live count and Stop of a scan; the rest of the tree stays as it was.
#include <QFile>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <utility>

#include "docs/desktop.h"
#include "mainwin/fmain.h"
#include "mainwin/folderitem.h"
#include "platform/files.h"
#include "scan/paths.h"
#include "scan/treejob.h"

namespace ostrel {
namespace {

QString RefusalText(TEditRefusal refused, const QString& name) {
  switch (refused) {
    case TEditRefusal::Repeated:
      return QStringLiteral("%1 is a folder met again: its contents are counted under its first name. Refresh that one.")
          .arg(name);
    case TEditRefusal::TooDeep: return QStringLiteral("%1 now nests too deep to be put in the tree.").arg(name);
    case TEditRefusal::NoWalk: return QStringLiteral("%1 could not be walked again.").arg(name);
    default: return QStringLiteral("%1 is no longer in a scan shown.").arg(name);
  }
}

}  // namespace

void TForm1::RefreshFolder1Click() {
  const QTreeWidgetItem* item = SelectedItem();
  Refresh(ItemNode(item), item && ItemNode(item) && !ItemNamesFolder(item));
}

void TForm1::RefreshAll1Click() {
  const TShownScan* scan = Scans.ScanOf(SelectedItem());
  const TScanResult* result = scan ? &scan->Job->Outcome() : nullptr;
  Refresh(result ? result->Root : nullptr, result && result->AllDrives);
}

void TForm1::Refresh(const DirNode* folder, bool allDrives) {
  const QString error = QStringLiteral("Error");
  if (!folder) {
    Desktop.ShowMessage(this, QStringLiteral("Please select a folder of a scan in the tree first."), error);
    return;
  }
  // A scan stays attached once shown; one not shown yet is still under way.
  if (Attached && std::none_of(Scans.Shown.begin(), Scans.Shown.end(), [this](const TShownScan& s) { return s.Job == Attached; })) {
    Desktop.ShowMessage(this, QStringLiteral("A scan is under way. Refresh once it has ended."), error);
    return;
  }
  TShownScan* shown = nullptr;
  if (!Scans.EditableScanOf(folder, shown)) return;
  // All Drives is a list of mounts, not a folder: it is scanned anew, beside the old scan.
  if (allDrives) {
    StopScan(1);
    StartScan(std::string());
    return;
  }
  const QString name = DisplayPath(*folder);
  const std::string path = AbsolutePath(FullPath(*folder), shown);
  const bool fromFile = !shown->File.empty();
  if (fromFile && (!IsPathSeparator(path.front()) || !FolderExists(path.c_str()))) {
    Desktop.ShowMessage(
        this, NotOnThisComputer(QStringLiteral("%1 is not on this computer, so it cannot be walked again.").arg(name), shown, false),
        error);
    return;
  }
  if (MarksOf(ViewOf(shown->Job->Outcome())).Repeated.count(folder)) {
    Desktop.ShowMessage(this, RefusalText(TEditRefusal::Repeated, name), error);
    return;
  }
  if (!FolderExists(path.c_str())) {
    // What a fresh scan would show: the folder is gone.
    if (TakeOutOfScan(folder) == TEditRefusal::None)
      Desktop.ShowMessage(this, QStringLiteral("%1 is no longer there: it was taken out of the scan.").arg(name), error);
    else
      Desktop.ShowMessage(this, QStringLiteral("%1 is no longer there.").arg(name), error);
    return;
  }
  StopScan(1);
  Refreshing.Folder = folder;
  Refreshing.Ids = StartWalk(path);
}

void TForm1::FinishRefresh() {
  TTreeJob* walk = Attached;
  Attached = nullptr;
  AttachedPath.clear();
  const TRefresh refresh = std::exchange(Refreshing, TRefresh{});
  TShownScan* shown = nullptr;
  Scans.EditableScanOf(refresh.Folder, shown);
  const QString name = DisplayPath(*refresh.Folder);
  TScanResult& fresh = walk->Outcome();
  if (fresh.Ending == TScanEnd::OutOfMemory)
    Desktop.ShowMessage(this, QStringLiteral("Out of memory: the walk of %1 stopped part-way.").arg(name),
                        QStringLiteral("Error"));
  if (fresh.Root) {
    const TEditRefusal refused = PutRescanInScan(refresh.Folder, std::move(fresh));
    if (refused == TEditRefusal::None && shown && refresh.Ids) shown->LaterIds.push_back(refresh.Ids);
    if (refused != TEditRefusal::None) Desktop.ShowMessage(this, RefusalText(refused, name), QStringLiteral("Error"));
  } else if (!walk->StopFlag.load()) {
    const std::string why = walk->ErrorText();
    Desktop.ShowMessage(this,
                        RefusalText(TEditRefusal::NoWalk, name) +
                            (why.empty() ? QString() : QLatin1Char(' ') + QString::fromStdString(why)),
                        QStringLiteral("Error"));
  }
  // Its tree went into the scan's; what is left of it is not needed. Its thread waits for
  // this notice to return, so it is let go only after that.
  QTimer::singleShot(0, this, [this, walk] { Scans.Free(walk); });
}

}  // namespace ostrel
