#include "dialogs/fprefs.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>

#include <algorithm>

#include "controls/named.h"
#include "scan/scansettings.h"

namespace ostrel {

TFormPreferences::TFormPreferences(QWidget* owner) : TDialogForm(owner, QSize(494, 203)) {
  setWindowTitle(QStringLiteral("Preferences"));
  ButtonOk = new QPushButton(QStringLiteral("Ok"), this);
  Named(ButtonOk, "ButtonOk");
  ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
  Named(ButtonCancel, "ButtonCancel");
  RichEditHelp = new QTextEdit(this);
  Named(RichEditHelp, "RichEditHelp");
  RichEditHelp->setPlainText(QStringLiteral("RichEditHelp"));
  CheckBoxCombineOther = new QCheckBox(QStringLiteral("Combine small items into \"(other)\""), this);
  Named(CheckBoxCombineOther, "CheckBoxCombineOther");
  CheckBoxApparentSize =
      new QCheckBox(QStringLiteral("Show apparent sizes (file lengths) instead of disk usage"), this);
  Named(CheckBoxApparentSize, "CheckBoxApparentSize");
  CheckBoxKeepHistory = new QCheckBox(QStringLiteral("Keep the last five scans of each folder"), this);
  Named(CheckBoxKeepHistory, "CheckBoxKeepHistory");

  for (QPushButton* button : {ButtonOk, ButtonCancel}) button->setAutoDefault(false);
  SetCancelButton(ButtonCancel);
  QPalette palette = RichEditHelp->palette();
  palette.setColor(QPalette::Base, palette.color(QPalette::ToolTipBase));
  RichEditHelp->setPalette(palette);
  RichEditHelp->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

  // The check boxes' captions set the column's width; the help panel keeps its design width
  // beside them, so a wider column widens the dialog, and the buttons stay centred below.
  const int boxWidth = std::max({SetDesignGeometry(CheckBoxCombineOther, 8, 32, 201, 17),
                                 SetDesignGeometry(CheckBoxApparentSize, 8, 56, 201, 17),
                                 SetDesignGeometry(CheckBoxKeepHistory, 8, 80, 201, 17)});
  const int helpLeft = std::max(216, 8 + boxWidth + 7);
  SetDesignGeometry(RichEditHelp, helpLeft, 8, 273, 153);
  const int width = helpLeft + 273 + 5;
  setFixedSize(width, 203);
  SetDesignGeometry(ButtonOk, width / 2 - 78, 168, 75, 25);
  SetDesignGeometry(ButtonCancel, width / 2 + 2, 168, 75, 25);

  setTabOrder(ButtonOk, ButtonCancel);
  setTabOrder(ButtonCancel, RichEditHelp);
  setTabOrder(RichEditHelp, CheckBoxCombineOther);
  setTabOrder(CheckBoxCombineOther, CheckBoxApparentSize);
  setTabOrder(CheckBoxApparentSize, CheckBoxKeepHistory);
  ButtonOk->setFocus();

  connect(ButtonOk, &QPushButton::clicked, this, &TFormPreferences::ButtonOkClick);
  connect(ButtonCancel, &QPushButton::clicked, this, &TFormPreferences::ButtonCancelClick);
  FormCreate();
}

int TFormPreferences::Ask(TDesktop& desktop, QWidget* owner, TScanSettings& settings) {
  TFormPreferences dialog(owner);
  PlaceDialog(owner, &dialog);
  dialog.LoadSettings(settings);
  const int result = desktop.RunModal(dialog);
  if (result == ModalOk) dialog.SaveSettings(settings);
  return result;
}

void TFormPreferences::LoadSettings(const TScanSettings& settings) {
  CheckBoxCombineOther->setChecked(settings.combineother != 0);
  CheckBoxApparentSize->setChecked(settings.apparentsize != 0);
  CheckBoxKeepHistory->setChecked(settings.keephistory != 0);
}

void TFormPreferences::SaveSettings(TScanSettings& settings) const {
  settings.combineother = CheckBoxCombineOther->isChecked() ? 1 : 0;
  settings.apparentsize = CheckBoxApparentSize->isChecked() ? 1 : 0;
  settings.keephistory = CheckBoxKeepHistory->isChecked() ? 1 : 0;
}

void TFormPreferences::ShowHelp(QTextEdit* richEdit) {
  if (!richEdit) return;
  richEdit->clear();
  AddHelpText(richEdit, "Combine small items into \"(other)\"",
              "This will combine some of the smaller items in the pie chart into a single item "
              "called \"(other)\". It is useful for those directories where you have a very large "
              "number of subdirectories and the pie chart is getting cluttered.");
  AddHelpText(richEdit, "Apparent sizes",
              "Show the length of each file as listed instead of the space it takes on disk. "
              "Sparse files can look far larger than the space they use; a file with several "
              "names counts once either way.");
  AddHelpText(richEdit, "Keep scan history",
              "Each scan is kept, compressed, in your cache folder, so that a later scan can show "
              "what grew.");
  richEdit->moveCursor(QTextCursor::Start);  // show the panel from its title
}

void TFormPreferences::FormCreate() { ShowHelp(RichEditHelp); }

void TFormPreferences::ButtonOkClick() { done(ModalOk); }

void TFormPreferences::ButtonCancelClick() { done(ModalCancel); }

}  // namespace ostrel
