#include "mainwin/mainmenu.h"

#include <QAction>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include "controls/named.h"

namespace ostrel {

void TMainMenu::Build(QMainWindow* window) {
  MainMenu1 = new QMenuBar(window);
  Named(MainMenu1, "MainMenu1");
  window->setMenuBar(MainMenu1);

  auto menu = [this](const char* name, const char* caption) {
    QMenu* m = MainMenu1->addMenu(QString::fromLatin1(caption));
    Named(m, name);
    return m;
  };
  auto item = [](QMenu* m, const char* name, const char* caption) {
    QAction* a = m->addAction(QString::fromLatin1(caption));
    Named(a, name);
    return a;
  };
  auto separator = [](QMenu* m, const char* name) {
    QAction* a = m->addSeparator();
    Named(a, name);
    return a;
  };

  File1 = menu("File1", "&File");
  NewScanWizard1 = item(File1, "NewScanWizard1", "&New Scan Wizard");
  OpenScan1 = item(File1, "OpenScan1", "&Open Scan...");
  SaveScanAs1 = item(File1, "SaveScanAs1", "Save Scan &As...");
  CompareWithEarlierScan1 = item(File1, "CompareWithEarlierScan1", "&Compare with Earlier Scan...");
  EndComparison1 = item(File1, "EndComparison1", "&End Comparison");
  EndComparison1->setEnabled(false);
  MoveToTrash1 = item(File1, "MoveToTrash1", "Move to &Trash");
  RefreshFolder1 = item(File1, "RefreshFolder1", "&Refresh Folder");
  RefreshFolder1->setShortcut(QKeySequence::Refresh);
  RefreshAll1 = item(File1, "RefreshAll1", "Refresh A&ll");
  RefreshAll1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F5));
  Find1 = item(File1, "Find1", "&Find...");
  Find1->setShortcut(QKeySequence::Find);
  N1 = separator(File1, "N1");
  Quit1 = item(File1, "Quit1", "&Quit");
  Settings1 = menu("Settings1", "&Settings");
  Preferences1 = item(Settings1, "Preferences1", "&Preferences");
  Help1 = menu("Help1", "&Help");
  UsersManual1 = item(Help1, "UsersManual1", "&User's Manual");
  Checkwebforupdatedversion1 = item(Help1, "Checkwebforupdatedversion1", "&Check web for updated version");
  VisitPelworthformoreShareware1 =
      item(Help1, "VisitPelworthformoreShareware1", "&Visit Pelworth for more Shareware");
  N2 = separator(Help1, "N2");
  About1 = item(Help1, "About1", "&About");
  UsersManual1->setShortcut(QKeySequence::HelpContents);
}

}  // namespace ostrel
