// TForm1: the program's main window: the folder tree of the scans left, the breakdown chart of
// the selected folder right with the progress labels and command buttons on it, below them the
// hint panel and the chart-type choice, the status bar at the bottom. Split over files by
// concern: fmain.cpp (construction, command line, messages, closing), fmain_layout.cpp,
// fmain_settings.cpp, fmain_scan.cpp, fmain_tree.cpp, fmain_chart.cpp, fmain_hover.cpp,
// fmain_commands.cpp, fmain_scanfile.cpp and fmain_compare.cpp. Carved out of it: the chart,
// ChartPie, a TChartView (chartview.h), and the comparison shown, a TComparison
// (comparison.h). Walks, file loads and readings of earlier scans are tree jobs (treejob.h),
// owned by the window in one list.
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
class QMenuBar;
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

// The folder where the window keeps its scans (history.h): Harwen/OSTREL in the user's cache
// folder (~/.cache, or $XDG_CACHE_HOME), as the file system names it. The kept scans of a root:
// ListKeptScans(ScanHistoryFolder(), HistoryKey(root)), the root as the scan named it.
std::string ScanHistoryFolder();

// Why a scan file could not be read, as a sentence: ReadScanFile's "byte 12: the file ends
// before the scan does (cut short?)" reads "The file ends before the scan does (cut short?) (at
// byte 12)."
QString ScanFileReason(const std::string& error);

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  // `args` is the command line: args[0] the program, then what the user gave (argument 1, when
  // present, is the path to scan once "-f FILE" is taken out: that file is then opened at start
  // instead). Every dialog, box, page, folder and clipboard text goes through `desktop`, which
  // must outlive the window. Builds the window at its design size, sets the members and
  // ScanSettings to their defaults, then runs FormCreate; the window is not shown. TimerLoad
  // and TimerUpdate run from here on.
  TForm1(std::vector<std::string> args, TDesktop& desktop, QWidget* owner = nullptr);
  // Stops messages to the handle (one waiting for the GUI thread is released unhandled), then
  // detaches every job of the window and frees them with their trees, each walk after it has
  // stopped at its next folder; a file still being read is let go to end on its own. The
  // program never gets here with a scan running: it ends through QuitIfScansRunning first.
  ~TForm1() override;

  // The handle that scan threads notify (never NoWindow while the window exists).
  THandle Handle() const { return WindowHandle; }
  // The command line given to the constructor, without "-f FILE".
  const std::vector<std::string>& Arguments() const { return Args; }

  // ScanDoneMessage (tloader.h) goes to ScanCompleted(lParam), ScanFileDoneMessage
  // (fileloader.h) to ScanFileLoaded, CompareFileDoneMessage to CompareFileLoaded; every other
  // message is ignored. Returns 0. Virtual as the toolkit's dispatch is.
  virtual std::intptr_t Dispatch(uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

  // ---- Scan control (fmain_scan.cpp) ----
  // Runs the scan wizard over `owner` with ScanSettings. Returns 1 when a scan was asked for:
  // `path` is then the root to scan (empty for all drives) and the wizard's switches and path
  // are in ScanSettings. Returns 0 when it was cancelled; nothing is changed then.
  int AskWhatToScan(QWidget* owner, std::string& path);
  // Shows the scanning look, empties the fourth status-bar panel and starts a new TThreadLoader
  // on `path` (empty: all drives), attached to the window. Any job attached before must have
  // been detached (StopScan(1)).
  void StartScan(const std::string& path);
  // Asks the attached walk or file load, if any, to stop at its next folder. With `detach`
  // nonzero it is also silenced and, after a pause of 100 ms, no longer attached; its tree
  // stays allocated, since tree items may point into it.
  void StopScan(int detach);
  // Where scans started from now on take the drives from (to walk them all, or to decide which
  // mounted file systems a one-path scan enters). A test points it at a list of its own.
  TDriveSource ScanDriveSource = ListDrives;
  // The most bytes the tree of a scan or file started from now on may take; 0: no limit.
  size_t ScanMemoryLimit = 0;
  // Scan files are read only when regular files: a pipe could keep the window waiting for good.
  // A test that feeds a file through a pipe at its own pace turns this off.
  bool ScanFilesRegularOnly = true;

  // ---- Scan files (fmain_scanfile.cpp) ----
  // Shows the loading look and starts reading the scan file `path` (plain or gzip; "-" is
  // standard input) on a thread of its own, attached in place of any scan (which is detached).
  void OpenScanFile(const std::string& path);
  // Writes the scan whose items hold `item` to `path` as a scan file. Empty when it was written,
  // otherwise why not (the file may then hold part of the scan). Nothing is written for an item
  // of no scan (null too): the reason says so.
  std::string SaveScanFile(const QTreeWidgetItem* item, const std::string& path);

  // ---- Comparison with an earlier scan (fmain_compare.cpp) ----
  // Ends any comparison, then starts reading the scan file `path` on a thread of its own, to
  // compare the selected item's scan with it, `when` being the earlier scan's time. Once read
  // (CompareFileLoaded), the scan's items are marked as grown, shrunk, new or unchanged and the
  // chart breaks down growth (TComparison), until EndComparison1Click. Says in a box and starts
  // nothing when no finished scan's item is selected.
  void CompareWithScanFile(const std::string& path, const QDateTime& when);

  // ---- Changes to a shown scan (fmain_edit.cpp) ----
  // TakeOut and PutRescan (treeedit.h) on a shown scan, after ending any comparison: its items,
  // the selection, the chart and the fourth panel follow. The refusal, or None.
  TEditRefusal TakeOutOfScan(const DirNode* node);
  TEditRefusal PutRescanInScan(const DirNode* folder, TScanResult&& walk);
  // (fmain_trash.cpp) Moves `nodes`, files and folders of shown scans, to the Trash once the
  // user says Yes, one by one, each only while still the entry the scan saw, and takes each one
  // moved out of its scan. Says in a box why nothing goes, or at the first failure what did.
  // The number moved.
  int MoveToTrash(const std::vector<const DirNode*>& nodes);

  // ---- Breakdown chart (fmain_chart.cpp) ----
  // Shows the breakdown of `item` (BreakdownOf over its node and its child items' nodes, in
  // ShownMeasure()) in ChartPie, drawn in the kind ScanSettings.charttype selects (the pie for
  // an unknown one); while it is compared, its growth. Does nothing for a null `item`.
  void BuildChart(QTreeWidgetItem* item);
  // The series ScanSettings.charttype selects (0 Series1, 1 Series3, 2 Series2), `horizontal`
  // set to 1 for Series3, else 0; null for any other chart type, `horizontal` untouched.
  QAbstractSeries* GetChartSeries(int& horizontal) const;

  // The walk or file load attached to the window, or null.
  const TTreeJob* AttachedScan() const { return Attached; }
  // Keeps the finished walks in ScanHistoryFolder() (with keephistory); null before the first.
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
  // The new-scan flow: argument 1 when there is one, else the wizard's choice (empty: all
  // drives). A path that names no folder is named in a box, then the wizard asks (again); a
  // refused argument 1 is not used again. A cancelled wizard leaves the attached scan as it is.
  void RunNewScan();
  void ShowIdle();
  // Copies the attached job's folder count into LabelCount while the scanning look shows;
  // frees the readings the comparison set aside once they have ended.
  void TimerUpdateTimer();
  // Asks "Are you sure you wish to abort ?"; Yes stops the attached scan at its next folder.
  // The question closes, as No, when the scan ends meanwhile.
  void ButtonStopClick();
  void NewScanClick();

  // Folder tree (fmain_tree.cpp).
  // The completion notice of the walk `lParam` (its TThreadLoader). From the attached walk: says
  // in a box when memory ran out, adds a "My Computer" item with its folders (alone when it has
  // no root), unreadable and repeated ones marked, says in the fourth panel what could not be
  // read, selects and charts the new item, ends in the idle look and hands the walk to Keeper()
  // (with keephistory; the GUI does not wait). A notice from any other job while one is
  // attached is ignored.
  void ScanCompleted(std::intptr_t lParam);
  // The single redraw path: sets CurrentDir from the selected item (empty when it names no
  // folder) and builds its chart. Nothing happens while no item is selected.
  void TreeViewDirectoriesClick();
  // Selects the parent of the selected item, expanding and scrolling to it, and redraws.
  void ButtonUpClick();

  // Breakdown chart (fmain_chart.cpp).
  // Stores the selected chart type in ScanSettings.charttype and redraws the selected item.
  void RadioGroupChartTypeClick();

  // Hover and click (fmain_hover.cpp).
  // Shows the label (panel 0) and size (panel 1) of chart point `point`, the one under the
  // pointer; for -1 (no point) only panel 0 is emptied.
  void ChartPieMouseMove(int point);
  // A click on chart point `point`: when it stands for a subfolder, selects the subfolder's
  // item and redraws; a "(files)" point lists the folder's own files and gives the list the
  // keys; other points, indexes outside the points and a click during another click's redraw
  // change nothing.
  void ChartPieClickSeries(int point);

  // Scan files (fmain_scanfile.cpp).
  // Asks for a scan file and opens it (OpenScanFile).
  void OpenScan1Click();
  // Asks for a file name and writes the selected item's scan to it (SaveScanFile); says in a box
  // why not when no finished scan's item is selected or the file could not be written.
  void SaveScanAs1Click();
  // The end notice of the file load `lParam` (its TFileLoader). From the attached load: shows
  // its scan as ScanCompleted does, or says in a box why the file could not be read; then the
  // idle look. A notice from a detached load is ignored.
  void ScanFileLoaded(std::intptr_t lParam);

  // Comparison (fmain_compare.cpp).
  // Offers the kept scans of the selected scan's root, or any scan file, to compare with.
  void CompareWithEarlierScan1Click();
  // Ends the comparison shown or being read (its end is then ignored) and redraws the selected
  // item as before it. Nothing happens while neither is.
  void EndComparison1Click();
  // The end notice of the reading `lParam` (its TFileLoader) that CompareWithScanFile started:
  // shows the comparison, or says in a box why the file could not be compared. The notice of
  // a reading ended or replaced is ignored.
  void CompareFileLoaded(std::intptr_t lParam);

  // Commands (fmain_commands.cpp).
  void ButtonHelpClick();
  // Says in a box when the selected folder is not on this computer (a scan file from elsewhere).
  void ButtonExploreClick();
  void ButtonCopyClick();
  // Moves the folder selected in the tree to the Trash (MoveToTrash).
  void MoveToTrash1Click();
  // Walks the selected folder again, or the root of its scan, with the look of a scan, and
  // puts the new walk in place of the old one (PutRescanInScan); a new scan for All Drives.
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
  void CreateMenu();
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
  // fmain_files.cpp. FilesList's and EditFind's signals; FindNames narrows the tree and the
  // list to EditFind's text and returns the first folder that matches; ShowFiles lists the
  // files of `item`'s folder (with `own`, its own files). ForgetListedFolder empties the list
  // when its folder is `gone` or (with `below`) below it.
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
  // fmain_trash.cpp. MoveToTrash1's key and the tree's context menu; MoveToTrash1 enabled
  // while the selected folder may go. Why `node` (its folder's item `item`, null: found) may
  // not go to the Trash, empty when it may, `path` then its absolute path; with `onDisk` a
  // scan file's entry is looked for on this computer too.
  void SetUpTrash();
  void UpdateMoveToTrash1();
  QString TrashRefusal(const DirNode* node, const QTreeWidgetItem* item, bool onDisk, std::string& path);
  // fmain_treemap.cpp. Makes Treemap over ChartPie; ShowTreemap shows it for `item` while the
  // treemap is the chart type and no scan's look is up, and hides it otherwise.
  void CreateTreemap();
  void ShowTreemap(QTreeWidgetItem* item);

  // ---- Controls (object names equal the member names; others find them by name) ----
  QMenuBar* MainMenu1 = nullptr;
  // Each menu, then its items in their order.
  QMenu* File1 = nullptr;
  QAction *NewScanWizard1 = nullptr, *OpenScan1 = nullptr, *SaveScanAs1 = nullptr, *CompareWithEarlierScan1 = nullptr,
          *EndComparison1 = nullptr, *MoveToTrash1 = nullptr, *RefreshFolder1 = nullptr, *RefreshAll1 = nullptr,
          *Find1 = nullptr, *N1 = nullptr, *Quit1 = nullptr;
  QMenu* Settings1 = nullptr;
  QAction* Preferences1 = nullptr;
  QMenu* Help1 = nullptr;
  QAction *UsersManual1 = nullptr, *Checkwebforupdatedversion1 = nullptr, *VisitPelworthformoreShareware1 = nullptr,
          *N2 = nullptr, *About1 = nullptr;

  QSplitter* Splitter1 = nullptr;            // the tree left, ChartPie right; draggable
  TChartView* ChartPie = nullptr;
  TTreemapView* Treemap = nullptr;  // on ChartPie, for chart type 3; halted before a tree changes
  // The three labels are sized to their text; code that changes a text calls adjustSize().
  // On ChartPie, like the buttons; LabelCount is placed after LabelScanned's caption.
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

// Reads the ten stored settings into ScanSettings (each member's present value is the
// default for a missing value; a first start stores all ten), then shows charttype in the
// form's RadioGroupChartType. A charttype outside 0..3 becomes 0 ("Pie"). `form` may be null.
void LoadScanSettings(TForm1* form);
// Stores the ten settings of ScanSettings.
void SaveScanSettings();

}  // namespace ostrel
