// TFormStart: "Select what to scan", the scan wizard. The user picks every drive (with three
// switches for floppy, CD-ROM and network drives) or one path. The wizard holds no settings
// and starts nothing; it records which "Scan Now!" button was pressed.
#pragma once
#include <string>

#include "dialogs/formutil.h"
#include "docs/desktop.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ostrel {

struct TScanSettings;

class TFormStart : public TDialogForm {
  Q_OBJECT
 public:
  // Not placed: the caller places it (PlaceDialog) over `owner`. Browse runs its dialog on
  // `desktop`, which must outlive the wizard.
  TFormStart(TDesktop& desktop, QWidget* owner);

  // The new-scan flow's whole exchange: places the wizard over `owner`, fills it from
  // `settings`, runs it modally on `desktop`. On Ok the boxes and the path go back into
  // `settings` and `root` becomes the path, or empty for all drives; otherwise neither is
  // touched. Returns the modal result.
  static int Ask(TDesktop& desktop, QWidget* owner, TScanSettings& settings, std::string& root);

  // The boxes from "includefloppy", "includecd", "includenet" (checked when not 0) and the
  // path from "lastfilename".
  void FillFromSettings(const TScanSettings& settings);
  // The boxes back (1 checked, 0 not) and the path into "lastfilename" (cut to its buffer);
  // returns the root to scan: the path when Specific is 1, else empty. The root is not cut.
  std::string ReadBack(TScanSettings& settings) const;

  QLabel* Label1;
  QFrame* Panel1;
  QCheckBox* CheckBoxFloppy;
  QCheckBox* CheckBoxCD;
  QCheckBox* CheckBoxNet;
  QPushButton* ButtonAll;
  QLabel* Label2;
  QFrame* Panel2;
  QLabel* Label3;
  QLineEdit* EditPath;
  QPushButton* ButtonBrowse;
  QPushButton* ButtonSpecific;
  QPushButton* ButtonCancel;  // the cancel button (Escape)

  TDesktop& Desktop;
  int Specific = 0;  // 1: the lower panel's "Scan Now!" was pressed; meaningful after Ok only

 public slots:
  void ButtonAllClick();       // Specific 0, result 1
  void ButtonSpecificClick();  // Specific 1, result 1
  void ButtonCancelClick();    // result 2
  // Opens the select-directory dialog on EditPath's text (cut to a path buffer); Ok there
  // replaces EditPath's text with the chosen folder.
  void ButtonBrowseClick();
};

}  // namespace ostrel
