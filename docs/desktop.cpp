#include "docs/desktop.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMimeData>
#include <algorithm>
#include <string_view>

#include "docs/viewdoc.h"

namespace ostrel {

int TSystemDesktop::RunModal(QDialog& dialog) { return dialog.exec(); }

bool TSystemDesktop::AskYesNo(QWidget* owner, const QString& text, const QString& caption, bool noByDefault) {
  QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, owner);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(noByDefault ? QMessageBox::No : QMessageBox::Yes);
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

QMimeData* PathMimeData(const QByteArray& path) {
  auto* data = new QMimeData;
  data->setData(QStringLiteral("text/plain"), path);
  if (QString::fromUtf8(path).toUtf8() == path) data->setData(QStringLiteral("text/plain;charset=utf-8"), path);
  // A relative path names a file only together with a folder that the receiver does not know.
  if (path.startsWith('/'))
    data->setData(QStringLiteral("text/uri-list"),
                  LocalFileUrl(std::string_view(path.constData(), static_cast<size_t>(path.size()))).toEncoded() + "\r\n");
  return data;
}

void TSystemDesktop::SetClipboardPath(const QByteArray& path) { QGuiApplication::clipboard()->setMimeData(PathMimeData(path)); }

QString TSystemDesktop::AskOpenFileName(QWidget* owner, const QString& caption, const QString& filter) {
  return QFileDialog::getOpenFileName(owner, caption, QString(), filter);
}

QString TSystemDesktop::AskSaveFileName(QWidget* owner, const QString& caption, const QString& filter) {
  return QFileDialog::getSaveFileName(owner, caption, QString(), filter);
}

}  // namespace ostrel
