// Shared by the tests that scan real folders with the main window: a drive list that holds the
// walk back until the test lets it go, and a desktop that answers the wizard and the Yes/No box.
#pragma once
#include <QDir>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "dialogs/formutil.h"
#include "dialogs/fstart.h"
#include "mainwin/fmain.h"
#include "platform/drives.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/fixture.h"

namespace ostrel::test {

// The drives of an all-drives scan whose walk starts only when the gate opens: while it is
// closed, every such scan is running and has walked nothing.
class TDriveGate {
 public:
  static TDriveGate& Get() {
    static TDriveGate gate;
    return gate;
  }
  // Closes the gate; scans started from now on wait for Open() and then walk `drives`.
  void Close(std::vector<TDrive> drives) {
    std::lock_guard<std::mutex> guard(Lock);
    Drives = std::move(drives);
    IsOpen = false;
  }
  void Open() {
    {
      std::lock_guard<std::mutex> guard(Lock);
      IsOpen = true;
    }
    Changed.notify_all();
  }
  // The drive source to put into TForm1::ScanDriveSource.
  static std::vector<TDrive> Source() {
    TDriveGate& gate = Get();
    std::unique_lock<std::mutex> lock(gate.Lock);
    gate.Changed.wait(lock, [&] { return gate.IsOpen; });
    return gate.Drives;
  }

 private:
  std::mutex Lock;
  std::condition_variable Changed;
  bool IsOpen = true;
  std::vector<TDrive> Drives;
};

// One fixed drive at `root`.
inline std::vector<TDrive> OneDrive(const std::string& root) { return {TDrive{root, DriveFixed, false}}; }

// Makes `desktop` answer the wizard with `button` ("all", "specific" or "cancel"), with `path`
// typed in first (for "all" only when not empty), and every Yes/No box with `yes`, counting
// wizards in `wizards`. Other dialogs are cancelled.
inline void AnswerDialogs(TFakeDesktop& desktop, const std::string& button, const std::string& path, bool yes,
                          int* wizards = nullptr) {
  desktop.AnswerYes = yes;
  desktop.AnswerDialog = [=](QDialog& dialog) {
    if (auto* start = qobject_cast<TFormStart*>(&dialog)) {
      if (wizards) ++*wizards;
      if (button == "specific" || !path.empty()) SetEditBytes(start->EditPath, QByteArray::fromStdString(path));
      if (button == "all")
        start->ButtonAll->click();
      else if (button == "specific")
        start->ButtonSpecific->click();
      else {
        start->ButtonCancel->click();
      }
      return start->result();
    }
    dialog.done(ModalCancel);
    return ModalCancel;
  };
}

// The window's items as text, depth-first, each indented by two spaces per level.
inline QStringList TreeLines(const QTreeWidget* tree) {
  QStringList lines;
  std::vector<std::pair<const QTreeWidgetItem*, int>> stack;
  for (int i = tree->topLevelItemCount() - 1; i >= 0; --i) stack.emplace_back(tree->topLevelItem(i), 0);
  while (!stack.empty()) {
    auto [item, depth] = stack.back();
    stack.pop_back();
    lines << QString(depth * 2, ' ') + item->text(0);
    for (int i = item->childCount() - 1; i >= 0; --i) stack.emplace_back(item->child(i), depth + 1);
  }
  return lines;
}

// Clicks `item` in the window's tree as the user does, opening its parents first; it is then
// the selected item.
inline void ClickItem(TForm1& form, QTreeWidgetItem* item) {
  QVERIFY(item);
  QTreeWidget* tree = form.findChild<QTreeWidget*>(QStringLiteral("TreeViewDirectories"));
  tree->scrollToItem(item);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
  QCOMPARE(tree->selectedItems().value(0), item);
}

// True when the window shows no scan under way: no Stop button, no "Standby" label.
inline bool Idle(const TForm1& form) {
  return form.findChild<QWidget*>(QStringLiteral("ButtonStop"))->isHidden() &&
         form.findChild<QWidget*>(QStringLiteral("LabelStandBy"))->isHidden();
}

// Waits until the window's tree has `items` top-level items and the window is idle again.
inline bool WaitForScans(const TForm1& form, int items, int timeout = 15000) {
  const auto* tree = form.findChild<QTreeWidget*>(QStringLiteral("TreeViewDirectories"));
  return QTest::qWaitFor([&] { return tree->topLevelItemCount() == items && Idle(form); }, timeout);
}

// The text of `item`'s tooltip.
inline QString Tip(const QTreeWidgetItem* item) { return item->data(0, Qt::ToolTipRole).toString(); }

// The child of `item` with text `text`, or null.
inline QTreeWidgetItem* ChildNamed(QTreeWidgetItem* item, const QString& text) {
  for (int i = 0; item && i < item->childCount(); ++i)
    if (item->child(i)->text(0) == text) return item->child(i);
  return nullptr;
}

}  // namespace ostrel::test
