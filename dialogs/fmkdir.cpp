#include "dialogs/fmkdir.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

#include "controls/named.h"

namespace ostrel {

TFormMkdir::TFormMkdir(QWidget* owner, char* name) : TDialogForm(owner, QSize(321, 88)), FName(name) {
  setWindowTitle(QStringLiteral("Create Directory"));
  Label1 = new QLabel(QStringLiteral("Enter the name of the directory you would like to create:"), this);
  Named(Label1, "Label1");
  EditCreateDir = new QLineEdit(this);
  Named(EditCreateDir, "EditCreateDir");
  Button1 = new QPushButton(QStringLiteral("Ok"), this);
  Named(Button1, "Button1");
  Button2 = new QPushButton(QStringLiteral("Cancel"), this);
  Named(Button2, "Button2");

  // The prompt is one line; in a font wider than the design's the dialog grows with it.
  const int labelWidth = SetDesignGeometry(Label1, 8, 8, -1, -1);
  const int extra = std::max(0, 8 + labelWidth + 8 - 321);
  setFixedSize(321 + extra, 88);
  SetDesignGeometry(EditCreateDir, 8, 24, 305 + extra, 21);
  SetDesignGeometry(Button1, 160 + extra, 56, 75, 25);
  SetDesignGeometry(Button2, 240 + extra, 56, 75, 25);

  Button1->setDefault(true);
  SetCancelButton(Button2);
  setTabOrder(EditCreateDir, Button1);
  setTabOrder(Button1, Button2);
  EditCreateDir->setFocus();

  connect(Button1, &QPushButton::clicked, this, &TFormMkdir::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TFormMkdir::Button2Click);
  PlaceDialog(owner, this);
}

int TFormMkdir::Ask(TDesktop& desktop, QWidget* owner, char* name) {
  TFormMkdir dialog(owner, name);
  return desktop.RunModal(dialog);
}

void TFormMkdir::Button1Click() {
  if (FName) CopyToBuffer(FName, MkdirNameSize, QFile::encodeName(EditCreateDir->text()));
  done(ModalOk);
}

void TFormMkdir::Button2Click() { done(ModalCancel); }

}  // namespace ostrel
