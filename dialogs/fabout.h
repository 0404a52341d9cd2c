// TFormAbout: "About Ostrel", the program's name, copyright, version and home page, a note,
// and links to the maker's other products. A link opens its page on the desktop and leaves the
// dialog open.
#pragma once
#include "dialogs/formutil.h"
#include "docs/desktop.h"

class QLabel;
class QPushButton;

namespace ostrel {

// The program's version; this dialog is the only place that shows it.
inline constexpr const char* ProgramVersion = "1.3";

class TFormAbout : public TDialogForm {
  Q_OBJECT
 public:
  // Not placed: the caller places it (PlaceDialog) over `owner`. FormCreate has run when the
  // constructor returns. The links open on `desktop`, which must outlive the dialog.
  TFormAbout(TDesktop& desktop, QWidget* owner);

  // The About command's use: places the dialog over `owner` and runs it modally on `desktop`.
  static int ShowAbout(TDesktop& desktop, QWidget* owner);

  QLabel* LabelProgName;
  QLabel* LabelCopyright;
  QLabel* LabelVersion;
  QLabel* LabelUrl;  // link to the program's home page
  QLabel* Label1;    // the note
  QLabel* Label6;    // product links, top to bottom: Label6, Label2, Label4, Label3, Label5
  QLabel* Label2;
  QLabel* Label4;
  QLabel* Label3;
  QLabel* Label5;
  QPushButton* ButtonOk;  // the default button
  TDesktop& Desktop;

 public slots:
  void FormCreate();  // fills the name, copyright, version and home-page labels
  void LabelUrlClick();
  void Label2Click();
  void Label3Click();
  void Label4Click();
  void Label5Click();
  void Label6Click();
  void ButtonOkClick();  // result 1

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace ostrel
