#include <QApplication>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

#include "docs/desktop.h"
#include "mainwin/fmain.h"
#include "scanfile/entryids.h"
#include "scanfile/exportscan.h"
#include "scanfile/fileloader.h"

namespace ostrel {
namespace {

// What the file dialogs offer: files of the export format, plain or compressed, first.
const char* const ScanFileFilter = "Scan files (*.json *.json.gz *.gz);;All files (*)";

QString Decoded(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

std::string Encoded(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

void TForm1::OpenScan1Click() {
  const QString name = Desktop.AskOpenFileName(this, QStringLiteral("Open Scan"), QString::fromLatin1(ScanFileFilter));
  if (!name.isEmpty()) OpenScanFile(Encoded(name));
}

void TForm1::OpenScanFile(const std::string& path) {
  StopScan(1);
  ShowScanning(true);
  auto load = std::make_unique<TFileLoader>(path);
  load->Scan.MemoryLimit = ScanMemoryLimit;
  load->Scan.RegularOnly = ScanFilesRegularOnly;
  Attach(Scans.Own(std::move(load)), path);
}

void TForm1::ScanFileLoaded(std::intptr_t lParam) {
  // A detached load's notice, already under way when it was detached; or a walk's.
  const TTreeJob* load = reinterpret_cast<const TFileLoader*>(lParam);
  if (!Attached || load != Attached) return;
  Attached = nullptr;
  const std::string path = std::exchange(AttachedPath, std::string());
  Desktop.EndQuestions(this);
  const std::string error = load->ErrorText();
  if (error.empty()) {
    ShowScan(*load, path);
    ShowIdle();
    return;
  }
  ShowIdle();
  const QString name = path == "-" ? QStringLiteral("standard input") : Decoded(path);
  Desktop.ShowMessage(this, QStringLiteral("The scan file %1 could not be opened. %2").arg(name, ScanFileReason(error)),
                      QStringLiteral("Error"));
}

void TForm1::SaveScanAs1Click() {
  // The scan of the folder whose chart shows, as Copy-Dir and Explore-Dir take it.
  const QTreeWidgetItem* item = PointsItem ? PointsItem : SelectedItem();
  if (!Scans.ScanOf(item)) {
    Desktop.ShowMessage(this, QStringLiteral("There is no scan to save yet: select a folder of a finished scan first."),
                        QStringLiteral("Error"));
    return;
  }
  const QString name = Desktop.AskSaveFileName(this, QStringLiteral("Save Scan As"), QString::fromLatin1(ScanFileFilter));
  if (name.isEmpty()) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const std::string error = SaveScanFile(item, Encoded(name));
  QApplication::restoreOverrideCursor();
  if (!error.empty())
    Desktop.ShowMessage(this, QStringLiteral("The scan could not be saved to %1: %2").arg(name, QString::fromLocal8Bit(error.c_str())),
                        QStringLiteral("Error"));
}

std::string TForm1::SaveScanFile(const QTreeWidgetItem* item, const std::string& path) {
  const TShownScan* scan = Scans.ScanOf(item);
  if (!scan) return "no scan holds the selected item";
  std::FILE* out = std::fopen(path.c_str(), "we");
  if (!out) return std::strerror(errno);
  TIdChain ids;
  ids.Add(scan->Job->Ids());
  for (const std::shared_ptr<const TEntryIds>& later : scan->LaterIds) ids.Add(later.get());
  int error = WriteScanFile(ViewOf(scan->Job->Outcome()), &ids, out);
  if (std::fclose(out) != 0 && error == 0) error = errno;
  return error == 0 ? std::string() : std::string(std::strerror(error));
}

}  // namespace ostrel
