#include "mainwin/fmain.h"
#include "mainwin/fileslist.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>
#include <algorithm>
#include <utility>

#include "controls/htmllabel.h"
#include "docs/desktop.h"
#include "mainwin/chartview.h"
#include "mainwin/cmdline.h"
#include "mainwin/comparison.h"
#include "mainwin/folderitem.h"
#include "mainwin/formreceiver.h"
#include "mainwin/livescans.h"
#include "mainwin/radiogroup.h"
#include "mainwin/treemapview.h"
#include "platform/files.h"
#include "scan/scansettings.h"
#include "scan/tloader.h"
#include "scanfile/fileloader.h"
#include "scanfile/history.h"

namespace ostrel {

TForm1::TForm1(std::vector<std::string> args, TDesktop& desktop, QWidget* owner)
    : QMainWindow(owner), Desktop(desktop) {
  // Out before anything reads the arguments: the path and the switches keep their places.
  StartFile = TakeScanFileOption(args);
  Args = std::move(args);
  ScanArgument = Args.size() > 1;
  setWindowTitle(QString::fromLatin1(MainWindowCaption));
  Menu.Build(this);
  CreateControls();
  SetUpTree();
  SetUpTrash();
  SetUpFiles();

  connect(Menu.NewScanWizard1, &QAction::triggered, this, &TForm1::NewScanClick);
  connect(Menu.OpenScan1, &QAction::triggered, this, &TForm1::OpenScan1Click);
  connect(Menu.SaveScanAs1, &QAction::triggered, this, &TForm1::SaveScanAs1Click);
  connect(Menu.CompareWithEarlierScan1, &QAction::triggered, this, &TForm1::CompareWithEarlierScan1Click);
  connect(Menu.EndComparison1, &QAction::triggered, this, &TForm1::EndComparison1Click);
  connect(ButtonEndComparison, &QPushButton::clicked, this, &TForm1::EndComparison1Click);
  connect(Menu.RefreshFolder1, &QAction::triggered, this, &TForm1::RefreshFolder1Click);
  connect(Menu.RefreshAll1, &QAction::triggered, this, &TForm1::RefreshAll1Click);
  connect(Menu.Quit1, &QAction::triggered, this, &TForm1::Quit1Click);
  connect(Menu.Preferences1, &QAction::triggered, this, &TForm1::Preferences1Click);
  connect(Menu.UsersManual1, &QAction::triggered, this, &TForm1::UsersManual1Click);
  connect(Menu.Checkwebforupdatedversion1, &QAction::triggered, this, &TForm1::Checkwebforupdatedversion1Click);
  connect(Menu.VisitPelworthformoreShareware1, &QAction::triggered, this,
          &TForm1::VisitPelworthformoreShareware1Click);
  connect(Menu.About1, &QAction::triggered, this, &TForm1::About1Click);
  connect(ButtonStop, &QPushButton::clicked, this, &TForm1::ButtonStopClick);
  connect(ButtonUp, &QPushButton::clicked, this, &TForm1::ButtonUpClick);
  connect(ButtonHelp, &QPushButton::clicked, this, &TForm1::ButtonHelpClick);
  connect(ButtonExplore, &QPushButton::clicked, this, &TForm1::ButtonExploreClick);
  connect(ButtonCopy, &QPushButton::clicked, this, &TForm1::ButtonCopyClick);
  connect(HtmlLabel2, &THtmlLabel::OnClick, this, &TForm1::HtmlLabel2Click);
  connect(RadioGroupChartType, &TRadioGroup::Click, this, &TForm1::RadioGroupChartTypeClick);
  connect(TimerLoad, &QTimer::timeout, this, &TForm1::TimerLoadTimer);
  connect(TimerUpdate, &QTimer::timeout, this, &TForm1::TimerUpdateTimer);
  connect(ChartPie, &TChartView::PointHovered, this, &TForm1::ChartPieMouseMove);
  connect(ChartPie, &TChartView::PointClicked, this, &TForm1::ChartPieClickSeries);

  Comparison = std::make_unique<TComparison>(TComparison::TControls{PanelCompare, LabelCompare, Menu.EndComparison1, LabelLost,
                                                                    LabelNoGrowth, ChartPie, StatusBar1, TreeViewDirectories});
  CurrentDir.clear();
  StartDir = WorkingDirectory();
  ClickDepth = 0;
  ScanSettings.SetDefaults();

  Receiver = std::make_shared<TFormReceiver>(this);
  WindowHandle = RegisterWindow(Receiver);

  TimerLoad->start();
  TimerUpdate->start();
  FormCreate();
}

TForm1::~TForm1() {
  // The treemap's thread reads the trees that go below.
  Treemap->Halt();
  UnregisterWindow(WindowHandle);
  // A sender that looked the receiver up just before the handle went still holds it, and
  // gets 0 from it from now on.
  Receiver->Detach();
  for (const auto& job : Scans.Jobs) job->Detach();
  // Stops a write under way before the trees it reads go.
  History.reset();
  Scans.Shown.clear();
  FilesList->Clear();
  // The items point into the trees, which go with their loaders. Not by clear(), whose
  // deletes recurse through every level; unseen, as the window is going.
  {
    const QSignalBlocker quiet(TreeViewDirectories);
    while (const int items = TreeViewDirectories->topLevelItemCount())
      DeleteItemTree(TreeViewDirectories->topLevelItem(items - 1));
  }
  Comparison.reset();
  Attached = nullptr;
  // A walk stops at its next folder and is freed once it has. A read that a stop cannot reach
  // at once (a pipe, a hung network file system) must not hold the window's end: it is let
  // go, with its thread, for the process's end to take.
  for (auto& job : Scans.Jobs) {
    if (!job->Finished() && !job->StopsPromptly()) {
      static_cast<void>(job.release());
      continue;
    }
    job->WaitFor();
    RemoveLiveScan(job.get());
    job.reset();
  }
  Scans.Jobs.clear();
}

void TForm1::FormCreate() {
  ScanCommandLine();
  LoadScanSettings(this);
  ShowIdle();
}

void TForm1::ScanCommandLine() {
  if (HasAutoMinimizeSwitch(Args)) ScanSettings.autominimize = 1;
}

void TForm1::TimerLoadTimer() {
  TimerLoad->stop();
  // A box or the wizard is placed over the window: that needs the window where the window
  // manager put it, known once it is on the screen.
  if (isVisible() && windowHandle() && !windowHandle()->isExposed()) {
    TimerLoad->start();
    return;
  }
  if (StartFile) {
    const std::string file = std::exchange(StartFile, std::nullopt).value();
    if (!file.empty()) {
      OpenScanFile(file);
      return;
    }
    Desktop.ShowMessage(this, QStringLiteral("The option -f needs the name of a scan file."), QStringLiteral("Error"));
  }
  RunNewScan();
}

std::intptr_t TForm1::Dispatch(uint32_t msg, std::uintptr_t, std::intptr_t lParam) {
  if (msg == ScanDoneMessage) ScanCompleted(lParam);
  if (msg == ScanFileDoneMessage) ScanFileLoaded(lParam);
  if (msg == CompareFileDoneMessage) CompareFileLoaded(lParam);
  return 0;
}

void TForm1::closeEvent(QCloseEvent* event) {
  FormClose();
  QMainWindow::closeEvent(event);
}

void TForm1::FormClose() { SaveScanSettings(); }

void TForm1::Quit1Click() { close(); }

}  // namespace ostrel
