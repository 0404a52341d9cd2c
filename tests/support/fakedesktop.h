// A desktop for tests: nothing opens and no nested event loop runs. A dialog is answered by the
// test's function (none: rejected at once), a question by a fixed answer, a file dialog by the
// test's list of names; every box, URL and clipboard text is recorded in order.
#pragma once
#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <vector>

#include "docs/desktop.h"

namespace ostrel::test {

class TFakeDesktop final : public TDesktop {
 public:
  struct TBox {
    QWidget* Owner;
    QString Caption;
    QString Text;
    bool Question;  // a Yes/No box; otherwise a box with only OK
    bool NoByDefault = false;
  };

  // Stands in for the user of a modal dialog; returns the dialog's result.
  std::function<int(QDialog&)> AnswerDialog;
  bool AnswerYes = false;
  // Runs while a question is open, as events would behind a real box; a question that
  // EndQuestions closes meanwhile is answered No.
  std::function<void()> WhileAsking;
  // What Open answers: false stands for a desktop with no program to open it.
  bool OpenSucceeds = true;
  // The file names the file dialogs answer, first first; an empty list is a cancelled dialog.
  QStringList OpenFileNames;
  QStringList SaveFileNames;
  QStringList FileDialogs;  // the captions of the file dialogs asked, in order

  int Dialogs = 0;  // dialogs run
  std::vector<TBox> Boxes;
  QList<QUrl> Opened;
  QList<QByteArray> Clipboard;  // the paths put on the clipboard, as bytes

  int RunModal(QDialog& dialog) override {
    ++Dialogs;
    if (AnswerDialog) return AnswerDialog(dialog);
    dialog.reject();
    return dialog.result();
  }
  bool AskYesNo(QWidget* owner, const QString& text, const QString& caption, bool noByDefault = false) override {
    Boxes.push_back({owner, caption, text, true, noByDefault});
    QuestionOwner = owner;
    Asking = true;
    if (WhileAsking) WhileAsking();
    const bool ended = !Asking;
    Asking = false;
    return AnswerYes && !ended;
  }
  void EndQuestions(QWidget* owner) override {
    if (Asking && owner == QuestionOwner) Asking = false;
  }
  void ShowMessage(QWidget* owner, const QString& text, const QString& caption) override {
    Boxes.push_back({owner, caption, text, false});
  }
  bool Open(const QUrl& url) override {
    Opened << url;
    return OpenSucceeds;
  }
  void SetClipboardPath(const QByteArray& path) override { Clipboard << path; }
  QString AskOpenFileName(QWidget*, const QString& caption, const QString&) override {
    FileDialogs << caption;
    return OpenFileNames.isEmpty() ? QString() : OpenFileNames.takeFirst();
  }
  QString AskSaveFileName(QWidget*, const QString& caption, const QString&) override {
    FileDialogs << caption;
    return SaveFileNames.isEmpty() ? QString() : SaveFileNames.takeFirst();
  }

  // The local path behind the `i`th URL opened, percent-decoded byte for byte.
  QByteArray OpenedPath(qsizetype i) const { return QByteArray::fromPercentEncoding(Opened.value(i).path(QUrl::FullyEncoded).toLatin1()); }

  // "caption|text" of every box, in order.
  QStringList BoxTexts() const {
    QStringList texts;
    for (const TBox& box : Boxes) texts << box.Caption + QLatin1Char('|') + box.Text;
    return texts;
  }

 private:
  bool Asking = false;
  QWidget* QuestionOwner = nullptr;
};

}  // namespace ostrel::test
