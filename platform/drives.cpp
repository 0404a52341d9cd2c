#include "platform/drives.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <map>

#include "platform/files.h"

namespace ostrel {
namespace {

constexpr std::array kVirtualFs = {
    "proc",   "sysfs",     "devtmpfs", "devpts",      "cgroup",   "cgroup2", "securityfs",
    "debugfs", "tracefs",  "configfs", "fusectl",     "mqueue",   "hugetlbfs", "pstore",
    "bpf",    "autofs",    "binfmt_misc", "efivarfs", "nsfs",     "rpc_pipefs", "selinuxfs",
};
constexpr std::array kRamFs = {"tmpfs", "ramfs"};
constexpr std::array kCdRomFs = {"iso9660", "udf", "squashfs", "erofs", "cramfs"};
constexpr std::array kNetworkFs = {
    "nfs",  "nfs4", "cifs",      "smb3",  "smbfs",      "9p",         "afs",
    "ceph", "glusterfs", "davfs", "fuse.sshfs", "fuse.rclone",
    // Further FUSE clients of network storage.
    "fuse.glusterfs", "fuse.ceph-fuse", "fuse.s3fs", "fuse.gcsfuse", "fuse.goofys",
    "fuse.curlftpfs", "fuse.davfs2", "fuse.smbnetfs", "fuse.httpfs", "fuse.blobfuse",
    "fuse.juicefs",
};
constexpr std::array kOtherFixedFs = {"overlay", "btrfs", "zfs", "fuseblk"};

template <size_t N>
bool OneOf(const std::array<const char*, N>& list, std::string_view value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

// Undoes the escapes the kernel writes for bytes that would break a field.
std::string Unescape(std::string_view field) {
  static constexpr std::pair<std::string_view, char> kEscapes[] = {
      {"\\040", ' '}, {"\\011", '\t'}, {"\\012", '\n'}, {"\\134", '\\'}};
  std::string out;
  out.reserve(field.size());
  for (size_t i = 0; i < field.size();) {
    bool replaced = false;
    if (field[i] == '\\') {
      for (const auto& [code, byte] : kEscapes) {
        if (field.substr(i, code.size()) == code) {
          out += byte;
          i += code.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out += field[i++];
  }
  return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t pos = 0;
  while (pos < line.size()) {
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    size_t end = pos;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
    if (end > pos) fields.push_back(line.substr(pos, end - pos));
    pos = end;
  }
  return fields;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool IsFloppyDevice(std::string_view device) {
  // "/dev/fd0", "/dev/fd1u1440"; not "/dev/fd/3", which names a descriptor.
  return StartsWith(device, "/dev/fd") && device.size() > 7 && device[7] >= '0' && device[7] <= '9';
}

std::string ReadSmallFile(const std::string& path) {
  std::string text;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return text;
  char buf[4096];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) break;
    text.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  return text;
}


bool IsRemovableBlockDevice(const std::string& device, const std::string& sysBlock) {
  // Names such as /dev/mapper/x or /dev/disk/by-uuid/y are links to the kernel's own name.
  std::string kernelPath = ResolvedPath(device);
  if (kernelPath.empty()) kernelPath = device;
  std::string name = kernelPath.substr(kernelPath.rfind('/') + 1);
  if (name.empty() || name == "." || name == "..") return false;
  std::string entry = sysBlock + "/" + name;
  if (access((entry + "/partition").c_str(), F_OK) == 0) {
    // A partition's own entry has no "removable"; its disk is the folder above it.
    std::string real = ResolvedPath(entry);
    if (real.empty()) return false;
    entry = real.substr(0, real.rfind('/'));
  }
  std::string flag = ReadSmallFile(entry + "/removable");
  return !flag.empty() && flag[0] == '1';
}

}  // namespace

std::vector<TMountEntry> ParseMountTable(std::string_view text) {
  std::map<std::string, TMountEntry> byPoint;
  while (!text.empty()) {
    size_t eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);
    std::vector<std::string_view> fields = Fields(line);
    if (fields.size() < 3 || fields[0][0] == '#') continue;
    TMountEntry entry{Unescape(fields[0]), Unescape(fields[1]), std::string(fields[2])};
    if (entry.MountPoint.empty() || entry.MountPoint[0] != '/') continue;
    byPoint.insert_or_assign(entry.MountPoint, std::move(entry));
  }
  std::vector<TMountEntry> out;
  out.reserve(byPoint.size());
  for (auto& [point, entry] : byPoint) out.push_back(std::move(entry));
  return out;
}

int DriveTypeOfMount(const TMountEntry& entry, const std::string& sysBlock) {
  const std::string& fs = entry.FsType;
  if (OneOf(kVirtualFs, fs)) return DriveNoRoot;
  if (OneOf(kRamFs, fs)) return DriveRamDisk;
  if (OneOf(kCdRomFs, fs)) return DriveCdRom;
  if (OneOf(kNetworkFs, fs)) return DriveRemote;
  // Other FUSE clients name their source "host:path" or "remote:path", as network mounts do.
  if (StartsWith(fs, "fuse.") && !StartsWith(entry.Device, "/") &&
      entry.Device.find(':') != std::string::npos)
    return DriveRemote;
  if (StartsWith(entry.Device, "/dev/")) {
    if (IsFloppyDevice(entry.Device)) return DriveRemovable;
    return IsRemovableBlockDevice(entry.Device, sysBlock) ? DriveRemovable : DriveFixed;
  }
  if (OneOf(kOtherFixedFs, fs)) return DriveFixed;
  return DriveUnknown;
}

bool IsSystemPlumbing(std::string_view mountPoint) {
  for (std::string_view top : {"/dev", "/proc", "/sys", "/run"})
    if (StartsWith(mountPoint, top) && (mountPoint.size() == top.size() || mountPoint[top.size()] == '/'))
      return true;
  return false;
}

std::vector<TDrive> DrivesFromMounts(const std::vector<TMountEntry>& mounts, const std::string& sysBlock) {
  std::vector<TDrive> drives;
  drives.reserve(mounts.size());
  for (const TMountEntry& mount : mounts) {
    TDrive drive;
    drive.Root = mount.MountPoint;
    drive.Type = FolderExists(mount.MountPoint.c_str()) && !IsSystemPlumbing(mount.MountPoint)
                     ? DriveTypeOfMount(mount, sysBlock)
                     : DriveNoRoot;
    drive.Floppy = IsFloppyDevice(mount.Device);
    drives.push_back(std::move(drive));
  }
  return drives;
}

std::vector<TDrive> ListDrives() {
  std::string table = ReadSmallFile("/proc/self/mounts");
  return DrivesFromMounts(ParseMountTable(table));
}

int RootHolding(const std::vector<std::string>& roots, std::string_view path) {
  int best = -1;
  size_t bestLength = 0;
  for (size_t i = 0; i < roots.size(); ++i) {
    const std::string& root = roots[i];
    if (root.empty() || !StartsWith(path, root)) continue;
    const bool boundary = path.size() == root.size() || root.back() == '/' || path[root.size()] == '/';
    if (boundary && (best < 0 || root.size() > bestLength)) {
      best = static_cast<int>(i);
      bestLength = root.size();
    }
  }
  return best;
}

const TMountEntry* MountHolding(const std::vector<TMountEntry>& mounts, std::string_view path) {
  std::vector<std::string> points;
  points.reserve(mounts.size());
  for (const TMountEntry& mount : mounts) points.push_back(mount.MountPoint);
  const int index = RootHolding(points, path);
  return index < 0 ? nullptr : &mounts[static_cast<size_t>(index)];
}

int DriveTypeOfPath(const char* path) {
  if (!path || !*path) return DriveNoRoot;
  std::string resolved = ResolvedPath(path);
  if (resolved.empty() || !FolderExists(resolved.c_str())) return DriveNoRoot;
  std::vector<TMountEntry> mounts = ParseMountTable(ReadSmallFile("/proc/self/mounts"));
  const TMountEntry* mount = MountHolding(mounts, resolved);
  return mount ? DriveTypeOfMount(*mount) : DriveUnknown;
}

}  // namespace ostrel
