// TForm1: the program's main window. On the left the folder tree of the last scan, on the right
// the breakdown chart of the selected folder with the scan's progress labels and the command
// buttons on top of it, below them the hint panel and the chart-type choice, at the bottom the
// status bar.
//
// The class is split over several files by concern: fmain.cpp (construction, command line,
// message routing, closing), fmain_layout.cpp (controls and menus), fmain_settings.cpp (the
// settings store), fmain_scan.cpp (scan control), fmain_tree.cpp, fmain_chart.cpp and
// fmain_commands.cpp (tree, chart and the buttons' and menus' commands).
//
// Everything here runs on the GUI thread. The one way in from another thread is the window's
// handle: a message sent to it (SendMessageSync) runs Dispatch on the GUI thread while the
// sender waits.
#pragma once
#include <QMainWindow>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/winmsg.h"

class QAction;
class QBarSeries;
class QChartView;
class QFrame;
class QHorizontalBarSeries;
class QLabel;
class QMenu;
class QMenuBar;
class QPieSeries;
class QPushButton;
class QTimer;
class QTreeWidget;

namespace ostrel {

class TAnchorLayout;
class TFormReceiver;
class THtmlLabel;
class TRadioGroup;
class TStatusBar;
class TThreadLoader;

// The message with which a scan thread reports that its walk has ended (lParam: the
// TThreadLoader).
inline constexpr uint32_t ScanDoneMessage = WmUser + 101;

// The window's caption.
inline constexpr const char* MainWindowCaption = "Ostrel Free Disk Space Finder";

// Size of the client area below the menu bar at design time, status bar included.
inline constexpr int DesignClientWidth = 674;
inline constexpr int DesignClientHeight = 419;
inline constexpr int StatusBarHeight = 19;

// True when `arg` is "-autominimize", letters a-z compared without case (textcase.h).
bool IsAutoMinimizeSwitch(std::string_view arg);
// True when any argument from `args[1]` on is the switch; args[0] (the program) never counts.
bool HasAutoMinimizeSwitch(const std::vector<std::string>& args);

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  // `args` is the command line: args[0] the program, from args[1] on what the user gave
  // (argument 1, when present, is the path to scan). Builds the window at its design size,
  // sets the members and ScanSettings to their defaults, then runs FormCreate. The window is
  // not shown. TimerLoad and TimerUpdate run from here on.
  explicit TForm1(std::vector<std::string> args, QWidget* owner = nullptr);
  // Stops messages to the handle; one that is waiting for the GUI thread is released unhandled.
  // A running scan is neither stopped nor waited for, and its loader is not freed.
  ~TForm1() override;

  // The handle that scan threads notify (never NoWindow while the window exists).
  THandle Handle() const { return WindowHandle; }
  // The command line given to the constructor.
  const std::vector<std::string>& Arguments() const { return Args; }

  // The window's message dispatch: ScanDoneMessage goes to ScanCompleted(lParam); every other
  // message is ignored. Returns 0. Virtual as the toolkit's dispatch is.
  virtual std::intptr_t Dispatch(uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

  // ---- Controls (object names equal the member names) ----
  QMenuBar* MainMenu1 = nullptr;
  QMenu* File1 = nullptr;
  QAction* NewScanWizard1 = nullptr;
  QAction* N1 = nullptr;
  QAction* Quit1 = nullptr;
  QMenu* Settings1 = nullptr;
  QAction* Preferences1 = nullptr;
  QMenu* Help1 = nullptr;
  QAction* UsersManual1 = nullptr;
  QAction* Checkwebforupdatedversion1 = nullptr;
  QAction* VisitPelworthformoreShareware1 = nullptr;
  QAction* N2 = nullptr;
  QAction* About1 = nullptr;

  QChartView* ChartPie = nullptr;
  QPieSeries* Series1 = nullptr;             // chart type 0, series index 0
  QHorizontalBarSeries* Series3 = nullptr;   // chart type 1, series index 1
  QBarSeries* Series2 = nullptr;             // chart type 2, series index 2
  // The three labels are sized to their text; code that changes a text calls adjustSize().
  QLabel* LabelStandBy = nullptr;            // on ChartPie, like the next seven
  QLabel* LabelScanned = nullptr;
  QLabel* LabelCount = nullptr;              // placed after LabelScanned's caption
  QPushButton* ButtonStop = nullptr;
  QPushButton* ButtonUp = nullptr;
  QPushButton* ButtonHelp = nullptr;
  QPushButton* ButtonExplore = nullptr;
  QPushButton* ButtonCopy = nullptr;
  QTreeWidget* TreeViewDirectories = nullptr;
  TRadioGroup* RadioGroupChartType = nullptr;  // item index = ScanSettings.charttype
  QFrame* Panel1 = nullptr;
  THtmlLabel* HtmlLabel1 = nullptr;          // in Panel1
  THtmlLabel* HtmlLabel2 = nullptr;          // in Panel1
  TStatusBar* StatusBar1 = nullptr;          // panels 200, 80 and 50 wide
  QTimer* TimerLoad = nullptr;               // 100 ms; stopped for good by its first tick
  QTimer* TimerUpdate = nullptr;             // 100 ms, never stopped

  // ---- State shared by the window's parts ----
  // The scan attached to the window, or null. Never freed while the program runs.
  TThreadLoader* Loader = nullptr;
  // Re-entry guard of the chart's click handling.
  int32_t ClickDepth = 0;
  // Full path of the folder selected in the tree; empty when the selection names no folder.
  std::string CurrentDir;
  // The working directory when the window was made (empty when it could not be read).
  std::string StartDir;

 public slots:
  // Lifecycle (fmain.cpp).
  void FormCreate();
  void ScanCommandLine();
  void TimerLoadTimer();
  // Saves the settings; runs for every way the window is closed.
  void FormClose();
  void Quit1Click();

  // Scan control (fmain_scan.cpp).
  void RunNewScan();
  void ScanCompleted(std::intptr_t lParam);
  void ShowIdle();
  void TimerUpdateTimer();
  void ButtonStopClick();
  void NewScanClick();

  // Tree and chart (fmain_tree.cpp, fmain_chart.cpp).
  void ButtonUpClick();
  // Stores the selected chart type in ScanSettings.charttype.
  void RadioGroupChartTypeClick();

  // Commands (fmain_commands.cpp).
  void ButtonHelpClick();
  void ButtonExploreClick();
  void ButtonCopyClick();
  void HtmlLabel2Click();
  void Preferences1Click();
  void UsersManual1Click();
  void Checkwebforupdatedversion1Click();
  void VisitPelworthformoreShareware1Click();
  void About1Click();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // fmain_layout.cpp.
  void CreateMenu();
  void CreateControls();
  void CreateChart(QWidget* client, TAnchorLayout* layout);
  void CreateHintPanel(QWidget* client, TAnchorLayout* layout);

  std::vector<std::string> Args;
  std::unique_ptr<TFormReceiver> Receiver;
  THandle WindowHandle = NoWindow;
};

// Reads the eight stored settings into ScanSettings (each member's present value is the
// default for a missing value; a first start stores all eight), then shows charttype in the
// form's RadioGroupChartType. A charttype outside 0..2 becomes 0 ("Pie"). `form` may be null.
void LoadScanSettings(TForm1* form);
// Stores the eight settings of ScanSettings.
void SaveScanSettings();

}  // namespace ostrel
