#include "dialogs/fbrowse.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "controls/dirlistbox.h"
#include "controls/drivecombo.h"
#include "controls/named.h"
#include "dialogs/fmkdir.h"
#include "platform/files.h"
#include "scan/paths.h"

namespace ostrel {

namespace {

// True when every folder along `path` exists; tested on at most one buffer's worth of it.
bool PassesExistingFolderTest(const char* path) {
  std::string copy(path, strnlen(path, PathBufferSize - 1));
  AddPathSeparator(copy);
  return EnsureDirs(copy, 0) != 0;
}

}  // namespace

TFormBrowse::TFormBrowse(TDesktop& desktop, QWidget* owner, char* path)
    : TDialogForm(owner, QSize(363, 210)), Desktop(desktop) {
  setWindowTitle(QStringLiteral("Select Directory"));
  DriveComboBrowse = new TDriveComboBox(this);
  Named(DriveComboBrowse, "DriveComboBrowse");
  DirListBrowse = new TDirectoryListBox(this);
  Named(DirListBrowse, "DirListBrowse");
  DirListBrowse->SetItemHeight(16);
  Label1 = new QLabel(QStringLiteral("Directory:"), this);
  Named(Label1, "Label1");
  EditBrowseName = new QLineEdit(this);
  Named(EditBrowseName, "EditBrowseName");
  Button1 = new QPushButton(QStringLiteral("Create Directory"), this);
  Named(Button1, "Button1");
  Button2 = new QPushButton(QStringLiteral("Ok"), this);
  Named(Button2, "Button2");
  Button3 = new QPushButton(QStringLiteral("Cancel"), this);
  Named(Button3, "Button3");

  SetDesignGeometry(DriveComboBrowse, 8, 8, 345, 22);
  SetDesignGeometry(DirListBrowse, 8, 32, 345, 97);
  // The edit starts after the label's caption, however wide the system font makes it, and
  // keeps its right edge.
  const int editLeft = std::max(64, 8 + SetDesignGeometry(Label1, 8, 152, -1, -1) + 4);
  SetDesignGeometry(EditBrowseName, editLeft, 144, 353 - editLeft, 21);
  SetDesignGeometry(Button1, 8, 176, 105, 25);
  SetDesignGeometry(Button2, 128, 176, 105, 25);
  SetDesignGeometry(Button3, 248, 176, 105, 25);

  Button2->setDefault(true);
  SetCancelButton(Button3);
  setTabOrder(DirListBrowse, DriveComboBrowse);
  setTabOrder(DriveComboBrowse, Button1);
  setTabOrder(Button1, Button2);
  setTabOrder(Button2, Button3);
  setTabOrder(Button3, EditBrowseName);
  DirListBrowse->setFocus();

  connect(DriveComboBrowse, &TDriveComboBox::DriveChanged, this, &TFormBrowse::DriveComboBrowseChange);
  connect(DirListBrowse, &TDirectoryListBox::DirectoryChanged, this, &TFormBrowse::DirListBrowseChange);
  connect(Button1, &QPushButton::clicked, this, &TFormBrowse::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TFormBrowse::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TFormBrowse::Button3Click);

  PlaceDialog(owner, this);
  FPath = path;
  FReady = 0;
  FormCreate();
}

int TFormBrowse::Browse(TDesktop& desktop, QWidget* owner, char* path) {
  TFormBrowse dialog(desktop, owner, path);
  return desktop.RunModal(dialog);
}

void TFormBrowse::FormCreate() {
  if (FPath && FPath[0] && PassesExistingFolderTest(FPath))
    DirListBrowse->SetDirectory(std::string(FPath, strnlen(FPath, PathBufferSize - 1)));
  DriveComboBrowse->SetDrive(DirListBrowse->Directory());
  SetEditBytes(EditBrowseName, QByteArray::fromStdString(DirListBrowse->Directory()));
  FReady = 1;
}

void TFormBrowse::DriveComboBrowseChange() {
  if (FReady == 0) return;
  if (!DirListBrowse->SetDirectory(DriveComboBrowse->Drive())) {
    const QSignalBlocker blocker(DriveComboBrowse);
    DriveComboBrowse->SetDrive(DirListBrowse->Directory());
  }
}

void TFormBrowse::DirListBrowseChange() {
  SetEditBytes(EditBrowseName, QByteArray::fromStdString(DirListBrowse->Directory()));
  // Drives nest on Linux: entering a mount point moves to another drive.
  const QSignalBlocker blocker(DriveComboBrowse);
  DriveComboBrowse->SetDrive(DirListBrowse->Directory());
}

void TFormBrowse::Button1Click() {
  char name[MkdirNameSize] = "";
  if (TFormMkdir::Ask(Desktop, this, name) != ModalOk) return;
  std::string path = EditBytes(EditBrowseName).toStdString();
  AddPathSeparator(path);
  path += name;
  if (!MakeFolder(path.c_str())) {
    const int error = errno;
    Desktop.ShowMessage(this, QStringLiteral("Could not create the folder %1: %2")
                                  .arg(QFile::decodeName(QByteArray::fromStdString(path)),
                                       QString::fromLocal8Bit(std::strerror(error))),
                        QStringLiteral("Error"));
  }
  DirListBrowse->SetDirectory(path);
}

void TFormBrowse::Button2Click() {
  if (FPath) CopyToBuffer(FPath, PathBufferSize, EditBytes(EditBrowseName));
  done(ModalOk);
}

void TFormBrowse::Button3Click() { done(ModalCancel); }

}  // namespace ostrel
