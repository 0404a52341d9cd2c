#include <QApplication>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStyle>
#include <QTextDocument>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <utility>
#include <vector>

#include "docs/desktop.h"
#include "mainwin/comparison.h"
#include "mainwin/fmain.h"
#include "mainwin/folderitem.h"
#include "mainwin/statusbar.h"
#include "scan/dirnode.h"
#include "scan/scansettings.h"
#include "scan/textcase.h"
#include "scan/tloader.h"
#include "scanfile/history.h"

namespace ostrel {
namespace {

const char* const MyComputerText = "My Computer";

// How long the tree's current item must rest after a keyboard move before its chart is drawn:
// longer than the pause between a held key's repeats.
constexpr int KeyRedrawDelay = 150;  // ms

// The fourth panel's tooltip: the first few entries that could not be read, each with its
// reason; files have no item in the tree, so this is where they are named.
QString ProblemList(const std::vector<TScanProblem>& problems) {
  constexpr size_t Shown = 20;
  QStringList lines;
  for (size_t i = 0; i < problems.size() && i < Shown; ++i)
    lines << DisplayPath(*problems[i].Node) + QStringLiteral(": ") + ErrorReason(problems[i].Error);
  if (problems.size() > Shown) lines << QStringLiteral("and %1 more").arg(problems.size() - Shown);
  return lines.join(QLatin1Char('\n'));
}

// The fourth panel's text, e.g. "3 folders and 1 file could not be read"; empty for none.
QString UnreadText(size_t folders, size_t files) {
  auto count = [](size_t n, const char* one, const char* many) {
    return QString::number(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? one : many);
  };
  QStringList parts;
  if (folders > 0) parts << count(folders, "folder", "folders");
  if (files > 0) parts << count(files, "file", "files");
  return parts.isEmpty() ? QString() : parts.join(QStringLiteral(" and ")) + QStringLiteral(" could not be read");
}

// The fourth panel's text for a scan that ended early, e.g. "Stopped after 120 folders".
QString StoppedText(const TScanView& scan) {
  const QString count = QString::number(scan.Folders) + (scan.Folders == 1 ? QStringLiteral(" folder") : QStringLiteral(" folders"));
  return scan.Ending == TScanEnd::OutOfMemory ? QStringLiteral("Out of memory after ") + count
                                               : QStringLiteral("Stopped after ") + count;
}

// The fourth panel's text: what could not be read, then whether totals were capped.
QString ScanNote(const QString& unread, bool saturated) {
  if (!saturated) return unread;
  if (unread.isEmpty()) return QStringLiteral("Totals past 16 EiB are capped");
  return unread + QStringLiteral("; totals past 16 EiB are capped");
}

}  // namespace

void TForm1::SetUpTree() {
  // The items come in already in order (AddFolderItems); the view's own sort would compare
  // case-sensitively and re-sort on every insertion. It is off as the view starts, and stays
  // so untouched: turning it off also makes the header's sections unclickable.
  TreeViewDirectories->setUniformRowHeights(true);
  TreeViewDirectories->setSelectionMode(QAbstractItemView::SingleSelection);

  // Moving through the tree by keyboard redraws as a click does, but once the moves pause: a
  // held arrow key would otherwise draw every folder it passes, some of them slow to draw.
  TimerKeyRedraw = new QTimer(this);
  TimerKeyRedraw->setSingleShot(true);
  TimerKeyRedraw->setInterval(KeyRedrawDelay);
  connect(TreeViewDirectories, &QTreeWidget::currentItemChanged, TimerKeyRedraw, qOverload<>(&QTimer::start));
  connect(TreeViewDirectories, &QTreeWidget::currentItemChanged, this, &TForm1::ShowItemStart);
  connect(TimerKeyRedraw, &QTimer::timeout, this, [this] {
    // A mouse click has drawn it already.
    if (SelectedItem() != PointsItem) TreeViewDirectoriesClick();
  });
  connect(TreeViewDirectories, &QTreeWidget::itemClicked, this, &TForm1::TreeViewDirectoriesClick);
  // Opening or closing a folder resizes the column to its widest row, which resets the
  // sideways scroll; once the view has settled, the current folder's name comes back into view.
  auto keepInView = [this] {
    QTimer::singleShot(0, this, [this] {
      ShowItemStart(TreeViewDirectories->currentItem());
      TreeViewDirectories->viewport()->update();
    });
  };
  connect(TreeViewDirectories, &QTreeWidget::itemExpanded, this, keepInView);
  connect(TreeViewDirectories, &QTreeWidget::itemCollapsed, this, keepInView);
  // A sorting by the header reaches the folders as they come into view. A point of the chart
  // names its subfolder's item by its place, so a chart whose items moved is drawn again.
  connect(TreeViewDirectories, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
    if (SortBranch(TreeViewDirectories, item, PointsItem)) BuildChart(PointsItem);
  });
  connect(TreeViewDirectories->header(), &QHeaderView::sortIndicatorChanged, this, [this] {
    if (ResortTree(TreeViewDirectories, PointsItem)) BuildChart(PointsItem);
  });

  // "Up" from the keyboard, as a file manager offers it.
  for (const QKeySequence& keys : {QKeySequence(Qt::Key_Backspace), QKeySequence(Qt::ALT | Qt::Key_Up)})
    connect(new QShortcut(keys, this), &QShortcut::activated, this, &TForm1::ButtonUpClick);
}

void TForm1::ScanCompleted(std::intptr_t lParam) {
  // A scan detached while its notice was already under way must not take the attached one's
  // place; the attached tree may still be growing.
  const TTreeJob* job = reinterpret_cast<const TThreadLoader*>(lParam);
  if (Attached && job != Attached) return;
  // Asking whether to stop a scan that has ended makes no sense.
  Desktop.EndQuestions(this);
  if (Attached && Refreshing.Folder) {
    FinishRefresh();
    ShowIdle();
    return;
  }
  if (const TTreeJob* scan = Attached) {
    const int64_t ended =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    ShowScan(*scan, {});
    Scans.Shown.back().Ended = ended;
    if (ScanSettings.keephistory && scan->Outcome().Root) {
      if (!History) History = std::make_unique<TScanKeeper>();
      History->Keep(ScanHistoryFolder(), HistoryKey(AttachedPath), ended, ViewOf(scan->Outcome()), scan->Ids());
    }
  }
  ShowIdle();
}

void TForm1::ShowScan(const TTreeJob& job, const std::string& file) {
  const TScanView scan = ViewOf(job.Outcome());
  if (scan.Ending == TScanEnd::OutOfMemory) {
    const int folders = scan.Folders;
    char text[96];
    std::snprintf(text, sizeof text, "Out of memory: the scan stopped after %d %s.", folders,
                  folders == 1 ? "folder" : "folders");
    Desktop.ShowMessage(this, QString::fromLatin1(text), QStringLiteral("Error"));
  }
  // A comparison is of the scan that was selected; a new scan is looked at on its own.
  EndComparison1Click();
  const TFolderMarks marks = MarksOf(scan);
  auto* computer = new TFolderItem(QString::fromLatin1(MyComputerText), nullptr);
  if (scan.Root) {
    AddFolderItems(computer, scan.Root, &marks);
    // The root of an all-drives scan is the label "All Drives", not a folder.
    if (scan.AllDrives) static_cast<TFolderItem*>(computer->child(0))->NamesFolder = false;
  }
  if (scan.Ending != TScanEnd::Complete) {
    // A part looks like a whole unless it says so where the user looks: its top item and the
    // panel that tells what the scan missed.
    computer->setIcon(0, QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning));
    computer->Note = QStringLiteral("Stopped: the scan is incomplete");
  }
  ShowScanNote(scan);
  // Among the top-level items by text; a new one goes after those of earlier scans.
  int at = TreeViewDirectories->topLevelItemCount();
  while (at > 0 && CompareNoCase(TreeViewDirectories->topLevelItem(at - 1)->text(0).toUtf8().toStdString(),
                                 MyComputerText) > 0)
    --at;
  TreeViewDirectories->insertTopLevelItem(at, computer);
  if (!EditFind->text().isEmpty()) FindNames();
  Scans.Shown.push_back(TShownScan{computer, &job, file, 0, {}});
  SelectItem(computer);
  TreeViewDirectoriesClick();
}

void TForm1::ShowScanNote(const TScanView& scan) {
  const size_t files = static_cast<size_t>(std::count_if(
      scan.Problems->begin(), scan.Problems->end(),
      [](const TScanProblem& problem) { return problem.Kind == TScanProblem::Examine; }));
  QString unread = ScanNote(UnreadText(MarksOf(scan).Unreadable.size(), files), scan.Saturated);
  if (scan.Ending != TScanEnd::Complete) {
    const QString stopped = StoppedText(scan);
    unread = unread.isEmpty() ? stopped : stopped + QStringLiteral("; ") + unread;
  }
  StatusBar1->SetPanelText(3, unread);
  QString problems = ProblemList(*scan.Problems);
  if (scan.Saturated) {
    if (!problems.isEmpty()) problems += QLatin1Char('\n');
    problems += QStringLiteral("Sizes add up past 2^64 - 1 bytes (sparse files can claim that much): "
                               "such totals show 18446744073709551615 bytes.");
  }
  // Names are text: a path holding "<b>" must not turn the tooltip into markup.
  StatusBar1->Panel(3)->setToolTip(problems.isEmpty() ? QString() : Qt::convertFromPlainText(problems, Qt::WhiteSpaceNoWrap));
}


QTreeWidgetItem* TForm1::SelectedItem() const {
  const QList<QTreeWidgetItem*> selected = TreeViewDirectories->selectedItems();
  return selected.isEmpty() ? nullptr : selected.front();
}

void TForm1::SelectItem(QTreeWidgetItem* item) {
  const QSignalBlocker block(TreeViewDirectories);
  // The folders this opens are sorted as the header says before they show.
  std::vector<QTreeWidgetItem*> above;
  for (QTreeWidgetItem* up = item ? item->parent() : nullptr; up; up = up->parent()) above.push_back(up);
  bool moved = false;
  for (auto it = above.rbegin(); it != above.rend(); ++it)
    moved = SortBranch(TreeViewDirectories, *it, PointsItem, false) || moved;
  if (moved) BuildChart(PointsItem);
  // Scrolling to an item expands its ancestors.
  TreeViewDirectories->scrollToItem(item);
  TreeViewDirectories->setCurrentItem(item);
  ShowItemStart(item);
}

void TForm1::ShowItemStart(QTreeWidgetItem* item) {
  // The view scrolls rows into view, never sideways: a deep folder's name would stay beside
  // the view while its row shows selected.
  if (!item) return;
  const int left = TreeViewDirectories->visualItemRect(item).left();
  const int indent = TreeViewDirectories->indentation();
  if (left >= indent && left + 2 * indent <= TreeViewDirectories->viewport()->width()) return;
  QScrollBar* bar = TreeViewDirectories->horizontalScrollBar();
  bar->setValue(bar->value() + left - indent);
}

void TForm1::TreeViewDirectoriesClick() {
  TimerKeyRedraw->stop();  // this draws whatever a keyboard move selected
  QTreeWidgetItem* item = SelectedItem();
  if (!item) return;
  const DirNode* node = ItemNode(item);
  CurrentDir = node && ItemNamesFolder(item) ? FullPath(*node) : std::string();
  // The selected folder's own total stays in view; "My Computer" totals its scans' roots.
  uint64_t total = 0;
  if (node) {
    total = SizeOf(*node, ShownMeasure());
  } else {
    for (int i = 0; i < item->childCount(); ++i)
      if (const DirNode* child = ItemNode(item->child(i))) total = AddBytes(total, SizeOf(*child, ShownMeasure()));
  }
  StatusBar1->SetPanelText(2, QString::fromStdString(FormatSize(total)));
  // The point last hovered belongs to the chart being replaced.
  StatusBar1->SetPanelText(0, QString());
  StatusBar1->SetPanelText(1, QString());
  Comparison->ShowSizes(item);
  BuildChart(item);
  ShowFiles(item, false);
}

void TForm1::ButtonUpClick() {
  QTreeWidgetItem* item = SelectedItem();
  if (!item || !item->parent()) return;
  SelectItem(item->parent());
  TreeViewDirectoriesClick();
}

}  // namespace ostrel
