// TDesktop: everything the program asks of the desktop around it. Running a dialog modally,
// asking a question, showing a message, opening a document, folder or web page, and putting
// text on the clipboard all go through one object handed to the window and to the dialogs, so
// that a test can hand them one that records instead of a real one.
#pragma once
#include <QString>
#include <QUrl>

class QDialog;
class QWidget;

namespace ostrel {

class TDesktop {
 public:
  virtual ~TDesktop() = default;

  // Runs `dialog` modally and returns its result code once it has ended. Events go on being
  // delivered meanwhile (a scan's completion notice among them).
  virtual int RunModal(QDialog& dialog) = 0;

  // Asks `text` in a modal box captioned `caption` with a question icon and the buttons Yes
  // and No, over `owner` (null: owned by no window). True for Yes; closing the box is No.
  virtual bool AskYesNo(QWidget* owner, const QString& text, const QString& caption) = 0;

  // Shows `text` in a modal box captioned `caption` with no icon and a single OK button, over
  // `owner` (null: owned by no window); returns when the user has closed it.
  virtual void ShowMessage(QWidget* owner, const QString& text, const QString& caption) = 0;

  // Hands `url` to the desktop: a file: URL of a document opens it, of a folder shows the
  // folder in the file manager, a web address opens the browser. Whether anything opened is
  // not reported.
  virtual void Open(const QUrl& url) = 0;

  // Replaces the clipboard's contents with `text`.
  virtual void SetClipboardText(const QString& text) = 0;
};

// The real desktop: QDialog::exec, QMessageBox, QDesktopServices and the application's
// clipboard. It holds no state, so one object serves every window.
class TSystemDesktop final : public TDesktop {
 public:
  int RunModal(QDialog& dialog) override;
  bool AskYesNo(QWidget* owner, const QString& text, const QString& caption) override;
  void ShowMessage(QWidget* owner, const QString& text, const QString& caption) override;
  void Open(const QUrl& url) override;
  void SetClipboardText(const QString& text) override;
};

}  // namespace ostrel
