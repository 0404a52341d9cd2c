// Drives. On Linux a drive is a mount point from the mount table; its type uses the codes of
// the desktop system's drive-type call, so the scan's inclusion rules read the same everywhere.
#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

enum TDriveType : int {
  DriveUnknown = 0,
  DriveNoRoot = 1,
  DriveRemovable = 2,
  DriveFixed = 3,
  DriveRemote = 4,
  DriveCdRom = 5,
  DriveRamDisk = 6,
};

struct TMountEntry {
  std::string Device;      // first field of the mount table, e.g. "/dev/sda1" or "proc"
  std::string MountPoint;  // decoded (octal escapes such as \040 undone)
  std::string FsType;      // e.g. "ext4"
};

struct TDrive {
  std::string Root;     // the mount point, e.g. "/" or "/home"
  int Type = DriveUnknown;
  bool Floppy = false;  // a floppy drive (Linux: /dev/fd*); governed by "includefloppy"
};

// Parses mount-table text (the format of /proc/self/mounts). Keeps one entry per distinct
// mount point, the last line for a point winning, sorted by mount point in ascending byte order.
// Malformed lines are skipped.
std::vector<TMountEntry> ParseMountTable(std::string_view text);

// Drive type of one mount entry, decided by its file-system type first (virtual, RAM, CD-ROM and
// image, network), then by its device: a block device "/dev/..." is fixed unless the kernel
// marks its disk removable; a floppy "/dev/fd<n>" is always removable. `sysBlock` is the
// folder that holds the block devices' sysfs entries ("/sys/class/block" on a live system):
// <sysBlock>/<name>/removable, and for a partition (<sysBlock>/<name>/partition exists) the
// "removable" of the folder above the real path of <sysBlock>/<name>.
int DriveTypeOfMount(const TMountEntry& entry, const std::string& sysBlock = "/sys/class/block");

// True for a mount point at or under /dev, /proc, /sys or /run: the system's plumbing, never a
// drive whatever its file system (so /run/user's tmpfs is not a RAM drive, while /tmp is).
bool IsSystemPlumbing(std::string_view mountPoint);

// Turns mount entries into drives, in the same order; a mount point that is not an existing
// folder, or that is system plumbing, is DriveNoRoot.
std::vector<TDrive> DrivesFromMounts(const std::vector<TMountEntry>& mounts,
                                     const std::string& sysBlock = "/sys/class/block");

// The drives of this computer, from /proc/self/mounts; empty when it cannot be read.
std::vector<TDrive> ListDrives();

// Where a user of drives takes them from: ListDrives, or a list of the caller's own.
using TDriveSource = std::function<std::vector<TDrive>()>;

// Drive type of the mount that holds `path`: DriveNoRoot when `path` names no existing folder.
// Links in `path` are resolved first; DriveUnknown when the mount table cannot be read.
int DriveTypeOfPath(const char* path);

// The index of the root in `roots` that holds `path`: the longest root that is `path` itself or
// a prefix of it ending at a separator ("/home" holds "/home/a", not "/homework"). -1 when no
// root holds it. `path` is taken literally (no links resolved).
int RootHolding(const std::vector<std::string>& roots, std::string_view path);

// The entry among `mounts` whose mount point holds the absolute, resolved `path` (RootHolding);
// null when none does. The pointer is into `mounts`. Used by DriveTypeOfPath.
const TMountEntry* MountHolding(const std::vector<TMountEntry>& mounts, std::string_view path);

}  // namespace ostrel
