#include <QAbstractScrollArea>
#include <QChart>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>
#include <utility>

#include "dialogs/formutil.h"
#include "dialogs/fstart.h"
#include "docs/desktop.h"
#include "mainwin/chartview.h"
#include "mainwin/comparison.h"
#include "mainwin/fmain.h"
#include "mainwin/livescans.h"
#include "mainwin/statusbar.h"
#include "mainwin/treemapview.h"
#include "platform/files.h"
#include "scan/scansettings.h"
#include "scan/scanstart.h"
#include "scan/tloader.h"
#include "scanfile/entryids.h"

namespace ostrel {
namespace {

// A scroll area shows the cursor of its viewport, so both get it.
void SetAreaCursor(QAbstractScrollArea* area, bool busy) {
  for (QWidget* w : {static_cast<QWidget*>(area), area->viewport()}) {
    if (busy)
      w->setCursor(Qt::WaitCursor);
    else
      w->unsetCursor();
  }
}

}  // namespace

void TForm1::ShowIdle() {
  ChartPie->chart()->show();
  LabelStandBy->hide();
  LabelScanned->hide();
  LabelCount->hide();
  ButtonStop->hide();
  SetAreaCursor(ChartPie, false);
  SetAreaCursor(TreeViewDirectories, false);
  ShowTreemap(PointsItem);
}

void TForm1::RunNewScan() {
  std::string path;
  if (ScanArgument) {
    // An empty argument, like an empty wizard path, means all drives.
    std::optional<std::string> root = Args[1].empty() ? std::string() : ScanRoot(Args[1], WindowPathRule);
    if (root) {
      StopScan(1);
      StartScan(*root);
      return;
    }
    // Said once; from now on the wizard asks, so that the user can name another folder.
    ScanArgument = false;
    SayNoFolder(Args[1]);
  }
  for (;;) {
    if (AskWhatToScan(this, path) == 0) return;
    // Empty is all drives.
    if (path.empty() || FolderExists(path.c_str())) break;
    SayNoFolder(path);
  }
  StopScan(1);
  StartScan(path);
}

void TForm1::SayNoFolder(const std::string& path) {
  Desktop.ShowMessage(this, QStringLiteral("There is no folder %1").arg(QFile::decodeName(QByteArray::fromStdString(path))),
                      QStringLiteral("Error"));
}

int TForm1::AskWhatToScan(QWidget* owner, std::string& path) {
  return TFormStart::Ask(Desktop, owner, ScanSettings, path) == ModalOk ? 1 : 0;
}

void TForm1::ShowScanning(bool reading) {
  TimerLoad->stop();
  LabelScanned->setText(reading ? QStringLiteral("Folders Read:") : QStringLiteral("Folders Scanned:"));
  LabelScanned->adjustSize();
  // The labels would be drawn over the last scan's chart.
  ChartPie->chart()->hide();
  Treemap->hide();
  LabelStandBy->show();
  LabelScanned->show();
  LabelCount->show();
  ButtonStop->show();
  SetAreaCursor(ChartPie, true);
  SetAreaCursor(TreeViewDirectories, true);
  StatusBar1->SetPanelText(3, QString());
  StatusBar1->Panel(3)->setToolTip(QString());
}

void TForm1::StartScan(const std::string& path) { StartWalk(path); }

std::shared_ptr<const TEntryIds> TForm1::StartWalk(const std::string& path) {
  ShowScanning(false);
  TScanRequest request;
  request.Root = path;
  request.DriveSource = ScanDriveSource;
  request.MemoryLimit = ScanMemoryLimit;
  std::unique_ptr<TThreadLoader> loader = PrepareScan(std::move(request));
  // The tree keeps no device and inode numbers; saving the scan needs them.
  auto ids = std::make_shared<TIdListing>(loader->Listing);
  loader->Listing = ids;
  loader->IdRecord = ids;
  AddLiveScan(loader.get());
  Attach(Scans.Own(std::move(loader)), path);
  return ids;
}


void TForm1::Attach(TTreeJob* job, std::string path) {
  Attached = job;
  AttachedPath = std::move(path);
  job->Start(Handle());
}


void TForm1::StopScan(int detach) {
  if (!Attached) return;
  if (!detach) {
    Attached->Stop();
    return;
  }
  Attached->Detach();
  // Gives the old job a moment to notice before a new one competes with it for the disk.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  Attached = nullptr;
  AttachedPath.clear();
  // A refresh given up is not finished by whatever is attached next.
  Refreshing = TRefresh{};
}

void TForm1::TimerUpdateTimer() {
  if (const std::vector<const TTreeJob*> ended = Comparison->TakeEnded(); !ended.empty()) {
    // The treemap may still be reading an earlier scan's tree for the colours.
    Treemap->Halt();
    for (const TTreeJob* job : ended) Scans.Free(job);
    ShowTreemap(PointsItem);
  }
  if (LabelCount->isHidden() || !Attached) return;
  LabelCount->setText(QString::number(Attached->FoldersSoFar()));
  LabelCount->adjustSize();
}

void TForm1::ButtonStopClick() {
  if (Desktop.AskYesNo(this, QStringLiteral("Are you sure you wish to abort ?"), QStringLiteral("Abort Scan ?")))
    StopScan(0);
}

void TForm1::NewScanClick() { RunNewScan(); }

}  // namespace ostrel
