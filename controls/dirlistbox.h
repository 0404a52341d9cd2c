// TDirectoryListBox: the select-directory dialog's folder list. It shows the current folder's
// ancestors from its drive's root down to it, one line each and indented by depth, then the
// current folder's subfolders one level deeper. Double-click or Enter on a line makes that
// folder current. Paths are bytes, shown decoded. Links to folders are not listed as
// subfolders (the scan does not follow them either), though a typed path may run through one.
#pragma once
#include <QListWidget>

#include <string>
#include <vector>

#include "platform/drives.h"

namespace ostrel {

// The folders from `root` down to `path`, both included, as full paths: root "/" and path
// "/a/b" give "/", "/a", "/a/b". `path` must lie under `root` (see RootHolding); an empty root
// or one that does not hold `path` gives just `path`.
std::vector<std::string> AncestorChain(const std::string& root, const std::string& path);

class TDirectoryListBox : public QListWidget {
  Q_OBJECT
 public:
  // Roles of each line's data: its folder's full path (QByteArray) and its indent level (int).
  static constexpr int PathRole = Qt::UserRole;
  static constexpr int LevelRole = Qt::UserRole + 1;

  // Starts in the process's working folder ("/" when that cannot be entered). The drive roots,
  // which end the ancestor chain at the top (the longest that holds the folder wins; "/" when
  // none does), are those `drives` gives (DriveNoRoot ones left out).
  explicit TDirectoryListBox(QWidget* parent = nullptr, const TDriveSource& drives = ListDrives);

  // The current folder: an absolute path without links, "." or ".." parts, and without a
  // trailing separator except for the root "/".
  const std::string& Directory() const { return Current; }

  // Makes `path` (relative ones count from the working folder) the current folder and lists it
  // afresh. False when it cannot be entered (missing, not a folder, not listable): the list
  // stays as it was and nothing is reported to the user. Raises DirectoryChanged when the
  // current folder changed.
  bool SetDirectory(const std::string& path);

  // Height of every line in pixels.
  void SetItemHeight(int height);
  int ItemHeight() const { return LineHeight; }

 signals:
  void DirectoryChanged();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Fill(const std::vector<std::string>& chain, const std::vector<std::string>& subfolders);
  void EnterLine(QListWidgetItem* item);

  std::string Current;
  std::vector<std::string> DriveRoots;
  int LineHeight = 16;
};

}  // namespace ostrel
