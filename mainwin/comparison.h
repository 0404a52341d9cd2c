// The comparison of a shown scan with an earlier one, carved out of the main window: which scan
// of the tree is compared with which earlier scan, the marks that comparison puts on the
// compared scan's tree items, the comparison line over the chart, the growth chart and its
// status-bar details. The window starts the reading of the earlier scan (a tree job it owns)
// and hands it over; the comparison points to its jobs and gives back those it no longer needs
// once their threads have ended (TakeEnded).
#pragma once
#include <QString>
#include <string>
#include <vector>

#include "chart/growth.h"
#include "scan/dirnode.h"

class QAction;
class QFrame;
class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace ostrel {

class TChartView;
class TElidedLabel;
class TFolderItem;
class TStatusBar;
class TTreeJob;

class TComparison {
 public:
  // The window's controls a comparison shows itself in; they outlive it.
  struct TControls {
    QFrame* Panel;           // the comparison line, on the chart's top edge
    QLabel* Line;            // the line's text
    QAction* EndAction;      // "End Comparison", enabled while a comparison is shown or read
    TElidedLabel* LabelLost;  // what shrank or is gone, beside the growth chart
    QLabel* LabelNoGrowth;   // across the chart when nothing grew
    TChartView* Chart;
    TStatusBar* StatusBar;
    QTreeWidget* Tree;
  };
  explicit TComparison(const TControls& controls) : C(controls) {}

  // True while a comparison is shown, or an earlier scan is being read for one.
  bool Active() const { return Item || Reading; }
  // True when `job` is the reading under way.
  bool IsReading(const TTreeJob* job) const { return job && job == Reading; }
  // The reading under way: the "My Computer" item of the scan it is for, and the file it reads.
  QTreeWidgetItem* ReadingFor() const { return ReadingItem; }
  const std::string& ReadingFile() const { return ReadingPath; }

  // Ends whatever was shown or read (End), then shows that `reading`, of `path`, is read to
  // be compared with the scan whose "My Computer" item is `item`; `since` is the earlier
  // scan's time as the comparison line shows it.
  void Begin(TTreeJob& reading, std::string path, QTreeWidgetItem* item, const QString& since);
  // The reading under way has ended with a tree: marks the compared scan's items and says
  // since when the line compares; `thisPart` when the scan compared is incomplete.
  void Show(bool thisPart);
  // Stops the reading under way (it failed, or is no longer wanted) and sets it aside with
  // the line hidden.
  void DropReading();
  // Takes the marks off the tree, hides the line, sets every job aside. Nothing while not Active.
  void End();
  // The jobs set aside whose threads have ended; the comparison no longer points to them.
  std::vector<const TTreeJob*> TakeEnded();

  // While a comparison is shown: `item`'s sizes then and now in the status bar's first panel
  // (emptied for an item not compared). Nothing otherwise.
  void ShowSizes(const QTreeWidgetItem* item) const;
  // While `item` belongs to the scan compared: shows the breakdown of its growth in the chart,
  // what shrank or is gone in LabelLost, and says so in LabelNoGrowth when nothing grew; true
  // then. Otherwise hides both labels and returns false.
  bool BuildChart(QTreeWidgetItem* item);
  // True while the chart shows growth: ShowPoint then gives a point's details in the status bar.
  bool ChartShown() const { return GrowthShown; }
  void ShowPoint(const TChartPoint& point) const;

 private:
  // `item`, when it is a folder of the scan compared; null otherwise.
  const TFolderItem* ComparedFolder(const QTreeWidgetItem* item) const;
  // Sets (with `oldRoot`, the earlier scan's root) or clears the marks of every item below `top`.
  void Mark(QTreeWidgetItem* top, const DirNode* oldRoot, bool compared);
  void SetAside(TTreeJob*& job);

  TControls C;
  // The comparison shown: the earlier scan's job, the "My Computer" item compared, the
  // earlier scan's time and which side is incomplete, e.g. " (this scan is incomplete)".
  TTreeJob* Base = nullptr;
  QTreeWidgetItem* Item = nullptr;
  QString Since;
  QString Caveat;
  // The reading under way, for whom, of which file, and its earlier scan's time.
  TTreeJob* Reading = nullptr;
  QTreeWidgetItem* ReadingItem = nullptr;
  std::string ReadingPath;
  QString ReadingSince;
  // Jobs no longer needed, until their threads have ended.
  std::vector<TTreeJob*> Aside;
  // What the growth chart shows, while GrowthShown.
  TChanges Growth;
  bool GrowthShown = false;
};

}  // namespace ostrel
