#include "mainwin/scanshelf.h"

#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTreeWidgetItem>
#include <algorithm>

#include "mainwin/folderitem.h"
#include "mainwin/livescans.h"
#include "scan/treejob.h"

namespace ostrel {
namespace {

// The child of `item` that stands for `node`, or null.
QTreeWidgetItem* ChildFor(QTreeWidgetItem* item, const DirNode* node) {
  for (int i = 0; i < item->childCount(); ++i)
    if (ItemNode(item->child(i)) == node) return item->child(i);
  return nullptr;
}

}  // namespace

QString NotOnThisComputer(const QString& opening, const TShownScan* scan, bool relative) {
  QString text = opening;
  if (scan && !scan->File.empty())
    text += QStringLiteral(" It is in the scan opened from %1.").arg(QFile::decodeName(QByteArray::fromStdString(scan->File)));
  if (relative) text += QStringLiteral(" Its path is relative to the folder that scan was made in.");
  return text;
}

TTreeJob* TScanShelf::Own(std::unique_ptr<TTreeJob> job) {
  Jobs.push_back(std::move(job));
  return Jobs.back().get();
}

void TScanShelf::Free(const TTreeJob* job) {
  RemoveLiveScan(job);
  std::erase_if(Jobs, [job](const std::unique_ptr<TTreeJob>& owned) { return owned.get() == job; });
}

const TShownScan* TScanShelf::ScanOf(const QTreeWidgetItem* item) const {
  if (!item) return nullptr;
  while (item->parent()) item = item->parent();
  for (const TShownScan& scan : Shown)
    if (scan.Item == item) return &scan;
  return nullptr;
}

TTreeJob* TScanShelf::EditableScanOf(const DirNode* node, TShownScan*& shown) {
  shown = nullptr;
  if (!node) return nullptr;
  const DirNode* top = node;
  while (top->Parent) top = top->Parent;
  for (TShownScan& scan : Shown) {
    const TScanResult& result = scan.Job->Outcome();
    bool holds = result.Root == top;
    for (const DirNode* drive = result.AllDrives && result.Root ? result.Root->FirstChild : nullptr; drive && !holds;
         drive = drive->NextSibling)
      holds = drive == top;
    if (!holds) continue;
    for (const std::unique_ptr<TTreeJob>& job : Jobs)
      if (job.get() == scan.Job) {
        shown = &scan;
        return job.get();
      }
  }
  return nullptr;
}

QTreeWidgetItem* TScanShelf::ItemFor(const TShownScan& scan, const DirNode* node) {
  std::vector<const DirNode*> chain;
  for (const DirNode* up = node; up; up = up->Parent) chain.push_back(up);
  const TScanResult& result = scan.Job->Outcome();
  // A drive below All Drives is named by its path, with no Parent: its item is below the root's.
  if (result.AllDrives && chain.back() != result.Root) chain.push_back(result.Root);
  QTreeWidgetItem* item = scan.Item;
  for (auto it = chain.rbegin(); it != chain.rend() && item; ++it) item = ChildFor(item, *it);
  return item;
}

QString ScanFileReason(const std::string& error) {
  // "byte 12: what" reads as a sentence with the place after it.
  QString what = QString::fromLocal8Bit(error.c_str());
  QString where;
  static const QRegularExpression at(QStringLiteral("^byte (\\d+): "));
  if (const QRegularExpressionMatch match = at.match(what); match.hasMatch()) {
    where = QStringLiteral(" (at byte %1)").arg(match.captured(1));
    what = what.mid(match.capturedLength());
  }
  if (!what.isEmpty()) what[0] = what[0].toUpper();
  return what + where + QLatin1Char('.');
}

std::string ScanHistoryFolder() {
  // Named as the settings store is (maker, then program), not after the application's title.
  return QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                          QStringLiteral("/Harwen/OSTREL"))
      .toStdString();
}

}  // namespace ostrel
