// A desktop for tests: nothing opens and no nested event loop runs. A dialog is answered by the
// test's function (none: rejected at once), a question by a fixed answer; every box, URL and
// clipboard text is recorded in order.
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
  };

  // Stands in for the user of a modal dialog; returns the dialog's result.
  std::function<int(QDialog&)> AnswerDialog;
  bool AnswerYes = false;

  int Dialogs = 0;  // dialogs run
  std::vector<TBox> Boxes;
  QList<QUrl> Opened;
  QStringList Clipboard;

  int RunModal(QDialog& dialog) override {
    ++Dialogs;
    if (AnswerDialog) return AnswerDialog(dialog);
    dialog.reject();
    return dialog.result();
  }
  bool AskYesNo(QWidget* owner, const QString& text, const QString& caption) override {
    Boxes.push_back({owner, caption, text, true});
    return AnswerYes;
  }
  void ShowMessage(QWidget* owner, const QString& text, const QString& caption) override {
    Boxes.push_back({owner, caption, text, false});
  }
  void Open(const QUrl& url) override { Opened << url; }
  void SetClipboardText(const QString& text) override { Clipboard << text; }

  // "caption|text" of every box, in order.
  QStringList BoxTexts() const {
    QStringList texts;
    for (const TBox& box : Boxes) texts << box.Caption + QLatin1Char('|') + box.Text;
    return texts;
  }
};

}  // namespace ostrel::test
