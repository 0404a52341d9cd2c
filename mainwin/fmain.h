// TForm1: the program's main window: the folder tree of the scans left, the breakdown chart of
// the selected folder right with the progress labels and command buttons on it, the files list
// under it, the hint panel and the chart-type choice below, the status bar at the bottom. Split
// over fmain*.cpp by concern (each declaration below names its file). Carved out of it: the
// menu (mainmenu.h), the chart (chartview.h), the files list (fileslist.h), the comparison
// (comparison.h) and the jobs and shown scans (scanshelf.h).
//
// Everything here runs on the GUI thread. The one way in from another thread is the window's
// handle: a message sent to it (SendMessageSync) runs Dispatch on the GUI thread while the
// sender waits.
#pragma once
#include <QMainWindow>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mainwin/cmdline.h"
#include "mainwin/mainmenu.h"
#include "mainwin/scanshelf.h"
#include "platform/drives.h"
#include "platform/winmsg.h"
#include "scan/dirnode.h"
#include "scan/scanview.h"
#include "scan/treeedit.h"

class QAbstractSeries;
class QAction;
class QDateTime;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSplitter;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace ostrel {

class TAnchorLayout;
class TChartView;
class TComparison;
class TDesktop;
class TEntryIds;
class TElidedLabel;
class TFilesList;
class TFormReceiver;
class TScanKeeper;
class THtmlLabel;
class TRadioGroup;
class TStatusBar;
class TTreeJob;
class TTreemapView;

// The window's caption.
inline constexpr const char* MainWindowCaption = "Ostrel Free Disk Space Finder";

// The message by which the reading of an earlier scan for a comparison reports that it has
// ended; lParam is its TFileLoader.
inline constexpr uint32_t CompareFileDoneMessage = WmUser + 103;

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  // `args` is the command line (argument 1, once "-f FILE" is taken out, is the path to scan;
  // FILE is then opened at start instead). Every dialog, box, page, folder and clipboard text
  // goes through `desktop`, which must outlive the window. Builds the window at its design
  // size with ScanSettings at their defaults, then runs FormCreate; the window is not shown.
  TForm1(std::vector<std::string> args, TDesktop& desktop, QWidget* owner = nullptr);
  // Stops messages to the handle (one waiting is released unhandled), then frees every job
  // with its tree, a walk once it has stopped; a file still being read is let go to end alone.
  ~TForm1() override;

  // The handle that scan threads notify (never NoWindow while the window exists).
  THandle Handle() const { return WindowHandle; }
  // The command line given to the constructor, without "-f FILE".
  const std::vector<std::string>& Arguments() const { return Args; }

  // ScanDoneMessage goes to ScanCompleted(lParam), ScanFileDoneMessage to ScanFileLoaded,
  // CompareFileDoneMessage to CompareFileLoaded; any other is ignored. Returns 0.
  virtual std::intptr_t Dispatch(uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

  // ---- Scan control (fmain_scan.cpp) ----
  // Runs the scan wizard over `owner`. 1 when a scan was asked for: `path` is then its root
  // (empty: all drives), the wizard's choices in ScanSettings; 0, changing nothing, if cancelled.
  int AskWhatToScan(QWidget* owner, std::string& path);
  // Shows the scanning look and starts a walk of `path` (empty: all drives), attached to the
  // window. Any job attached before must have been detached (StopScan(1)).
  void StartScan(const std::string& path);
  // Asks the attached job to stop at its next folder; with `detach` it is also silenced and,
  // after 100 ms, no longer attached. Its tree stays allocated: tree items may point into it.
  void StopScan(int detach);
  // Where scans started from now on take the drives from; a test points it at its own list.
  TDriveSource ScanDriveSource = ListDrives;
  // The most bytes the tree of a scan or file started from now on may take; 0: no limit.
  size_t ScanMemoryLimit = 0;
  // Scan files are read only when regular files (a pipe could keep the window waiting for
  // good); a test that feeds one through a pipe turns this off.
  bool ScanFilesRegularOnly = true;

  // ---- Scan files (fmain_scanfile.cpp) ----
  // Starts reading the scan file `path` ("-": standard input), attached in place of any scan.
  void OpenScanFile(const std::string& path);
  // Writes the scan holding `item` to `path`. Empty when written, otherwise why not.
  std::string SaveScanFile(const QTreeWidgetItem* item, const std::string& path);

  // ---- Comparison with an earlier scan (fmain_compare.cpp) ----
  // Ends any comparison, then starts reading the scan file `path`, of time `when`, to compare
  // the selected item's scan with (CompareFileLoaded shows it). Says in a box and starts
  // nothing when no finished scan's item is selected.
  void CompareWithScanFile(const std::string& path, const QDateTime& when);

  // ---- Changes to a shown scan (fmain_edit.cpp) ----
  // TakeOut and PutRescan (treeedit.h) on a shown scan, after ending any comparison: its items,
  // the selection, the chart and the fourth panel follow. The refusal, or None.
  TEditRefusal TakeOutOfScan(const DirNode* node);
  TEditRefusal PutRescanInScan(const DirNode* folder, TScanResult&& walk);
  // (fmain_trash.cpp) Once the user says Yes, moves `nodes` to the Trash one by one, each only
  // while still the entry the scan saw, and takes it out of its scan. Says in a box why nothing
  // goes, or at the first failure what did. The number moved.
  int MoveToTrash(const std::vector<const DirNode*>& nodes);

  // ---- Breakdown chart (fmain_chart.cpp) ----
  // Shows the breakdown of `item` (null: nothing) in ShownMeasure(), in the kind
  // ScanSettings.charttype selects; while it is compared, its growth.
  void BuildChart(QTreeWidgetItem* item);
  // The series ScanSettings.charttype selects (0 Series1, 1 Series3, 2 Series2), `horizontal`
  // set to 1 for Series3, else 0; null for any other chart type, `horizontal` untouched.
  QAbstractSeries* GetChartSeries(int& horizontal) const;

  // The walk or file load attached to the window, or null.
  const TTreeJob* AttachedScan() const { return Attached; }
  // Keeps finished walks in ScanHistoryFolder(); null before the first.
  const TScanKeeper* Keeper() const { return History.get(); }
  // Full path of the folder selected in the tree; empty when the selection names no folder.
  const std::string& CurrentPath() const { return CurrentDir; }

 public slots:
  // Lifecycle (fmain.cpp).
  void FormCreate();
  void ScanCommandLine();
  void TimerLoadTimer();
  // Saves the settings; runs for every way the window is closed.
  void FormClose();
  void Quit1Click();

  // Scan control (fmain_scan.cpp).
  // Scans argument 1, else the wizard's choice. A path that names no folder is named in a box
  // and the wizard asks again (argument 1 is then not used again).
  void RunNewScan();
  void ShowIdle();
  // Shows the attached job's folder count; frees the comparison's ended readings.
  void TimerUpdateTimer();
  // Asks "Are you sure you wish to abort ?" (closed as No if the scan ends meanwhile).
  void ButtonStopClick();
  void NewScanClick();

  // Folder tree (fmain_tree.cpp).
  // The end of the walk `lParam`. From the attached walk: says when memory ran out, adds a
  // "My Computer" item with its folders (unreadable and repeated ones marked), says in the
  // fourth panel what could not be read, selects and charts it, shows the idle look and hands
  // the walk to Keeper(). A notice from any other job is ignored.
  void ScanCompleted(std::intptr_t lParam);
  // The single redraw path: CurrentDir and the chart from the selected item, if any.
  void TreeViewDirectoriesClick();
  // Selects the parent of the selected item, expanding and scrolling to it, and redraws.
  void ButtonUpClick();

  // Breakdown chart (fmain_chart.cpp).
  // Stores the selected chart type in ScanSettings.charttype and redraws the selected item.
  void RadioGroupChartTypeClick();

  // Hover and click (fmain_hover.cpp).
  // The label (panel 0) and size (panel 1) of the point under the pointer; -1 empties panel 0.
  void ChartPieMouseMove(int point);
  // A subfolder's point selects its item and redraws; "(files)" lists the folder's own files
  // and gives the list the keys; any other point, or a click within a click, does nothing.
  void ChartPieClickSeries(int point);

  // Scan files (fmain_scanfile.cpp).
  // Asks for a scan file and opens it (OpenScanFile).
  void OpenScan1Click();
  // Asks for a file name and writes the selected item's scan to it, or says why not.
  void SaveScanAs1Click();
  // The end of the file load `lParam`: from the attached load, shows its scan as ScanCompleted
  // does, or says why the file could not be read.
  void ScanFileLoaded(std::intptr_t lParam);

  // Comparison (fmain_compare.cpp).
  // Offers the kept scans of the selected scan's root, or any scan file, to compare with.
  void CompareWithEarlierScan1Click();
  // Ends the comparison shown or being read and redraws the selected item as before it.
  void EndComparison1Click();
  // The end of the reading `lParam` for a comparison: shows it, or says why it could not be;
  // a reading ended or replaced is ignored.
  void CompareFileLoaded(std::intptr_t lParam);

  // Commands (fmain_commands.cpp).
  void ButtonHelpClick();
  // Says in a box when the selected folder is not on this computer (a scan file from elsewhere).
  void ButtonExploreClick();
  void ButtonCopyClick();
  // Moves the folder selected in the tree to the Trash (MoveToTrash).
  void MoveToTrash1Click();
  // Walks the selected folder (or its scan's root) again and puts the walk in the old one's
  // place; All Drives is scanned anew.
  void RefreshFolder1Click();
  void RefreshAll1Click();
  void HtmlLabel2Click();
  void Preferences1Click();
  void UsersManual1Click();
  void Checkwebforupdatedversion1Click();
  void VisitPelworthformoreShareware1Click();
  void About1Click();

 protected:
  void closeEvent(QCloseEvent* event) override;
  // The first showing shrinks the window when it and its frame would not fit the screen.
  void showEvent(QShowEvent* event) override;

 private:
  friend void LoadScanSettings(TForm1* form);

  // fmain_layout.cpp.
  void CreateControls();
  void CreateChart(QSplitter* splitter);
  void CreateHintPanel(QWidget* client, TAnchorLayout* layout);

  // The folder being walked again by the attached walk, and what that walk records.
  struct TRefresh {
    const DirNode* Folder = nullptr;
    std::shared_ptr<const TEntryIds> Ids;
  };

  // fmain_scan.cpp. Attaches `job`, which reads `path`, and starts it.
  void Attach(TTreeJob* job, std::string path);
  // StartScan, returning what the walk records of the folders' numbers.
  std::shared_ptr<const TEntryIds> StartWalk(const std::string& path);
  // fmain_refresh.cpp. Walks `folder` again (a new scan for `allDrives`), or says why not;
  // FinishRefresh puts the attached walk in place once it has ended.
  void Refresh(const DirNode* folder, bool allDrives);
  void FinishRefresh();
  // fmain_files.cpp. FindNames narrows the tree and the list to EditFind's text, returning
  // the first folder that matches; ShowFiles lists `item`'s (`own`) files or those below it;
  // ForgetListedFolder empties the list when its folder is `gone` or (`below`) below it.
  void SetUpFiles();
  QTreeWidgetItem* FindNames();
  void ShowFiles(const QTreeWidgetItem* item, bool own);
  void ForgetListedFolder(const DirNode* gone, bool below);
  // Shows the look of a scan under way, or with `reading` of a file load ("Folders Read:").
  void ShowScanning(bool reading);
  // Tells the user in a box that `path` names no folder.
  void SayNoFolder(const std::string& path);
  // fmain_tree.cpp. Shows what `job` made as ScanCompleted says, recording it in Shown.
  void ShowScan(const TTreeJob& job, const std::string& file);
  // fmain_edit.cpp.
  void PrepareEdit(const TShownScan& scan);
  void ShowEdit(const TShownScan& scan, const TTreeEdit& edit, QTreeWidgetItem* reselect);
  // fmain_tree.cpp. The fourth panel: what `scan` could not read, whether it is whole.
  void ShowScanNote(const TScanView& scan);
  QTreeWidgetItem* SelectedItem() const;  // null when none is
  void SetUpTree();
  void SelectItem(QTreeWidgetItem* item);
  // Scrolls the tree sideways so that `item`'s name starts in view (null: nothing).
  void ShowItemStart(QTreeWidgetItem* item);
  // fmain_commands.cpp. `path`, of `scan`, made absolute against StartDir when it is relative;
  // ExploreDir shows that folder through the desktop, or says in a box why not.
  std::string AbsolutePath(const std::string& path, const TShownScan* scan) const;
  void ExploreDir(const std::string& dir, const TShownScan* scan);
  // fmain_trash.cpp. TrashRefusal: why `node` (of `item`, null: found) may not go to the
  // Trash, empty when it may (`path` then absolute); `onDisk` looks for a scan file's entry.
  void SetUpTrash();
  void UpdateMoveToTrash1();
  QString TrashRefusal(const DirNode* node, const QTreeWidgetItem* item, bool onDisk, std::string& path);
  // fmain_treemap.cpp. Makes Treemap over ChartPie; ShowTreemap shows it for `item` while the
  // treemap is the chart type and no scan's look is up, and hides it otherwise.
  void CreateTreemap();
  void ShowTreemap(QTreeWidgetItem* item);

  // ---- Controls (object names equal the member names; others find them by name) ----
  TMainMenu Menu;
  QSplitter* Splitter1 = nullptr;            // the tree left, ChartPie right; draggable
  TChartView* ChartPie = nullptr;
  TTreemapView* Treemap = nullptr;  // on ChartPie, for chart type 3; halted before a tree changes
  // On ChartPie, like the buttons; sized to their text (adjustSize() after a change).
  QLabel *LabelStandBy = nullptr, *LabelScanned = nullptr, *LabelCount = nullptr;
  QPushButton *ButtonStop = nullptr, *ButtonUp = nullptr, *ButtonHelp = nullptr, *ButtonExplore = nullptr,
              *ButtonCopy = nullptr;
  // On ChartPie's top edge, shown only while a comparison is: what is compared with what.
  QFrame* PanelCompare = nullptr;
  QLabel* LabelCompare = nullptr;            // in PanelCompare, like the next
  QPushButton* ButtonEndComparison = nullptr;
  TElidedLabel* LabelLost = nullptr;        // between Explore-Dir and Copy-Dir (TComparison)
  QLabel* LabelNoGrowth = nullptr;           // across ChartPie (TComparison)
  QWidget* PanelTree = nullptr;               // Splitter1's left: EditFind above the tree
  QLineEdit* EditFind = nullptr;
  QTreeWidget* TreeViewDirectories = nullptr;
  QSplitter* Splitter2 = nullptr;             // Splitter1's right: ChartPie above FilesList
  TFilesList* FilesList = nullptr;
  QMenu* PopupMenuTree = nullptr;            // the tree's context menu
  TRadioGroup* RadioGroupChartType = nullptr;  // item index = ScanSettings.charttype
  QFrame* Panel1 = nullptr;
  THtmlLabel *HtmlLabel1 = nullptr, *HtmlLabel2 = nullptr;  // in Panel1
  // Panels 200, 80, 50 and 300 wide; the fourth tells what the last scan could not read.
  TStatusBar* StatusBar1 = nullptr;
  QTimer* TimerLoad = nullptr;               // 100 ms; stopped for good by its first tick
  QTimer* TimerUpdate = nullptr;             // 100 ms, never stopped

  TScanShelf Scans;  // the jobs and the shown scans
  // The walk or file load attached, or null, and the path it reads (root or scan file).
  TTreeJob* Attached = nullptr;
  std::string AttachedPath;
  int32_t ClickDepth = 0;  // re-entry guard of the chart's click handling
  // Full path of the folder selected in the tree; empty when the selection names no folder.
  std::string CurrentDir;
  // The working directory when the window was made (empty when it could not be read).
  std::string StartDir;

  std::vector<std::string> Args;
  // True while new scans take argument 1; false once it named no folder.
  bool ScanArgument = false;
  TDesktop& Desktop;
  std::shared_ptr<TFormReceiver> Receiver;  // shared with the handle's registry entry
  THandle WindowHandle = NoWindow;
  std::unique_ptr<TScanKeeper> History;  // made with the first walk; goes before the trees
  TRefresh Refreshing;                   // while the attached walk is a Refresh
  std::optional<std::string> StartFile;  // that "-f" named, to open at start instead of a scan

  std::unique_ptr<TComparison> Comparison;  // with an earlier scan, shown or being read
  QTreeWidgetItem* PointsItem = nullptr;  // whose breakdown ChartPie shows; null before the first
  // Restarted by every keyboard move of the tree's current item; redraws once the moves stop.
  QTimer* TimerKeyRedraw = nullptr;
  bool FrameFitted = false;  // the first showing has fitted the window to the screen
};

// Reads the ten stored settings into ScanSettings (a missing one keeps its present value; a
// first start stores all ten) and shows charttype in `form` (may be null); one outside 0..3 is 0.
void LoadScanSettings(TForm1* form);
// Stores the ten settings of ScanSettings.
void SaveScanSettings();

}  // namespace ostrel
