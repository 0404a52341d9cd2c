// The dialog that picks the earlier scan a comparison starts from: the kept scans of one root,
// newest first, or any scan file the user names.
#pragma once
#include <QDialog>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

#include "scanfile/history.h"

class QListWidget;
class QPushButton;

namespace ostrel {

class TDesktop;

// The lines of the listing of `kept`, one each, e.g. "2026-12-01 14:05:07   12.3 MB   complete":
// the time in local time to the second, the scanned total in the measure the window shows
// ("size not recorded" when the file does not say). Lines that would read alike give their
// times to the millisecond, or the microsecond, until each says which scan it is.
QStringList KeptScanTexts(const std::vector<TKeptScan>& kept);

class TFormCompare : public QDialog {
  Q_OBJECT

 public:
  // Lists `kept` with row `selected` selected (none for -1); "Another scan file..." asks
  // through `desktop`, which must outlive the dialog.
  TFormCompare(QWidget* owner, std::vector<TKeptScan> kept, int selected, TDesktop& desktop);

  // Set on Ok or when another file was named: the scan file chosen; empty otherwise.
  std::string Chosen;

  QListWidget* ListScans = nullptr;
  QPushButton* ButtonOtherFile = nullptr;
  QPushButton* ButtonOk = nullptr;
  QPushButton* ButtonCancel = nullptr;

 private:
  void ButtonOkClick();
  void ButtonOtherFileClick();

  std::vector<TKeptScan> Kept;
  TDesktop& Desktop;
};

// Runs the dialog over `owner`; the scan file chosen, or nothing when it was cancelled.
std::optional<std::string> AskScanToCompare(QWidget* owner, std::vector<TKeptScan> kept, int selected,
                                            TDesktop& desktop);

}  // namespace ostrel
