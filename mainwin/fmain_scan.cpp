#include <QAbstractScrollArea>
#include <QChartView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include "mainwin/fmain.h"

namespace ostrel {
namespace {

// A scroll area shows the cursor of its viewport, so both get it.
void SetDefaultCursor(QAbstractScrollArea* area) {
  area->unsetCursor();
  area->viewport()->unsetCursor();
}

}  // namespace

void TForm1::ShowIdle() {
  LabelStandBy->hide();
  LabelScanned->hide();
  LabelCount->hide();
  ButtonStop->hide();
  SetDefaultCursor(ChartPie);
  SetDefaultCursor(TreeViewDirectories);
}

// Not built yet: choosing what to scan and starting the scan thread.
void TForm1::RunNewScan() {}

// Not built yet beyond the idle look: the tree of the finished scan.
void TForm1::ScanCompleted(std::intptr_t) { ShowIdle(); }

// Not built yet: the folder count of the running scan.
void TForm1::TimerUpdateTimer() {}

// Not built yet: stopping the running scan.
void TForm1::ButtonStopClick() {}

void TForm1::NewScanClick() { RunNewScan(); }

}  // namespace ostrel
