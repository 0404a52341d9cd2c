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

#include "dialogs/comparedialog.h"
#include "docs/desktop.h"
#include "mainwin/comparison.h"
#include "mainwin/fmain.h"
#include "mainwin/folderitem.h"
#include "mainwin/statusbar.h"
#include "scanfile/history.h"
#include "scanfile/fileloader.h"

namespace ostrel {
namespace {

// The key its kept scans are filed under: as the scan named its root.
std::string KeyOf(const TScanResult& view) {
  return HistoryKey(view.AllDrives || !view.Root ? std::string() : std::string(view.Root->Name));
}

}  // namespace

void TForm1::CompareWithEarlierScan1Click() {
  const TShownScan* scan = Scans.ScanOf(PointsItem ? PointsItem : SelectedItem());
  if (!scan || !scan->Job->Outcome().Root) {
    Desktop.ShowMessage(this, QStringLiteral("There is no scan to compare yet: select a folder of a finished scan first."),
                        QStringLiteral("Error"));
    return;
  }
  std::vector<TKeptScan> kept = ListKeptScans(ScanHistoryFolder(), KeyOf(scan->Job->Outcome()));
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
  const TShownScan* scan = Scans.ScanOf(PointsItem ? PointsItem : SelectedItem());
  if (!scan || !scan->Job->Outcome().Root) {
    Desktop.ShowMessage(this, QStringLiteral("There is no scan to compare yet: select a folder of a finished scan first."),
                        QStringLiteral("Error"));
    return;
  }
  // A new request replaces whatever was shown or being read.
  EndComparison1Click();
  // Read on a thread: an earlier scan is as large as the one shown, and the window must stay
  // usable meanwhile.
  auto load = std::make_unique<TFileLoader>(path, CompareFileDoneMessage);
  load->Scan.MemoryLimit = ScanMemoryLimit;
  load->Scan.RegularOnly = ScanFilesRegularOnly;
  TTreeJob* job = Scans.Own(std::move(load));
  Comparison->Begin(*job, path, scan->Item, when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
  job->Start(Handle());
}

void TForm1::CompareFileLoaded(std::intptr_t lParam) {
  // One ended or replaced before it was read: the comparison gives it back to be freed once
  // its thread, which waits for this call to return, has ended.
  const TTreeJob* load = reinterpret_cast<const TFileLoader*>(lParam);
  if (!Comparison->IsReading(load)) return;
  std::string error = load->ErrorText();
  if (error.empty() && !load->Outcome().Root) error = "it holds no scan to compare with (the scan was stopped before it read its first folder)";
  if (!error.empty()) {
    const QString name = QFile::decodeName(QByteArray::fromStdString(Comparison->ReadingFile()));
    Comparison->DropReading();
    Desktop.ShowMessage(this,
                        QStringLiteral("The scan file %1 could not be compared. %2").arg(name, ScanFileReason(error)),
                        QStringLiteral("Error"));
    return;
  }
  const TShownScan* compared = Scans.ScanOf(Comparison->ReadingFor());
  Comparison->Show(compared && compared->Job->Outcome().Ending != TScanEnd::Complete);
  ResortBySize(TreeViewDirectories, nullptr);
  TreeViewDirectoriesClick();
}

void TForm1::EndComparison1Click() {
  if (!Comparison->Active()) return;
  Comparison->End();
  StatusBar1->SetPanelText(0, QString());
  ResortBySize(TreeViewDirectories, nullptr);
  TreeViewDirectoriesClick();
}

}  // namespace ostrel
