// The main window's menu bar: its three menus and their items, built in their order with the
// object names the rest of the program and its tests find them by. The window connects them.
#pragma once

class QAction;
class QMainWindow;
class QMenu;
class QMenuBar;

namespace ostrel {

struct TMainMenu {
  // Builds the bar on `window` and sets every member; the window owns what is built.
  void Build(QMainWindow* window);

  QMenuBar* MainMenu1 = nullptr;
  QMenu* File1 = nullptr;
  QAction *NewScanWizard1 = nullptr, *OpenScan1 = nullptr, *SaveScanAs1 = nullptr, *CompareWithEarlierScan1 = nullptr,
          *EndComparison1 = nullptr, *MoveToTrash1 = nullptr, *RefreshFolder1 = nullptr, *RefreshAll1 = nullptr,
          *Find1 = nullptr, *N1 = nullptr, *Quit1 = nullptr;
  QMenu* Settings1 = nullptr;
  QAction* Preferences1 = nullptr;
  QMenu* Help1 = nullptr;
  QAction *UsersManual1 = nullptr, *Checkwebforupdatedversion1 = nullptr, *VisitPelworthformoreShareware1 = nullptr,
          *N2 = nullptr, *About1 = nullptr;
};

}  // namespace ostrel
