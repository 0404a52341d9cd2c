// The kernel's own table of this process's mounts (/proc/self/mountinfo), which tells what
// getmntent does not: which mount lies on which, and which folder of its file system a mount
// shows. The device reader finds a path's file system and the mounts below it there.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace ostrel {

struct TMountInfo {
  int Id = 0;
  int Parent = 0;       // the mount it lies on
  dev_t Device = 0;     // the st_dev of what it shows
  std::string Root;     // the folder of the file system that it shows ("/" for all of it)
  std::string Point;    // where it is mounted
  std::string Type;
  std::string Source;
};

// The table in its order (a later mount on the same place hides an earlier one); empty when it
// cannot be read.
std::vector<TMountInfo> ReadMountInfo();

// Whether path `inner` is `outer` or lies below it; both absolute, without "." or "..".
bool Within(const std::string& inner, const std::string& outer);

// The path inside the mounted file system of `hostPath`, which lies at or below `mount`'s point.
std::string InsidePath(const TMountInfo& mount, const std::string& hostPath);

// Why the block device `number` is not one to read here, or empty: one over a network, or a
// loop device whose file lies on one.
std::string NotLocal(dev_t number);

}  // namespace ostrel
