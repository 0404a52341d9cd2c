// Shared by the main-window tests: a settings store of its own for every test case, a test main
// that runs the cases under the program's own application object, and for the tests that scan
// real folders a drive list that holds the walk back until the test lets it go, a desktop that
// answers the wizard and the Yes/No box, and the waits and clicks of a user.
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
#include <QScrollBar>
#include <QTreeWidget>
#include <QtTest>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "controls/htmllabel.h"
#include "dialogs/formutil.h"
#include "dialogs/fprefs.h"
#include "dialogs/fstart.h"
#include "mainwin/application.h"
#include "mainwin/chartview.h"
#include "mainwin/fmain.h"
#include "mainwin/radiogroup.h"
#include "mainwin/statusbar.h"
#include "platform/drives.h"
#include "scan/scansettings.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/fixture.h"

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


// The drives of an all-drives scan whose walk starts only when the gate opens: while it is
// closed, every such scan is running and has walked nothing.
class TDriveGate {
 public:
  static TDriveGate& Get() {
    static TDriveGate gate;
    return gate;
  }
  // Closes the gate; scans started from now on wait for Open() and then walk `drives`.
  void Close(std::vector<TDrive> drives) {
    std::lock_guard<std::mutex> guard(Lock);
    Drives = std::move(drives);
    IsOpen = false;
  }
  void Open() {
    {
      std::lock_guard<std::mutex> guard(Lock);
      IsOpen = true;
    }
    Changed.notify_all();
  }
  // The drive source to put into TForm1::ScanDriveSource.
  static std::vector<TDrive> Source() {
    TDriveGate& gate = Get();
    std::unique_lock<std::mutex> lock(gate.Lock);
    gate.Changed.wait(lock, [&] { return gate.IsOpen; });
    return gate.Drives;
  }

 private:
  std::mutex Lock;
  std::condition_variable Changed;
  bool IsOpen = true;
  std::vector<TDrive> Drives;
};

// One fixed drive at `root`.
inline std::vector<TDrive> OneDrive(const std::string& root) { return {TDrive{root, DriveFixed, false}}; }

// Makes `desktop` answer the wizard with `button` ("all", "specific" or "cancel"), with `path`
// typed in first (for "all" only when not empty), and every Yes/No box with `yes`, counting
// wizards in `wizards`. Other dialogs are cancelled.
inline void AnswerDialogs(TFakeDesktop& desktop, const std::string& button, const std::string& path, bool yes,
                          int* wizards = nullptr) {
  desktop.AnswerYes = yes;
  desktop.AnswerDialog = [=](QDialog& dialog) {
    if (auto* start = qobject_cast<TFormStart*>(&dialog)) {
      if (wizards) ++*wizards;
      if (button == "specific" || !path.empty()) SetEditBytes(start->EditPath, QByteArray::fromStdString(path));
      if (button == "all")
        start->ButtonAll->click();
      else if (button == "specific")
        start->ButtonSpecific->click();
      else {
        start->ButtonCancel->click();
      }
      return start->result();
    }
    dialog.done(ModalCancel);
    return ModalCancel;
  };
}

// The window's items as text, depth-first, each indented by two spaces per level; with
// `shownOnly`, hidden items and all below them are left out.
inline QStringList TreeLines(const QTreeWidget* tree, bool shownOnly = false) {
  QStringList lines;
  std::vector<std::pair<const QTreeWidgetItem*, int>> stack;
  for (int i = tree->topLevelItemCount() - 1; i >= 0; --i) stack.emplace_back(tree->topLevelItem(i), 0);
  while (!stack.empty()) {
    auto [item, depth] = stack.back();
    stack.pop_back();
    if (shownOnly && item->isHidden()) continue;
    lines << QString(depth * 2, ' ') + item->text(0);
    for (int i = item->childCount() - 1; i >= 0; --i) stack.emplace_back(item->child(i), depth + 1);
  }
  return lines;
}

// Points the home trash into `tree`: what is on the home folder's file system goes there.
inline void TrashInto(TempTree& tree) {
  tree.Dir("home/data");
  qputenv("HOME", QByteArray::fromStdString(tree.Path("home")));
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString(tree.Path("home/data")));
}

// Clicks `item`'s name in `tree` as the user does, opening its parents and scrolling the name
// into view sideways first: the row runs on past the view's edge.
inline void ClickRow(QTreeWidget* tree, QTreeWidgetItem* item) {
  tree->scrollToItem(item);
  QScrollBar* sideways = tree->horizontalScrollBar();
  sideways->setValue(sideways->value() + tree->visualItemRect(item).left() - tree->indentation());
  const QRect row = tree->visualItemRect(item);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, QPoint(std::max(row.left(), 0) + 4, row.center().y()));
}

// Clicks `item` in the window's tree; it is then the selected item.
inline void ClickItem(TForm1& form, QTreeWidgetItem* item) {
  QVERIFY(item);
  QTreeWidget* tree = form.findChild<QTreeWidget*>(QStringLiteral("TreeViewDirectories"));
  ClickRow(tree, item);
  QCOMPARE(tree->selectedItems().value(0), item);
}

// The controls of the scanning look, which are shown while a scan runs and hidden otherwise.
inline std::vector<QWidget*> ScanningLookControls(const TForm1& form) {
  const TFormView v = View(form);
  return {v.LabelStandBy, v.LabelScanned, v.LabelCount, v.ButtonStop};
}

// True when the window shows no scan under way: no Stop button, no "Standby" label.
inline bool Idle(const TForm1& form) {
  return form.findChild<QWidget*>(QStringLiteral("ButtonStop"))->isHidden() &&
         form.findChild<QWidget*>(QStringLiteral("LabelStandBy"))->isHidden();
}

// Waits until the window's tree has `items` top-level items and the window is idle again.
inline bool WaitForScans(const TForm1& form, int items, int timeout = 15000) {
  const auto* tree = form.findChild<QTreeWidget*>(QStringLiteral("TreeViewDirectories"));
  return QTest::qWaitFor([&] { return tree->topLevelItemCount() == items && Idle(form); }, timeout);
}

// The chart's points as "label=value".
inline QStringList PointTexts(const TForm1& form) {
  QStringList texts;
  for (const TChartPoint& point : View(form).ChartPie->Points())
    texts << QString::fromStdString(point.Label) + QLatin1Char('=') + QString::number(point.Value);
  return texts;
}

// Makes `desktop` run `answer` on the Preferences box, which then returns its result; other
// dialogs are cancelled.
template <class Answer>
void AnswerPreferences(TFakeDesktop& desktop, Answer answer) {
  desktop.AnswerDialog = [answer](QDialog& dialog) {
    auto* prefs = qobject_cast<TFormPreferences*>(&dialog);
    if (!prefs) return ModalCancel;
    answer(*prefs);
    return dialog.result();
  };
}

// The text of `item`'s tooltip.
inline QString Tip(const QTreeWidgetItem* item) { return item->data(0, Qt::ToolTipRole).toString(); }

// The child of `item` with text `text`, or null.
inline QTreeWidgetItem* ChildNamed(QTreeWidgetItem* item, const QString& text) {
  for (int i = 0; item && i < item->childCount(); ++i)
    if (item->child(i)->text(0) == text) return item->child(i);
  return nullptr;
}

// What every main-window test class holds: a settings store of its own for each case, the
// recording desktop and the window. The class's init() calls StartCase() and its cleanup()
// EndCase() (the test runner finds those slots only in the class itself).
class TFormTest : public QObject {
 protected:
  // A fresh store and a desktop that has seen nothing.
  void StartCase() {
    Store = std::make_unique<TTempStore>();
    Desktop = {};
  }
  // Lets any held scan go (closing the window waits for its scans), closes the window, drops the store.
  void EndCase() {
    TDriveGate::Get().Open();
    Form.reset();
    Store.reset();
  }
  // A new window in Form, given `args`.
  TForm1& OpenWindow(std::vector<std::string> args = {"ostrel"}) {
    Form = std::make_unique<TForm1>(std::move(args), Desktop);
    return *Form;
  }
  // A new window in Form, its first tick come and the wizard it opened cancelled.
  void OpenPastWizard() {
    OpenWindow();
    QTRY_VERIFY(!V().TimerLoad->isActive());
  }
  // Starts a scan of `path` (empty: all drives) and waits for its tree; false when it did not come.
  bool Scan(const std::string& path, int timeout = 60000) {
    Form->StartScan(path);
    return WaitForScans(*Form, TreeView()->topLevelItemCount() + 1, timeout);
  }
  // Form shown and active.
  void ShowActive() {
    Form->show();
    QVERIFY(QTest::qWaitForWindowActive(Form.get()));
  }
  // A new window past its wizard, shown and active, with `root` scanned in apparent sizes (the
  // test trees' sparse files then count exactly) and the boxes so far forgotten.
  void MakeForm(const std::string& root, int timeout = 15000) {
    OpenPastWizard();
    ScanSettings.apparentsize = 1;
    ShowActive();
    QVERIFY(Scan(root, timeout));
    Desktop.Boxes.clear();
  }
  TFormView V() const { return View(*Form); }
  QTreeWidget* TreeView() const { return V().TreeViewDirectories; }
  QTreeWidgetItem* MyComputer() const { return TreeView()->topLevelItem(0); }
  // The root folder's item of the first scan.
  QTreeWidgetItem* RootItem() const { return MyComputer()->child(0); }

  std::unique_ptr<TTempStore> Store;
  TFakeDesktop Desktop;  // cancels every dialog unless a case answers them
  std::unique_ptr<TForm1> Form;
};

}  // namespace ostrel::test

// main() for a test class; `App` is TApplication or a class derived from it. The
// environment's configuration and cache folders (the settings, the kept scans) are moved out
// of the user's home before anything runs. `First` runs before all that, for a test that
// starts itself as a child process.
#define OSTREL_MAINWIN_TEST_MAIN(TestClass, App) OSTREL_MAINWIN_TEST_MAIN_FIRST(TestClass, App, (void)0)
#define OSTREL_MAINWIN_TEST_MAIN_FIRST(TestClass, App, First)                     \
  int main(int argc, char** argv) {                                               \
    First;                                                                        \
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
