// TFormPreferences: "Preferences", switches whether the chart combines small items into one
// "(other)" item, whether the window shows apparent sizes instead of disk usage and whether it
// keeps each scan in the user's cache folder, with a help panel beside the switches. Neither button is the default one, so Enter presses neither;
// Escape presses Cancel.
#pragma once
#include "dialogs/formutil.h"
#include "docs/desktop.h"

class QCheckBox;
class QPushButton;
class QTextEdit;

namespace ostrel {

struct TScanSettings;

class TFormPreferences : public TDialogForm {
  Q_OBJECT
 public:
  // Not placed: the caller places it (PlaceDialog) over `owner`. FormCreate has run when the
  // constructor returns.
  explicit TFormPreferences(QWidget* owner);

  // The Preferences command's exchange: places the dialog over `owner`, loads `settings`, runs
  // it modally on `desktop` and on Ok saves into `settings`. Returns the modal result; redrawing
  // the chart is the caller's.
  static int Ask(TDesktop& desktop, QWidget* owner, TScanSettings& settings);

  // Each check box checked when its value ("combineother", "apparentsize", "keephistory") is not 0.
  void LoadSettings(const TScanSettings& settings);
  // Each value := 1 when its check box is checked, 0 otherwise. Nothing else is touched.
  void SaveSettings(TScanSettings& settings) const;
  // Clears `richEdit` and fills it with the help paragraphs of the three switches.
  static void ShowHelp(QTextEdit* richEdit);

  QPushButton* ButtonOk;
  QPushButton* ButtonCancel;
  QTextEdit* RichEditHelp;
  QCheckBox* CheckBoxCombineOther;
  QCheckBox* CheckBoxApparentSize;
  QCheckBox* CheckBoxKeepHistory;

 public slots:
  void FormCreate();         // ShowHelp(RichEditHelp)
  void ButtonOkClick();      // result 1
  void ButtonCancelClick();  // result 2
};

}  // namespace ostrel
