// TFormMkdir: "Create Directory", asks for the name of a new folder.
#pragma once
#include "dialogs/formutil.h"
#include "docs/desktop.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace ostrel {

// Size of the caller's name buffer, terminator included.
inline constexpr int MkdirNameSize = 256;

class TFormMkdir : public TDialogForm {
  Q_OBJECT
 public:
  // `name`: the caller's buffer of MkdirNameSize bytes, or null. Written only by Ok. The dialog
  // is placed over `owner`.
  TFormMkdir(QWidget* owner, char* name);

  // Creates the dialog, runs it modally on `desktop` and returns its result; `name` as above.
  static int Ask(TDesktop& desktop, QWidget* owner, char* name);

  QLabel* Label1;
  QLineEdit* EditCreateDir;
  QPushButton* Button1;  // "Ok", the default button
  QPushButton* Button2;  // "Cancel", the cancel button

  char* FName;

 public slots:
  // Ok: copies the typed name into FName (cut to fit, never past the buffer), result 1.
  void Button1Click();
  // Cancel: result 2, FName untouched.
  void Button2Click();
};

}  // namespace ostrel
