// Shared by the main-window tests: a settings store of its own for every test case, and a test
// main that runs the cases under the program's own application object.
//
// The window's first timer tick opens the scan wizard, and a test must never sit in a nested
// event loop: every test window gets a test::TFakeDesktop (tests/support/fakedesktop.h), which
// cancels every dialog and answers No unless the test says otherwise.
#pragma once
#include <QAction>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

#include "controls/htmllabel.h"
#include "mainwin/application.h"
#include "mainwin/chartview.h"
#include "mainwin/radiogroup.h"
#include "mainwin/statusbar.h"
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

// The main window's controls, found by their object names as any code outside the window
// finds them. Each is null when the window has no such control.
struct TFormView {
  explicit TFormView(const QObject& form) : Form(form) {}
  template <class T>
  T* Find(const char* name) const {
    return Form.findChild<T*>(QLatin1String(name));
  }
  const QObject& Form;
#define OSTREL_CONTROL(Type, Name) Type* const Name = Find<Type>(#Name);
  OSTREL_CONTROL(QMenuBar, MainMenu1)
  OSTREL_CONTROL(QMenu, File1)
  OSTREL_CONTROL(QMenu, Settings1)
  OSTREL_CONTROL(QMenu, Help1)
  OSTREL_CONTROL(QAction, N1)
  OSTREL_CONTROL(QAction, N2)
  OSTREL_CONTROL(QAction, NewScanWizard1)
  OSTREL_CONTROL(QAction, Quit1)
  OSTREL_CONTROL(QAction, Preferences1)
  OSTREL_CONTROL(QAction, UsersManual1)
  OSTREL_CONTROL(QAction, Checkwebforupdatedversion1)
  OSTREL_CONTROL(QAction, VisitPelworthformoreShareware1)
  OSTREL_CONTROL(QAction, About1)
  OSTREL_CONTROL(TChartView, ChartPie)
  OSTREL_CONTROL(QLabel, LabelStandBy)
  OSTREL_CONTROL(QLabel, LabelScanned)
  OSTREL_CONTROL(QLabel, LabelCount)
  OSTREL_CONTROL(QPushButton, ButtonStop)
  OSTREL_CONTROL(QPushButton, ButtonUp)
  OSTREL_CONTROL(QPushButton, ButtonHelp)
  OSTREL_CONTROL(QPushButton, ButtonExplore)
  OSTREL_CONTROL(QPushButton, ButtonCopy)
  OSTREL_CONTROL(QTreeWidget, TreeViewDirectories)
  OSTREL_CONTROL(TRadioGroup, RadioGroupChartType)
  OSTREL_CONTROL(QFrame, Panel1)
  OSTREL_CONTROL(THtmlLabel, HtmlLabel1)
  OSTREL_CONTROL(THtmlLabel, HtmlLabel2)
  OSTREL_CONTROL(TStatusBar, StatusBar1)
  OSTREL_CONTROL(QTimer, TimerLoad)
  OSTREL_CONTROL(QTimer, TimerUpdate)
#undef OSTREL_CONTROL
  // The selected tree item, or null.
  QTreeWidgetItem* SelectedItem() const {
    const QList<QTreeWidgetItem*> selected = TreeViewDirectories->selectedItems();
    return selected.isEmpty() ? nullptr : selected.front();
  }
};

inline TFormView View(const QObject& form) { return TFormView(form); }

}  // namespace ostrel::test

// main() for a test class; `App` is TApplication or a class derived from it. The
// environment's configuration and cache folders (the settings, the kept scans) are moved out
// of the user's home before anything runs.
#define OSTREL_MAINWIN_TEST_MAIN(TestClass, App)                                   \
  int main(int argc, char** argv) {                                               \
    QTemporaryDir config;                                                         \
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());                      \
    QTemporaryDir cache;                                                          \
    qputenv("XDG_CACHE_HOME", cache.path().toLocal8Bit());                        \
    App app(argc, argv);                                                          \
    app.setQuitOnLastWindowClosed(false);                                         \
    QTEST_SET_MAIN_SOURCE_PATH                                                    \
    TestClass test;                                                               \
    return QTest::qExec(&test, argc, argv);                                       \
  }
