// Shared by the main-window tests: a settings store of its own for every test case, and a test
// main that runs the cases under the program's own application object.
//
// The window's first timer tick opens the scan wizard, and a test must never sit in a nested
// event loop: the test main installs a modal hook that answers every dialog with Cancel (and
// every Yes/No box with No, as no button is clicked). A test that wants other answers sets its
// own hook and puts this one back with test::CancelDialogs() afterwards.
#pragma once
#include <QDialog>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "dialogs/formutil.h"
#include "mainwin/application.h"

namespace ostrel::test {

// Every dialog run through RunModal ends at once with Cancel.
inline void CancelDialogs() {
  SetModalHook([](QDialog& dialog) {
    dialog.done(ModalCancel);
    return ModalCancel;
  });
}

// Points the per-user store at a fresh temporary folder for as long as it lives.
class TTempStore {
 public:
  TTempStore() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Dir.path()); }
  // The file that holds the key Software\Harwen\OSTREL.
  QString FilePath() const { return Dir.filePath(QStringLiteral("Harwen/OSTREL.conf")); }
  bool Exists() const { return QFile::exists(FilePath()); }
  // The store as another program would see it.
  std::unique_ptr<QSettings> Open() const {
    return std::make_unique<QSettings>(FilePath(), QSettings::IniFormat);
  }

 private:
  QTemporaryDir Dir;
};

}  // namespace ostrel::test

// main() for a test class; `App` is TApplication or a class derived from it. The
// environment's configuration folder is moved out of the user's home before anything runs.
#define OSTREL_MAINWIN_TEST_MAIN(TestClass, App)                                   \
  int main(int argc, char** argv) {                                               \
    QTemporaryDir config;                                                         \
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());                      \
    App app(argc, argv);                                                          \
    app.setQuitOnLastWindowClosed(false);                                         \
    ostrel::test::CancelDialogs();                                                \
    QTEST_SET_MAIN_SOURCE_PATH                                                    \
    TestClass test;                                                               \
    return QTest::qExec(&test, argc, argv);                                       \
  }
