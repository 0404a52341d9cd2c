// TForm1: the program's main window. On the left the folder tree of the last scan, on the right
// the breakdown chart of the selected folder with the scan's progress labels and the command
// buttons on top of it, below them the hint panel and the chart-type choice, at the bottom the
// status bar.
//
// The class is split over several files by concern: fmain.cpp (construction, command line,
// message routing, closing), fmain_layout.cpp (controls and menus), fmain_settings.cpp (the
// settings store), fmain_scan.cpp (scan control), fmain_tree.cpp (the folder tree),
// fmain_chart.cpp (what the chart shows), fmain_hover.cpp (hover and click on the chart),
// fmain_commands.cpp (the buttons' and menus' commands), fmain_scanfile.cpp (scans opened
// from and saved to scan files) and fmain_compare.cpp (comparison with an earlier scan). The chart itself, ChartPie, is a
// TChartView (chartview.h) that draws the points it is given.
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
#include <string_view>
#include <unordered_map>
#include <vector>

#include "chart/breakdown.h"
#include "chart/growth.h"
#include "platform/drives.h"
#include "platform/winmsg.h"
#include "scan/dirnode.h"
#include "scan/scanview.h"

class QAbstractSeries;
class QAction;
class QDateTime;
class QFrame;
class QLabel;
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
class TDesktop;
class TElidedLabel;
class TEntryIds;
class TFileLoader;
class TImportedScan;
class TFormReceiver;
class TScanKeeper;
class THtmlLabel;
class TRadioGroup;
class TStatusBar;
class TThreadLoader;

// The window's caption.
inline constexpr const char* MainWindowCaption = "Ostrel Free Disk Space Finder";

// Size of the client area below the menu bar at design time, status bar included.
inline constexpr int DesignClientWidth = 674;
inline constexpr int DesignClientHeight = 419;
inline constexpr int StatusBarHeight = 19;
// The least size of the window, frame excluded, in logical pixels at any scale factor.
inline constexpr int MinimumWindowWidth = 560;
inline constexpr int MinimumWindowHeight = 360;

// The message by which the reading of an earlier scan for a comparison reports that it has
// ended; lParam is its TFileLoader.
inline constexpr uint32_t CompareFileDoneMessage = WmUser + 103;

// The measure the window shows sizes in: apparent sizes when ScanSettings.apparentsize is set,
// otherwise disk usage.
TMeasure ShownMeasure();

// The folder where the window keeps its scans (history.h): Harwen/OSTREL in the user's cache
// folder (~/.cache, or $XDG_CACHE_HOME), as the file system names it. List the kept scans of a root with
// ListKeptScans(ScanHistoryFolder(), HistoryKey(root)), the root as the scan named it.
std::string ScanHistoryFolder();

// What the tree marks on the folders of one scan: those that could not be read, with the
// system's error number, and those met a second time, with the folder that carries their
// contents.
struct TFolderMarks {
  std::unordered_map<const DirNode*, int> Unreadable;
  std::unordered_map<const DirNode*, const DirNode*> Repeated;
};

// Why a scan file could not be read, as a sentence: ReadScanFile's "byte 12: the file ends
// before the scan does (cut short?)" reads "The file ends before the scan does (cut short?) (at
// byte 12)."
QString ScanFileReason(const std::string& error);

// True when `arg` is "-autominimize", letters a-z compared without case (textcase.h).
bool IsAutoMinimizeSwitch(std::string_view arg);
// True when any argument from `args[1]` on is the switch; args[0] (the program) never counts.
bool HasAutoMinimizeSwitch(const std::vector<std::string>& args);
// Takes the first "-f" from `args[1]` on out of `args`, with the word after it, and returns that
// word: the scan file to open at start. Nothing when there is no "-f"; an empty text when it is
// the last argument (it is taken out all the same).
std::optional<std::string> TakeScanFileOption(std::vector<std::string>& args);

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  // `args` is the command line: args[0] the program, from args[1] on what the user gave
  // (argument 1, when present, is the path to scan, once "-f FILE" is taken out: that file is
  // then opened at start instead of a scan). Every dialog, box, page, folder and
  // clipboard text of the window goes through `desktop`, which must outlive the window. Builds
  // the window at its design size, sets the members and ScanSettings to their defaults, then
  // runs FormCreate. The window is not shown. TimerLoad and TimerUpdate run from here on.
  TForm1(std::vector<std::string> args, TDesktop& desktop, QWidget* owner = nullptr);
  // Stops messages to the handle; one that is waiting for the GUI thread is released unhandled.
  // Then asks every scan this window started to stop, silently, and frees them with their
  // trees, each after its walk has stopped at its next folder, and the file loads likewise.
  // The program itself never gets
  // here with a scan running: it ends through QuitIfScansRunning first.
  ~TForm1() override;

  // The handle that scan threads notify (never NoWindow while the window exists).
  THandle Handle() const { return WindowHandle; }
  // The command line given to the constructor, without "-f FILE".
  const std::vector<std::string>& Arguments() const { return Args; }

  // The window's message dispatch: ScanDoneMessage (tloader.h) goes to ScanCompleted(lParam),
  // ScanFileDoneMessage (fileloader.h) to ScanFileLoaded(lParam), CompareFileDoneMessage to
  // CompareFileLoaded(lParam); every other message is ignored. Returns 0. Virtual as the
  // toolkit's dispatch is.
  virtual std::intptr_t Dispatch(uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

  // ---- Scan control (fmain_scan.cpp) ----
  // Runs the scan wizard over `owner` with ScanSettings. Returns 1 when a scan was asked for:
  // `path` is then the root to scan (empty for all drives) and the wizard's switches and path
  // are in ScanSettings. Returns 0 when it was cancelled; nothing is changed then.
  int AskWhatToScan(QWidget* owner, std::string& path);
  // Shows the scanning look, empties the fourth status-bar panel and starts a new TThreadLoader
  // on `path` (empty: all drives), attached as Loader. Any scan attached before must have been
  // detached (StopScan(1)).
  void StartScan(const std::string& path);
  // Asks the attached scan or file load, if any, to stop at its next folder. With `detach`
  // nonzero it is also silenced (it will send no notice) and no longer attached, a walk after a
  // pause of 100 ms; its tree stays allocated, since tree items may point into it.
  void StopScan(int detach);
  // Where scans started from now on take the computer's drives from: an all-drives scan walks
  // them, a one-path scan decides by them which mounted file systems it enters. A test points
  // it at a list of its own.
  TDriveSource ScanDriveSource = ListDrives;
  // The most bytes the tree of a scan started from now on may take (TThreadLoader::MemoryLimit);
  // 0 for no limit but the system's.
  size_t ScanMemoryLimit = 0;
  // Scan files are read only when they are regular files ("not a regular file" otherwise): a
  // pipe could keep the window waiting for good. A test that feeds a file through a pipe at its
  // own pace turns this off.
  bool ScanFilesRegularOnly = true;

  // ---- Folder tree (fmain_tree.cpp) ----
  // Adds an item for the folder `node` under `parentItem` and items for every folder below it,
  // each level in tree order (CompareNoCase of the names, then their bytes). Files get no items.
  // Each item keeps its node (ItemNode, folderitem.h). With `marks`, an unreadable or repeated folder's item
  // gets an icon, a colour and a tooltip saying why; its text stays the folder's name. Does
  // nothing when `parentItem` or `node` is null.
  void AddFolderItems(QTreeWidgetItem* parentItem, const DirNode* node, const TFolderMarks* marks = nullptr);

  // ---- Scan files (fmain_scanfile.cpp) ----
  // Shows the loading look and starts reading the scan file `path` (plain or gzip; "-" is
  // standard input) on a thread of its own, attached in place of any scan (which is detached).
  // Its end comes as ScanFileDoneMessage.
  void OpenScanFile(const std::string& path);
  // Writes the scan whose items hold `item` to `path` as a scan file. Empty when it was written,
  // otherwise why not (the file may then hold part of the scan). Nothing is written for an item
  // of no scan (null too): the reason says so.
  std::string SaveScanFile(const QTreeWidgetItem* item, const std::string& path);

  // ---- Comparison with an earlier scan (fmain_compare.cpp) ----
  // Ends any comparison (or reading for one), then starts reading the scan file `path` on a
  // thread of its own, to compare the scan whose items hold the selected item with it, `when`
  // being the time the earlier scan shows as; the comparison line says meanwhile that it is
  // being read. Once read (CompareFileLoaded), that scan's folders' items are marked as grown,
  // shrunk, new or unchanged, their tooltips and the status bar give their sizes then and now,
  // and the chart breaks down their growth, until EndComparison1Click. Says in a box and starts
  // nothing when no finished scan's item is selected.
  void CompareWithScanFile(const std::string& path, const QDateTime& when);
  // True while a comparison is shown.
  bool Comparing() const { return CompareItem != nullptr; }
  // True while an earlier scan is being read for a comparison.
  bool ReadingComparison() const { return CompareLoad != nullptr; }
  // Readings for comparisons not yet freed: the one under way and those ended or replaced
  // whose threads have not yet ended or been pruned.
  size_t ComparisonReads() const { return CompareDropped.size() + (CompareLoad ? 1 : 0); }
  // While the chart breaks down growth: what the shown folder gained and lost; null otherwise.
  const TChanges* ShownChanges() const { return GrowthShown ? &Growth : nullptr; }

  // ---- Breakdown chart (fmain_chart.cpp) ----
  // Shows the breakdown of `item` (BreakdownOf over the nodes of it and of its child items,
  // sizes in ShownMeasure(): labels are the names' bytes) in ChartPie, drawn in the kind
  // ScanSettings.charttype selects (the pie for an unknown one). Does nothing for a null `item`.
  void BuildChart(QTreeWidgetItem* item);
  // The series that ScanSettings.charttype selects (0 Series1, 1 Series3, 2 Series2), with
  // `horizontal` set to 1 for Series3 and 0 for the others; null for any other chart type,
  // `horizontal` then untouched.
  QAbstractSeries* GetChartSeries(int& horizontal) const;

  // ---- What the window shows, for whoever looks on ----
  // The scan attached to the window, or null.
  const TThreadLoader* AttachedScan() const { return Loader; }
  // Writes the finished walks to ScanHistoryFolder() while ScanSettings.keephistory is set;
  // null before the first.
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
  // The new-scan flow: the path of argument 1 when there is one, else the wizard's choice (an
  // empty path: all drives). A path that names no folder is named in a box, then the wizard
  // asks again; a refused argument 1 is not used again. Only when a scan is about to start is
  // the attached one detached; a cancelled wizard leaves it running and attached.
  void RunNewScan();
  void ShowIdle();
  // Copies the attached scan's folder count into LabelCount while the scanning look shows;
  // frees the readings for comparisons set aside once they have ended.
  void TimerUpdateTimer();
  // Asks "Are you sure you wish to abort ?"; on Yes the attached scan stops at its next folder.
  // The question closes, as No, when the scan ends while it is open.
  void ButtonStopClick();
  void NewScanClick();

  // Folder tree (fmain_tree.cpp).
  // The completion notice of the scan `lParam` (its TThreadLoader). From the attached scan: when
  // memory ran out, first says so in a box; then adds a "My Computer" item with the scan's
  // folders below it (alone when the scan has no root), the unreadable and repeated ones
  // marked, says in the fourth status-bar panel what could not be read, selects the new item
  // and shows its chart. A notice from any other scan while one is attached is ignored. Ends in
  // the idle look, except for an ignored notice. The shown walk, stopped or not, is then
  // handed to Keeper() to be kept when ScanSettings.keephistory is set; the GUI does not wait.
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
  // Shows the label (panel 0) and size (panel 1) of chart point `point` in StatusBar1, the
  // point under the pointer as ChartPie reports it; for -1 (no point) only panel 0 is emptied.
  void ChartPieMouseMove(int point);
  // A click on chart point `point`: when it stands for a subfolder, selects the subfolder's
  // item and redraws. Points for the folder's own files and for the combined small folders
  // change nothing, nor does an index outside the points; a click during another click's
  // redraw is ignored.
  void ChartPieClickSeries(int point);

  // Scan files (fmain_scanfile.cpp).
  // Asks for a scan file and opens it (OpenScanFile).
  void OpenScan1Click();
  // Asks for a file name and writes the scan holding the selected item to it; says in a box
  // why when no finished scan's item is selected or the file could not be written.
  void SaveScanAs1Click();
  // The end notice of the file load `lParam` (its TFileLoader). From the attached load: shows
  // its scan as ScanCompleted shows a walk's (the stopped part after Stop), or, when the file
  // could not be read, says why in a box and shows nothing of it. Ends in the idle look. A
  // notice from a detached load is ignored.
  void ScanFileLoaded(std::intptr_t lParam);

  // Comparison (fmain_compare.cpp).
  // Lists the kept scans of the selected scan's root, or takes any scan file, and compares the
  // selected scan with the one chosen (CompareWithScanFile).
  void CompareWithEarlierScan1Click();
  // Takes the comparison's marks off the tree, hides its line and redraws the selected item as
  // before the comparison; stops the reading of an earlier scan under way, whose end is then
  // ignored. Nothing happens while neither is.
  void EndComparison1Click();
  // The end notice of the reading `lParam` (its TFileLoader) started by CompareWithScanFile:
  // shows the comparison, or says in a box why the file could not be compared. The notice of a
  // reading that was ended or replaced only frees it.
  void CompareFileLoaded(std::intptr_t lParam);

  // Commands (fmain_commands.cpp).
  void ButtonHelpClick();
  // Says in a box when the selected folder is not on this computer (a scan opened from a file
  // made elsewhere) instead of handing it to the desktop.
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
  // The first showing shrinks the window when it and its frame would not fit the screen.
  void showEvent(QShowEvent* event) override;

 private:
  friend void LoadScanSettings(TForm1* form);

  // fmain_layout.cpp.
  void CreateMenu();
  void CreateControls();
  void CreateChart(QSplitter* splitter);
  void CreateHintPanel(QWidget* client, TAnchorLayout* layout);

  // A scan that the tree shows: its "My Computer" item, what saving it writes, the scan file
  // it was opened from (empty for a walk), and for a walk when it ended (microseconds since
  // 1970, the time its kept scan is filed under; 0 for a file).
  struct TShownScan {
    const QTreeWidgetItem* Item;
    TScanView View;
    const TEntryIds* Ids;
    std::string File;
    int64_t Ended = 0;
  };

  // fmain_scan.cpp. Frees every scan and file load of the window, each once its thread has ended.
  void ReleaseScans();
  // Shows the look of a scan under way, or with `reading` of a file load ("Folders Read:").
  void ShowScanning(bool reading);
  // Tells the user in a box that `path` names no folder.
  void SayNoFolder(const std::string& path);
  // fmain_tree.cpp. Adds `view`'s "My Computer" item with its folders, selects and charts it and
  // records it in Shown (with `ids` and `file`); first says in a box when memory ran out.
  void ShowScan(const TScanView& view, const TEntryIds* ids, const std::string& file);
  // The shown scan whose items hold `item`, or null (also for a null `item`).
  const TShownScan* ShownScanOf(const QTreeWidgetItem* item) const;
  // fmain_tree.cpp. The selected tree item, or null.
  QTreeWidgetItem* SelectedItem() const;
  void SetUpTree();
  void SelectItem(QTreeWidgetItem* item);
  // Scrolls the tree sideways so that `item`'s name starts in view (null: nothing).
  void ShowItemStart(QTreeWidgetItem* item);
  // fmain_compare.cpp. Puts `item`'s sizes then and now into the status bar while it is compared.
  void ShowComparedSizes(const QTreeWidgetItem* item);
  // Sets or clears the comparison marks of every folder item below `top`.
  void MarkCompared(QTreeWidgetItem* top, const DirNode* oldRoot, bool compared);
  // While `item` belongs to the scan compared: shows the breakdown of its growth in ChartPie,
  // what shrank or is gone in LabelLost, and says so in LabelNoGrowth when nothing grew; true
  // then. Otherwise hides both labels and returns false.
  bool BuildGrowthChart(QTreeWidgetItem* item);
  // The status bar's texts for growth point `point` of the chart shown.
  void ShowGrowthPoint(const TChartPoint& point);
  // Stops the reading for a comparison under way, if any, and sets it aside in CompareDropped.
  void DropCompareLoad();
  // Frees the readings set aside whose threads have ended; never waits.
  void PruneCompareLoads();
  // fmain_commands.cpp. CurrentDir made absolute against StartDir when it is relative.
  std::string AbsoluteCurrentDir() const;

  // ---- Controls (object names equal the member names; others find them by name) ----
  QMenuBar* MainMenu1 = nullptr;
  QMenu* File1 = nullptr;
  QAction* NewScanWizard1 = nullptr;
  QAction* OpenScan1 = nullptr;
  QAction* SaveScanAs1 = nullptr;
  QAction* CompareWithEarlierScan1 = nullptr;
  QAction* EndComparison1 = nullptr;
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

  QSplitter* Splitter1 = nullptr;            // the tree left, ChartPie right; draggable
  TChartView* ChartPie = nullptr;
  // The three labels are sized to their text; code that changes a text calls adjustSize().
  QLabel* LabelStandBy = nullptr;            // on ChartPie, like the next seven
  QLabel* LabelScanned = nullptr;
  QLabel* LabelCount = nullptr;              // placed after LabelScanned's caption
  QPushButton* ButtonStop = nullptr;
  QPushButton* ButtonUp = nullptr;
  QPushButton* ButtonHelp = nullptr;
  QPushButton* ButtonExplore = nullptr;
  QPushButton* ButtonCopy = nullptr;
  // On ChartPie's top edge, shown only while a comparison is: what is compared with what.
  QFrame* PanelCompare = nullptr;
  QLabel* LabelCompare = nullptr;            // in PanelCompare, like the next
  QPushButton* ButtonEndComparison = nullptr;
  // On ChartPie's bottom edge between Explore-Dir and Copy-Dir, shown while the chart breaks
  // down growth and something shrank or is gone: the losses, the largest first.
  TElidedLabel* LabelLost = nullptr;
  // Across ChartPie, shown while the chart breaks down growth and nothing grew.
  QLabel* LabelNoGrowth = nullptr;
  QTreeWidget* TreeViewDirectories = nullptr;
  TRadioGroup* RadioGroupChartType = nullptr;  // item index = ScanSettings.charttype
  QFrame* Panel1 = nullptr;
  THtmlLabel* HtmlLabel1 = nullptr;          // in Panel1
  THtmlLabel* HtmlLabel2 = nullptr;          // in Panel1
  // Panels 200, 80, 50 and 300 wide; the fourth tells what the last scan could not read.
  TStatusBar* StatusBar1 = nullptr;
  QTimer* TimerLoad = nullptr;               // 100 ms; stopped for good by its first tick
  QTimer* TimerUpdate = nullptr;             // 100 ms, never stopped

  // ---- State shared by the window's parts ----
  // The scan attached to the window, or null. Freed with the window, never before.
  TThreadLoader* Loader = nullptr;
  // Re-entry guard of the chart's click handling.
  int32_t ClickDepth = 0;
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
  // Every scan this window started, the attached one included; trees stay for the items.
  std::vector<std::unique_ptr<TThreadLoader>> Scans;
  // The file load attached to the window (never together with Loader), or null; and every
  // file load this window started, whose trees stay for the items likewise.
  TFileLoader* FileLoad = nullptr;
  std::vector<std::unique_ptr<TFileLoader>> FileLoads;
  // Keeps finished walks; made with the first. Goes before the trees it reads.
  std::unique_ptr<TScanKeeper> History;
  // The scans the tree shows, in the order they were added.
  std::vector<TShownScan> Shown;
  // The scan file that "-f" named, to open at start instead of a scan.
  std::optional<std::string> StartFile;

  // The reading of the earlier scan of the comparison shown (its Scan), and the "My Computer"
  // item of the scan compared with it; both null while none is shown. CompareSince is the
  // earlier scan's time as the comparison line shows it.
  std::unique_ptr<TFileLoader> CompareBase;
  const QTreeWidgetItem* CompareItem = nullptr;
  QString CompareSince;
  // Says which side of the comparison shown is incomplete, e.g. " (this scan is incomplete)";
  // empty when both are whole.
  QString CompareCaveat;
  // The reading for a comparison under way, the "My Computer" item of the scan to compare and
  // the earlier scan's time; null while none is. Readings ended or replaced before their
  // notice (or that failed) wait in CompareDropped until their threads have ended.
  std::unique_ptr<TFileLoader> CompareLoad;
  const QTreeWidgetItem* CompareLoadItem = nullptr;
  QString CompareLoadSince;
  std::vector<std::unique_ptr<TFileLoader>> CompareDropped;
  // What the growth chart shows, while GrowthShown.
  TChanges Growth;
  bool GrowthShown = false;

  // The tree item whose breakdown ChartPie shows; null before the first build.
  QTreeWidgetItem* PointsItem = nullptr;
  // Restarted by every keyboard move of the tree's current item; redraws once the moves stop.
  QTimer* TimerKeyRedraw = nullptr;
  bool FrameFitted = false;  // the first showing has fitted the window to the screen
};

// Reads the ten stored settings into ScanSettings (each member's present value is the
// default for a missing value; a first start stores all ten), then shows charttype in the
// form's RadioGroupChartType. A charttype outside 0..2 becomes 0 ("Pie"). `form` may be null.
void LoadScanSettings(TForm1* form);
// Stores the ten settings of ScanSettings.
void SaveScanSettings();

}  // namespace ostrel
