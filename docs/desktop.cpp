#include "docs/desktop.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDialog>
#include <QGuiApplication>
#include <QMessageBox>

namespace ostrel {

int TSystemDesktop::RunModal(QDialog& dialog) { return dialog.exec(); }

bool TSystemDesktop::AskYesNo(QWidget* owner, const QString& text, const QString& caption) {
  QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, owner);
  box.exec();
  return box.standardButton(box.clickedButton()) == QMessageBox::Yes;
}

void TSystemDesktop::ShowMessage(QWidget* owner, const QString& text, const QString& caption) {
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, owner);
  box.exec();
}

void TSystemDesktop::Open(const QUrl& url) { QDesktopServices::openUrl(url); }

void TSystemDesktop::SetClipboardText(const QString& text) { QGuiApplication::clipboard()->setText(text); }

}  // namespace ostrel
