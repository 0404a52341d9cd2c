#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "platform/drives.h"
#include "tests/support/fixture.h"

namespace ostrel {

bool operator==(const TMountEntry& a, const TMountEntry& b) {
  return a.Device == b.Device && a.MountPoint == b.MountPoint && a.FsType == b.FsType;
}
void PrintTo(const TMountEntry& e, std::ostream* os) { *os << e.Device << " on " << e.MountPoint << " (" << e.FsType << ")"; }

namespace {

using test::TempTree;

TEST(MountTable, OneEntryPerPointLastWinsSortedAndDecoded) {
  const std::string text =
      "/dev/sda1 / ext4 rw,relatime 0 0\n"
      "proc /proc proc rw 0 0\n"
      "/dev/sdb1 /mnt/z vfat rw 0 0\n"
      "/dev/sdc1 /mnt/\xc3\xa9t\xc3\xa9 ext4 rw 0 0\n"
      "server:/export\\040share /mnt/my\\040disk\\011tab\\012nl\\134bs nfs4 rw 0 0\n"
      "\n"
      "garbage-without-fields\n"
      "two fields\n"
      "none relative/point tmpfs rw 0 0\n"
      "tmpfs /proc tmpfs rw 0 0\n"
      "/dev/sdd1 /mnt/back\\slash\\07x ext4 rw 0 0\n"
      "/dev/sda2 /home ext4 rw 0 0";  // no final newline
  const std::vector<TMountEntry> want = {
      {"/dev/sda1", "/", "ext4"},
      {"/dev/sda2", "/home", "ext4"},
      {"/dev/sdd1", "/mnt/back\\slash\\07x", "ext4"},  // not one of the kernel's escapes
      {"server:/export share", "/mnt/my disk\ttab\nnl\\bs", "nfs4"},
      {"/dev/sdb1", "/mnt/z", "vfat"},
      {"/dev/sdc1", "/mnt/\xc3\xa9t\xc3\xa9", "ext4"},  // bytes above 127 after ASCII
      {"tmpfs", "/proc", "tmpfs"},                      // the later line for /proc
  };
  EXPECT_EQ(ParseMountTable(text), want);
  EXPECT_TRUE(ParseMountTable("").empty());
  EXPECT_TRUE(ParseMountTable("\n\n# comment\n").empty());
}

// A stand-in for /sys/class/block laid out as the kernel does it: the class folder holds links
// into a device tree, where a partition is a folder inside its disk's folder.
class DriveTypes : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Sys = new TempTree;
    Sys->Write("devices/sdr/removable", "1\n");
    Sys->Write("devices/sdr/sdr1/partition", "1\n");
    Sys->Write("devices/sdf/removable", "0\n");
    Sys->Write("devices/sdf/sdf1/partition", "1\n");
    Sys->Dir("class");
    for (const char* link : {"sdr", "sdf"}) Sys->Link(std::string("class/") + link, std::string("../devices/") + link);
    for (const char* link : {"sdr1", "sdf1"})
      Sys->Link(std::string("class/") + link, std::string("../devices/") + std::string(link, 3) + "/" + link);
  }
  static void TearDownTestSuite() {
    delete Sys;
    Sys = nullptr;
  }
  static std::string SysBlock() { return Sys->Path("class"); }
  static TempTree* Sys;
};
TempTree* DriveTypes::Sys = nullptr;

// Each type with the mounts it is given for: "device:file system" (split at the last colon), or
// the file system alone where the device has its name.
TEST_F(DriveTypes, EveryFileSystemOfTheTable) {
  const std::pair<int, std::vector<std::string>> rows[] = {
      {DriveNoRoot,
       {"proc", "sysfs", "udev:devtmpfs", "devpts", "cgroup", "cgroup2", "securityfs", "debugfs", "tracefs",
        "configfs", "fusectl", "mqueue", "hugetlbfs", "pstore", "bpf", "systemd-1:autofs", "binfmt_misc",
        "efivarfs", "nsfs", "sunrpc:rpc_pipefs", "selinuxfs"}},
      {DriveRamDisk, {"tmpfs", "ramfs"}},
      {DriveCdRom,
       {"/dev/sr0:iso9660", "/dev/sr0:udf", "/dev/loop3:squashfs", "/dev/loop4:erofs", "/dev/loop5:cramfs",
        "/dev/sdr1:iso9660"}},
      {DriveRemote,
       {"srv:/export:nfs", "srv:/export:nfs4", "//srv/share:cifs", "//srv/share:smb3", "//srv/share:smbfs",
        "tag:9p", "AFS:afs", "10.0.0.1:/:ceph", "srv:/vol:glusterfs", "https://srv/dav:davfs",
        "me@srv:/home:fuse.sshfs", "drive::fuse.rclone", "bucket:fuse.s3fs", "me@host:/data:fuse.othernetfs"}},
      {DriveFixed,
       {"/dev/sdf1:ext4", "/dev/sdf:xfs", "/dev/sdf1:fuseblk", "/dev/sdf1:btrfs", "/dev/mapper/unknown-vol:ext4",
        "overlay", "none:btrfs", "rpool/data:zfs", "fuseblk-src:fuseblk"}},
      {DriveRemovable, {"/dev/sdr:vfat", "/dev/sdr1:vfat", "/dev/sdr1:fuseblk", "/dev/fd0:vfat", "/dev/fd1:msdos"}},
      {DriveUnknown, {"portal:fuse.portal", "none:madeupfs", "something:fuse"}},
  };
  for (const auto& [type, mounts] : rows)
    for (const std::string& m : mounts) {
      const size_t colon = m.rfind(':');
      const std::string device = colon == std::string::npos ? m : m.substr(0, colon);
      TMountEntry mount{device, "/mnt/x", colon == std::string::npos ? m : m.substr(colon + 1)};
      EXPECT_EQ(DriveTypeOfMount(mount, SysBlock()), type) << m;
    }
}

TEST_F(DriveTypes, DrivesKeepOrderMarkFloppiesAndNeedAFolder) {
  TempTree tree;
  std::string a = tree.Dir("a"), b = tree.Dir("b");
  std::string file = tree.File("file");
  std::vector<TDrive> drives = DrivesFromMounts(
      {{"/dev/fd0", a, "vfat"}, {"/dev/sdf1", b, "ext4"}, {"/dev/sdf1", tree.Path("gone"), "ext4"},
       {"tmpfs", file, "tmpfs"}, {"tmpfs", "/run", "tmpfs"}},
      SysBlock());
  // A missing folder, a file mounted over a file and system plumbing (whatever its file system)
  // are no drives.
  std::vector<std::tuple<std::string, int, bool>> got;
  for (const TDrive& d : drives) got.emplace_back(d.Root, d.Type, d.Floppy);
  EXPECT_EQ(got, (std::vector<std::tuple<std::string, int, bool>>{{a, DriveRemovable, true}, {b, DriveFixed, false},
                                                                 {tree.Path("gone"), DriveNoRoot, false},
                                                                 {file, DriveNoRoot, false}, {"/run", DriveNoRoot, false}}));
}

TEST(Drives, SystemPlumbingIsWholeComponentsUnderDevProcSysRun) {
  for (const char* point : {"/dev", "/dev/shm", "/proc", "/proc/sys/fs/binfmt_misc", "/sys/fs/cgroup", "/run",
                            "/run/user/1000"})
    EXPECT_TRUE(IsSystemPlumbing(point)) << point;
  for (const char* point : {"/", "/tmp", "/devices", "/running", "/home/run", "/mnt/proc", "/system"})
    EXPECT_FALSE(IsSystemPlumbing(point)) << point;
}

TEST(Drives, MountHoldingMatchesWholeComponents) {
  const std::vector<TMountEntry> mounts = {
      {"/dev/a", "/", "ext4"}, {"/dev/b", "/home", "ext4"}, {"/dev/c", "/home/me/data", "ext4"}};
  const std::pair<const char*, const char*> rows[] = {  // path, the mount point holding it
      {"/", "/"},           {"/homework", "/"},          {"/home", "/home"},
      {"/home/me", "/home"}, {"/home/me/database", "/home"}, {"/home/me/data", "/home/me/data"},
      {"/home/me/data/x/y", "/home/me/data"},
  };
  for (const auto& [path, mount] : rows) {
    const TMountEntry* m = MountHolding(mounts, path);
    ASSERT_NE(m, nullptr) << path;
    EXPECT_EQ(m->MountPoint, mount) << path;
  }
  EXPECT_EQ(MountHolding({{"/dev/b", "/home", "ext4"}}, "/usr"), nullptr);
}

TEST(Drives, ThisComputer) {
  TempTree tree;
  std::string file = tree.File("file");
  tree.Link("to-root", "/");
  EXPECT_EQ(DriveTypeOfPath(tree.Path("missing").c_str()), DriveNoRoot);
  EXPECT_EQ(DriveTypeOfPath(file.c_str()), DriveNoRoot);
  EXPECT_EQ(DriveTypeOfPath(""), DriveNoRoot);
  EXPECT_EQ(DriveTypeOfPath(nullptr), DriveNoRoot);
  int root = DriveTypeOfPath("/");
  EXPECT_NE(root, DriveNoRoot);
  EXPECT_EQ(DriveTypeOfPath(tree.Path("to-root").c_str()), root);
  EXPECT_EQ(DriveTypeOfPath("/proc/self"), DriveNoRoot) << "inside the proc file system";

  std::vector<TDrive> drives = ListDrives();
  ASSERT_FALSE(drives.empty());
  EXPECT_EQ(drives.front().Root, "/");
  EXPECT_EQ(drives.front().Type, root);
  for (size_t i = 1; i < drives.size(); ++i)
    EXPECT_LT(drives[i - 1].Root, drives[i].Root) << "distinct and in ascending order";
}

}  // namespace
}  // namespace ostrel
