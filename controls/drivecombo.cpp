#include "controls/drivecombo.h"

#include <QFile>
#include <QSignalBlocker>
#include <QStyle>

namespace ostrel {

QString DriveCaption(const TDrive& drive) {
  const char* kind = "unknown";
  switch (drive.Type) {
    case DriveRemovable: kind = drive.Floppy ? "floppy" : "removable"; break;
    case DriveFixed: kind = "fixed"; break;
    case DriveRemote: kind = "network"; break;
    case DriveCdRom: kind = "CD-ROM"; break;
    case DriveRamDisk: kind = "RAM disk"; break;
    default: break;
  }
  return QFile::decodeName(QByteArray::fromStdString(drive.Root)) + QStringLiteral("  (") +
         QLatin1String(kind) + QLatin1Char(')');
}

namespace {

QStyle::StandardPixmap DriveIcon(const TDrive& drive) {
  switch (drive.Type) {
    case DriveRemovable: return drive.Floppy ? QStyle::SP_DriveFDIcon : QStyle::SP_DriveHDIcon;
    case DriveRemote: return QStyle::SP_DriveNetIcon;
    case DriveCdRom: return QStyle::SP_DriveCDIcon;
    default: return QStyle::SP_DriveHDIcon;
  }
}

}  // namespace

TDriveComboBox::TDriveComboBox(QWidget* parent, const TDriveSource& drives) : QComboBox(parent) {
  setEditable(false);
  SetDrives(drives ? drives() : std::vector<TDrive>{});
  connect(this, &QComboBox::currentIndexChanged, this, &TDriveComboBox::DriveChanged);
}

void TDriveComboBox::SetDrives(const std::vector<TDrive>& drives) {
  const QSignalBlocker blocker(this);
  const std::string selected = Drive();
  clear();
  DriveRoots.clear();
  for (const TDrive& drive : drives) {
    if (drive.Type == DriveNoRoot) continue;
    DriveRoots.push_back(drive.Root);
    addItem(style()->standardIcon(DriveIcon(drive)), DriveCaption(drive));
  }
  int index = -1;
  for (size_t i = 0; i < DriveRoots.size(); ++i)
    if (DriveRoots[i] == selected) index = static_cast<int>(i);
  setCurrentIndex(index >= 0 ? index : (DriveRoots.empty() ? -1 : 0));
}

std::string TDriveComboBox::Drive() const {
  const int index = currentIndex();
  if (index < 0 || index >= static_cast<int>(DriveRoots.size())) return {};
  return DriveRoots[static_cast<size_t>(index)];
}

bool TDriveComboBox::SetDrive(const std::string& path) {
  const int index = RootHolding(DriveRoots, path);
  if (index < 0) return false;
  setCurrentIndex(index);
  return true;
}

}  // namespace ostrel
