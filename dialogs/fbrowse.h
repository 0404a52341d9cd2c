// TFormBrowse: "Select Directory", picks a folder with a drive box and a folder list, or by
// typing it, and can create a new subfolder.
#pragma once
#include "dialogs/formutil.h"
#include "docs/desktop.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace ostrel {

class TDirectoryListBox;
class TDriveComboBox;

// Size of a caller's path buffer, terminator included.
inline constexpr int PathBufferSize = 1024;

class TFormBrowse : public TDialogForm {
  Q_OBJECT
 public:
  // `path`: the caller's buffer of PathBufferSize bytes, or null. In: the folder to start in
  // (ignored when empty, missing or not enterable: the list then starts in the working folder).
  // Out: the edit's text, written only by Ok and cut to fit. The dialog is placed over `owner`
  // and FormCreate has run when the constructor returns. Create Directory runs its dialog on
  // `desktop`, which must outlive this dialog.
  TFormBrowse(TDesktop& desktop, QWidget* owner, char* path);

  // Creates the dialog, runs it modally on `desktop` and returns its result; `path` as above.
  static int Browse(TDesktop& desktop, QWidget* owner, char* path);

  TDriveComboBox* DriveComboBrowse;
  TDirectoryListBox* DirListBrowse;
  QLabel* Label1;
  QLineEdit* EditBrowseName;
  QPushButton* Button1;  // "Create Directory"
  QPushButton* Button2;  // "Ok", the default button
  QPushButton* Button3;  // "Cancel", the cancel button

  TDesktop& Desktop;
  char* FPath;
  int FReady;  // 0 until FormCreate has finished: the drive box's changes are ignored till then

 public slots:
  // Applies the starting folder, shows its drive and its path, then sets FReady.
  void FormCreate();
  // Another drive picked: the list moves to its root. A drive that cannot be entered leaves
  // the list where it was and the box back on the list's drive.
  void DriveComboBrowseChange();
  // The list moved: the edit shows its folder, and the drive box the drive that holds it.
  void DirListBrowseChange();
  // Asks for a name (TFormMkdir), makes that folder inside the edit's path and moves the list
  // there. A folder that cannot be made is named in a box with the reason, and the list stays
  // where it was.
  void Button1Click();
  // Ok: the edit's text into FPath unchecked (cut to fit), result 1.
  void Button2Click();
  // Cancel: result 2, FPath untouched.
  void Button3Click();
};

}  // namespace ostrel
