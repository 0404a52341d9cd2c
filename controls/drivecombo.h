// TDriveComboBox: a combo box of this computer's drives, the select-directory dialog's drive
// box. A drive is a root folder (on Linux a mount point, see platform/drives.h); drives that do
// not exist as folders (DriveNoRoot) are not offered. Roots are bytes; the box shows them
// decoded, with the kind of drive.
#pragma once
#include <QComboBox>

#include <string>
#include <vector>

#include "platform/drives.h"

namespace ostrel {

// Text the box shows for a drive: its root and its kind, e.g. "/media/stick  (removable)".
QString DriveCaption(const TDrive& drive);

class TDriveComboBox : public QComboBox {
  Q_OBJECT
 public:
  // Filled with the drives of `drives` (an empty source offers none); nothing is selected when
  // there is no drive.
  explicit TDriveComboBox(QWidget* parent = nullptr, const TDriveSource& drives = ListDrives);

  // Replaces the offered drives (DriveNoRoot ones left out, order kept). The selection stays on
  // the same root when it is still offered, otherwise moves to the first drive. Raises no
  // DriveChanged.
  void SetDrives(const std::vector<TDrive>& drives);

  // The offered roots, in the box's order.

  // Root of the selected drive; empty when the box is empty.
  std::string Drive() const;

  // Selects the drive that holds `path` (see RootHolding). False, selection unchanged, when no
  // offered drive holds it. A selection that changes raises DriveChanged.
  bool SetDrive(const std::string& path);

 signals:
  // The selected drive changed, by the user or by SetDrive.
  void DriveChanged();

 private:
  std::vector<std::string> DriveRoots;
};

}  // namespace ostrel
