#include "dialogs/fabout.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include "controls/named.h"
#include "docs/viewdoc.h"
#include "docs/weblinks.h"

namespace ostrel {

namespace {

QLabel* NewLabel(QWidget* parent, const char* name, int top, int height, const QString& text = {}) {
  auto* label = new QLabel(text, parent);
  Named(label, name);
  label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  SetDesignGeometry(label, 8, top, 377, height);
  return label;
}

void MakeLink(QLabel* label) {
  QFont font = label->font();
  font.setUnderline(true);
  label->setFont(font);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
  label->setPalette(palette);
  label->setCursor(Qt::PointingHandCursor);
}

}  // namespace

TFormAbout::TFormAbout(TDesktop& desktop, QWidget* owner)
    : TDialogForm(owner, QSize(396, 305)), Desktop(desktop) {
  setWindowTitle(QStringLiteral("About Ostrel"));
  LabelProgName = NewLabel(this, "LabelProgName", 24, 13, QStringLiteral("LabelProgName"));
  LabelCopyright = NewLabel(this, "LabelCopyright", 48, 13, QStringLiteral("LabelCopyright"));
  LabelVersion = NewLabel(this, "LabelVersion", 72, 13, QStringLiteral("LabelVersion"));
  LabelUrl = NewLabel(this, "LabelUrl", 96, 13, QStringLiteral("LabelUrl"));
  Label1 = new QLabel(QStringLiteral("You are welcome to use this software free of charge, but please consider "
                                     "visiting the Pelworth website and checking out some of the unique "
                                     "shareware offerings there. "),
                      this);
  Named(Label1, "Label1");
  Label1->setWordWrap(true);
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  SetDesignGeometry(Label1, 8, 120, 377, 49);
  Label6 = NewLabel(this, "Label6", 176, 13, QStringLiteral("Quillbox - a notepad that saves as you type"));
  Label2 = NewLabel(this, "Label2", 192, 13, QStringLiteral("Tallyclock - keeps count of the hours you work"));
  Label4 = NewLabel(this, "Label4", 208, 13, QStringLiteral("Twinseek - finds duplicate files on your disks"));
  Label3 = NewLabel(this, "Label3", 224, 13, QStringLiteral("Glancer - a quick picture viewer"));
  Label5 = NewLabel(this, "Label5", 240, 13, QStringLiteral("Tidyname - renames many files at once"));
  ButtonOk = new QPushButton(QStringLiteral("Ok"), this);
  Named(ButtonOk, "ButtonOk");
  SetDesignGeometry(ButtonOk, 160, 272, 75, 25);
  ButtonOk->setDefault(true);
  ButtonOk->setFocus();

  for (QLabel* link : {LabelUrl, Label6, Label2, Label4, Label3, Label5}) {
    MakeLink(link);
    link->installEventFilter(this);
  }
  connect(ButtonOk, &QPushButton::clicked, this, &TFormAbout::ButtonOkClick);
  FormCreate();
}

int TFormAbout::ShowAbout(TDesktop& desktop, QWidget* owner) {
  TFormAbout dialog(desktop, owner);
  PlaceDialog(owner, &dialog);
  return desktop.RunModal(dialog);
}

void TFormAbout::FormCreate() {
  LabelProgName->setText(QStringLiteral("Ostrel Free Disk Space Finder"));
  LabelCopyright->setText(QStringLiteral("Copyright (C) Pelworth Software. All rights reserved."));
  LabelVersion->setText(QStringLiteral("version %1").arg(QLatin1String(ProgramVersion)));
  LabelUrl->setText(QLatin1String(ProgramPage));
}

bool TFormAbout::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::MouseButtonRelease) return TDialogForm::eventFilter(watched, event);
  auto* mouse = static_cast<QMouseEvent*>(event);
  auto* label = qobject_cast<QLabel*>(watched);
  // A click counts when the button goes up over the label it went down on.
  if (mouse->button() != Qt::LeftButton || !label || !label->rect().contains(mouse->position().toPoint()))
    return false;
  if (label == LabelUrl) LabelUrlClick();
  if (label == Label2) Label2Click();
  if (label == Label3) Label3Click();
  if (label == Label4) Label4Click();
  if (label == Label5) Label5Click();
  if (label == Label6) Label6Click();
  return true;
}

void TFormAbout::LabelUrlClick() { OpenUrl(Desktop, ProgramPage); }
void TFormAbout::Label6Click() { OpenUrl(Desktop, QuillboxPage); }
void TFormAbout::Label2Click() { OpenUrl(Desktop, TallyclockPage); }
void TFormAbout::Label4Click() { OpenUrl(Desktop, TwinseekPage); }
void TFormAbout::Label3Click() { OpenUrl(Desktop, GlancerPage); }
void TFormAbout::Label5Click() { OpenUrl(Desktop, TidynamePage); }

void TFormAbout::ButtonOkClick() { done(ModalOk); }

}  // namespace ostrel
