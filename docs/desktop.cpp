#include "docs/desktop.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <algorithm>

namespace ostrel {

int TSystemDesktop::RunModal(QDialog& dialog) { return dialog.exec(); }

bool TSystemDesktop::AskYesNo(QWidget* owner, const QString& text, const QString& caption) {
  QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, owner);
  box.setTextFormat(Qt::PlainText);
  Questions.push_back(&box);
  box.exec();
  Questions.erase(std::find(Questions.begin(), Questions.end(), &box));
  return box.standardButton(box.clickedButton()) == QMessageBox::Yes;
}

void TSystemDesktop::EndQuestions(QWidget* owner) {
  for (QMessageBox* box : Questions)
    if (box->parentWidget() == owner) box->done(QMessageBox::No);
}

void TSystemDesktop::ShowMessage(QWidget* owner, const QString& text, const QString& caption) {
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, owner);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

bool TSystemDesktop::Open(const QUrl& url) { return QDesktopServices::openUrl(url); }

void TSystemDesktop::SetClipboardText(const QString& text) { QGuiApplication::clipboard()->setText(text); }

QString TSystemDesktop::AskOpenFileName(QWidget* owner, const QString& caption, const QString& filter) {
  return QFileDialog::getOpenFileName(owner, caption, QString(), filter);
}

QString TSystemDesktop::AskSaveFileName(QWidget* owner, const QString& caption, const QString& filter) {
  return QFileDialog::getSaveFileName(owner, caption, QString(), filter);
}

}  // namespace ostrel
