#include "platform/dirlist.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ostrel {

struct TSearch {
  DIR* Dir = nullptr;
  int Fd = -1;  // the folder's descriptor, read without touching Dir: Examine may run on another thread
  TEntryStat Self;
  int Error = 0;
  bool LeaveFiles = false;  // entries that the listing shows are no folder are not examined
};

namespace {

bool IsDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

void FillStat(const struct stat& st, TEntryStat& out) {
  out.Device = static_cast<uint64_t>(st.st_dev);
  out.Inode = static_cast<uint64_t>(st.st_ino);
  out.Links = static_cast<uint64_t>(st.st_nlink);
  out.Folder = S_ISDIR(st.st_mode);
  out.Size = out.Folder ? 0 : static_cast<uint64_t>(st.st_size);
  out.DiskSize = static_cast<uint64_t>(st.st_blocks) * 512u;
}

TSearch* Fail(int code, int* error) {
  if (error) *error = code;
  return nullptr;
}

}  // namespace

TSearch* FindOpen(TSearch* parent, const char* path, int* error) {
  if (!path || !*path) return Fail(ENOENT, error);
  int fd;
  if (parent) {
    // One entry name only: a "/" would let openat follow links in the leading components.
    if (std::strchr(path, '/')) return Fail(EINVAL, error);
    fd = openat(parent->Fd, path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  } else {
    fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  }
  if (fd < 0) return Fail(errno, error);
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    const int code = errno;
    close(fd);
    return Fail(code, error);
  }
  DIR* dir = fdopendir(fd);
  if (!dir) {
    const int code = errno;
    close(fd);
    return Fail(code, error);
  }
  auto* search = new TSearch;
  search->Dir = dir;
  search->Fd = fd;
  FillStat(st, search->Self);
  return search;
}

bool FindNext(TSearch* search, TSearchRec& rec) {
  if (!search || search->Error) return false;
  for (;;) {
    errno = 0;
    dirent* entry = readdir(search->Dir);
    if (!entry) {
      search->Error = errno;
      return false;
    }
    if (IsDotOrDotDot(entry->d_name)) continue;
    rec.Name = entry->d_name;
    rec.Error = 0;
    if (entry->d_type == DT_DIR) {
      // The listing already says it is a real folder (a link would be DT_LNK); its details
      // come when it is opened.
      rec.Attr = FaDirectory;
      rec.Size = 0;
      rec.Device = search->Self.Device;
      rec.Stat = TEntryStat{};
      rec.Stat.Folder = true;
      rec.Examined = false;
      return true;
    }
    if (search->LeaveFiles && entry->d_type != DT_UNKNOWN) {
      rec.Attr = 0;
      rec.Size = 0;
      rec.Device = search->Self.Device;
      rec.Stat = TEntryStat{};
      rec.Examined = false;
      return true;
    }
    struct stat st {};
    if (fstatat(search->Fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) continue;  // removed since readdir saw it
      // Listed but not examinable: keep the name with what readdir knows and say why.
      rec.Error = errno;
      rec.Attr = 0;
      rec.Size = 0;
      rec.Device = search->Self.Device;
      rec.Stat = TEntryStat{};
      rec.Examined = false;
      return true;
    }
    FillStat(st, rec.Stat);
    rec.Examined = true;
    rec.Attr = rec.Stat.Folder ? FaDirectory : 0;
    rec.Size = rec.Stat.Size;
    rec.Device = rec.Stat.Device;
    return true;
  }
}

void FindLeaveFiles(TSearch* search) {
  if (search) search->LeaveFiles = true;
}

int FindError(const TSearch* search) { return search ? search->Error : 0; }

uint64_t FindDevice(const TSearch* search) { return search ? search->Self.Device : 0; }

const TEntryStat& FindSelf(const TSearch* search) { return search->Self; }

int FindExamine(TSearch* search, const char* name, TEntryStat& stat) {
  if (!search || !name || !*name || std::strchr(name, '/')) return EINVAL;
  struct stat st {};
  if (fstatat(search->Fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
  FillStat(st, stat);
  return 0;
}

void FindClose(TSearch* search) {
  if (!search) return;
  closedir(search->Dir);
  delete search;
}

}  // namespace ostrel
