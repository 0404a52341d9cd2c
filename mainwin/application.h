// TApplication: the program's application object. It carries the program's title and shows an
// exception that escapes an event handler in a message box, after which the event loop goes on
// (the desktop system's standard exception display).
#pragma once
#include <QApplication>
#include <QString>

namespace ostrel {

// The title of the application (what the desktop lists the program as).
inline constexpr const char* ApplicationTitle = "ostrel free space finder";

class TApplication : public QApplication {
  Q_OBJECT
 public:
  // Sets the application name to ApplicationTitle and lets the main thread's stack grow to
  // 64 MiB (the soft limit, where the hard one allows), which the tree view needs to show a
  // folder tens of thousands of levels deep. `argc` and `argv` lose the options that Qt itself
  // takes, as with QApplication.
  TApplication(int& argc, char** argv);

  // Delivers the event; an exception thrown while handling it is caught and shown with
  // ShowException, and the event counts as not handled (false).
  bool notify(QObject* receiver, QEvent* event) override;

  // Shows `message` in a modal error box captioned with ApplicationTitle, owned by no window.
  // Virtual so that a test can record the message instead of opening a box.
  virtual void ShowException(const QString& message);

  // The text shown for the exception being handled: what() of a std::exception, otherwise a
  // fixed text. Call only inside a catch block.
  static QString CurrentExceptionText();
};

}  // namespace ostrel
