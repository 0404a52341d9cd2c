// TDesktop: everything the program asks of the desktop around it. Running a dialog modally,
// asking a question, showing a message, asking for a file name, opening a document, folder or web page, and putting
// text on the clipboard all go through one object handed to the window and to the dialogs, so
// that a test can hand them one that records instead of a real one.
#pragma once
#include <QString>
#include <QUrl>
#include <vector>

class QDialog;
class QMessageBox;
class QMimeData;
class QWidget;

namespace ostrel {

class TDesktop {
 public:
  virtual ~TDesktop() = default;

  // Runs `dialog` modally and returns its result code once it has ended. Events go on being
  // delivered meanwhile (a scan's completion notice among them).
  virtual int RunModal(QDialog& dialog) = 0;

  // Asks `text` in a modal box captioned `caption` with a question icon and the buttons Yes
  // and No, over `owner` (null: owned by no window). True for Yes; closing the box is No, and
  // so is EndQuestions while it is open. The text is plain, never markup. Enter answers Yes,
  // or No with `noByDefault` (for a question whose Yes cannot be taken back lightly).
  virtual bool AskYesNo(QWidget* owner, const QString& text, const QString& caption, bool noByDefault = false) = 0;

  // Closes, as No, every AskYesNo box over `owner` that is open now: the question no longer
  // applies. Nothing happens when none is open.
  virtual void EndQuestions(QWidget* owner) = 0;

  // Shows `text` in a modal box captioned `caption` with no icon and a single OK button, over
  // `owner` (null: owned by no window); returns when the user has closed it. The text is plain.
  virtual void ShowMessage(QWidget* owner, const QString& text, const QString& caption) = 0;

  // Hands `url` to the desktop: a file: URL of a document opens it, of a folder shows the
  // folder in the file manager, a web address opens the browser. False when the desktop
  // reports that it could not (no program for it, say).
  virtual bool Open(const QUrl& url) = 0;

  // Replaces the clipboard's contents with the path `path`, its bytes as the file system names
  // it (PathMimeData).
  virtual void SetClipboardPath(const QByteArray& path) = 0;

  // Asks for an existing file to open, or for the name to save a file under (an existing file
  // is replaced only after the dialog asked), in a modal file dialog over `owner` captioned
  // `caption` that offers `filter` ("Name (*.x *.y);;Other (*)"). The file's path, or an empty
  // text when the user cancelled.
  virtual QString AskOpenFileName(QWidget* owner, const QString& caption, const QString& filter) = 0;
  virtual QString AskSaveFileName(QWidget* owner, const QString& caption, const QString& filter) = 0;
};

// What the clipboard holds for the path `path` (bytes): text/plain is the bytes themselves, so
// that a name that is not valid UTF-8, or holds a newline, pastes as the path it is (with
// text/plain;charset=utf-8 beside it when they are valid UTF-8); an absolute path also offers
// text/uri-list, its percent-encoded file: URL (LocalFileUrl) and CRLF, for programs that take
// files. The caller owns the result.
QMimeData* PathMimeData(const QByteArray& path);

// The real desktop: QDialog::exec, QMessageBox, QDesktopServices and the application's
// clipboard. Its only state is the questions open now, so one object serves every window.
class TSystemDesktop final : public TDesktop {
 public:
  int RunModal(QDialog& dialog) override;
  bool AskYesNo(QWidget* owner, const QString& text, const QString& caption, bool noByDefault = false) override;
  void EndQuestions(QWidget* owner) override;
  void ShowMessage(QWidget* owner, const QString& text, const QString& caption) override;
  bool Open(const QUrl& url) override;
  void SetClipboardPath(const QByteArray& path) override;
  QString AskOpenFileName(QWidget* owner, const QString& caption, const QString& filter) override;
  QString AskSaveFileName(QWidget* owner, const QString& caption, const QString& filter) override;

 private:
  std::vector<QMessageBox*> Questions;  // open now, innermost last; each lives in AskYesNo
};

}  // namespace ostrel
