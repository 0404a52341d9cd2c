// Shared by the main-window tests: a settings store of its own for every test case, and a test
// main that runs the cases under the program's own application object.
//
// The window's first timer tick opens the scan wizard, and a test must never sit in a nested
// event loop: every test window gets a test::TFakeDesktop (tests/support/fakedesktop.h), which
// cancels every dialog and answers No unless the test says otherwise.
#pragma once
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "mainwin/application.h"
#include "tests/support/fakedesktop.h"

namespace ostrel::test {

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
    QTEST_SET_MAIN_SOURCE_PATH                                                    \
    TestClass test;                                                               \
    return QTest::qExec(&test, argc, argv);                                       \
  }
