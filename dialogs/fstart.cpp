#include "dialogs/fstart.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cstring>
#include <iterator>

#include "controls/named.h"
#include "dialogs/fbrowse.h"
#include "scan/scansettings.h"

namespace ostrel {

namespace {

QFrame* NewPanel(QWidget* parent, const char* name) {
  auto* panel = Named(new QFrame(parent), name);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  return panel;
}

QLabel* NewBoldLabel(const QString& text, QWidget* parent, const char* name) {
  auto* label = Named(new QLabel(text, parent), name);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  return label;
}

// Enter on a button presses that button; elsewhere it presses the default one (the
// constructor names it).
QPushButton* NewButton(const QString& text, QWidget* parent, const char* name) {
  auto* button = Named(new QPushButton(text, parent), name);
  button->setAutoDefault(true);
  return button;
}

}  // namespace

TFormStart::TFormStart(TDesktop& desktop, QWidget* owner)
    : TDialogForm(owner, QSize(362, 344)), Desktop(desktop) {
  setWindowTitle(QStringLiteral("Select what to scan"));
  Label1 = NewBoldLabel(QStringLiteral("Scan ALL folders on ALL drives on this computer"), this, "Label1");
  Panel1 = NewPanel(this, "Panel1");
  CheckBoxFloppy = Named(new QCheckBox(QStringLiteral("Include floppy disk drives"), Panel1), "CheckBoxFloppy");
  CheckBoxCD = Named(new QCheckBox(QStringLiteral("Include CD-ROM drives"), Panel1), "CheckBoxCD");
  CheckBoxNet = Named(new QCheckBox(QStringLiteral("Include Network mounted drives"), Panel1), "CheckBoxNet");
  ButtonAll = NewButton(QStringLiteral("Scan Now!"), Panel1, "ButtonAll");
  Label2 = NewBoldLabel(QStringLiteral("Scan a specific folder/drive on this computer"), this, "Label2");
  Panel2 = NewPanel(this, "Panel2");
  Label3 = Named(new QLabel(QStringLiteral("Enter the path to start scanning at:"), Panel2), "Label3");
  EditPath = Named(new QLineEdit(Panel2), "EditPath");
  ButtonBrowse = NewButton(QStringLiteral("Browse"), Panel2, "ButtonBrowse");
  ButtonSpecific = NewButton(QStringLiteral("Scan Now!"), Panel2, "ButtonSpecific");
  ButtonCancel = NewButton(QStringLiteral("Cancel"), this, "ButtonCancel");

  SetDesignGeometry(Label1, 8, 24, -1, -1);
  SetDesignGeometry(Panel1, 8, 40, 345, 105);
  SetDesignGeometry(CheckBoxFloppy, 8, 16, 161, 17);
  SetDesignGeometry(CheckBoxCD, 8, 32, 145, 17);
  SetDesignGeometry(CheckBoxNet, 8, 48, 185, 17);
  SetDesignGeometry(ButtonAll, 8, 72, 75, 25);
  SetDesignGeometry(Label2, 8, 168, -1, -1);
  SetDesignGeometry(Panel2, 8, 184, 345, 113);
  SetDesignGeometry(Label3, 8, 24, -1, -1);
  SetDesignGeometry(EditPath, 8, 40, 249, 21);
  SetDesignGeometry(ButtonBrowse, 264, 38, 75, 25);
  SetDesignGeometry(ButtonSpecific, 8, 80, 75, 25);
  SetDesignGeometry(ButtonCancel, 143, 312, 75, 25);

  SetCancelButton(ButtonCancel);
  // Enter in the path field scans that path, as a user who has just typed one expects.
  ButtonSpecific->setDefault(true);
  QWidget* order[] = {CheckBoxFloppy, CheckBoxCD, CheckBoxNet, ButtonAll,
                      EditPath, ButtonBrowse, ButtonSpecific, ButtonCancel};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
  CheckBoxFloppy->setFocus();

  connect(ButtonAll, &QPushButton::clicked, this, &TFormStart::ButtonAllClick);
  connect(ButtonSpecific, &QPushButton::clicked, this, &TFormStart::ButtonSpecificClick);
  connect(ButtonCancel, &QPushButton::clicked, this, &TFormStart::ButtonCancelClick);
  connect(ButtonBrowse, &QPushButton::clicked, this, &TFormStart::ButtonBrowseClick);
}

int TFormStart::Ask(TDesktop& desktop, QWidget* owner, TScanSettings& settings, std::string& root) {
  TFormStart dialog(desktop, owner);
  PlaceDialog(owner, &dialog);
  dialog.FillFromSettings(settings);
  const int result = desktop.RunModal(dialog);
  if (result == ModalOk) root = dialog.ReadBack(settings);
  return result;
}

void TFormStart::FillFromSettings(const TScanSettings& settings) {
  CheckBoxFloppy->setChecked(settings.includefloppy.load() != 0);
  CheckBoxCD->setChecked(settings.includecd.load() != 0);
  CheckBoxNet->setChecked(settings.includenet.load() != 0);
  const char* last = settings.lastfilename;
  SetEditBytes(EditPath, QByteArray(last, static_cast<qsizetype>(strnlen(last, sizeof settings.lastfilename))));
}

std::string TFormStart::ReadBack(TScanSettings& settings) const {
  settings.includefloppy = CheckBoxFloppy->isChecked() ? 1 : 0;
  settings.includecd = CheckBoxCD->isChecked() ? 1 : 0;
  settings.includenet = CheckBoxNet->isChecked() ? 1 : 0;
  const QByteArray path = EditBytes(EditPath);
  CopyToBuffer(settings.lastfilename, sizeof settings.lastfilename, path);
  return Specific == 1 ? path.toStdString() : std::string();
}

void TFormStart::ButtonAllClick() {
  Specific = 0;
  done(ModalOk);
}

void TFormStart::ButtonSpecificClick() {
  Specific = 1;
  done(ModalOk);
}

void TFormStart::ButtonCancelClick() { done(ModalCancel); }

void TFormStart::ButtonBrowseClick() {
  char path[PathBufferSize];
  CopyToBuffer(path, sizeof path, EditBytes(EditPath));
  TFormBrowse browse(Desktop, this, path);
  PlaceDialog(this, &browse);
  if (Desktop.RunModal(browse) == ModalOk) SetEditBytes(EditPath, QByteArray(path));
}

}  // namespace ostrel
