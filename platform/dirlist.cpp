#include "platform/dirlist.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace ostrel {

struct TSearch {
  DIR* Dir = nullptr;
  uint64_t Device = 0;
};

namespace {

// A walk keeps one descriptor per level open; the default soft limit (often 1024) would cap
// the depth it can reach, the hard limit usually does not.
void RaiseDescriptorLimit() {
  static std::once_flag once;
  std::call_once(once, [] {
    rlimit lim{};
    if (getrlimit(RLIMIT_NOFILE, &lim) != 0 || lim.rlim_cur >= lim.rlim_max) return;
    rlimit raised = lim;
    raised.rlim_cur = lim.rlim_max;
    if (setrlimit(RLIMIT_NOFILE, &raised) == 0) return;
    // An unlimited hard limit is refused above the kernel's nr_open; take what it allows.
    if (lim.rlim_max == RLIM_INFINITY) {
      raised.rlim_cur = 1 << 20;
      while (raised.rlim_cur > lim.rlim_cur && setrlimit(RLIMIT_NOFILE, &raised) != 0) raised.rlim_cur /= 2;
    }
  });
}

bool IsDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

}  // namespace

TSearch* FindOpen(TSearch* parent, const char* path) {
  if (!path || !*path) return nullptr;
  RaiseDescriptorLimit();
  int fd;
  if (parent) {
    // One entry name only: a "/" would let openat follow links in the leading components.
    if (std::strchr(path, '/')) return nullptr;
    fd = openat(dirfd(parent->Dir), path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  } else {
    fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  }
  if (fd < 0) return nullptr;
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    close(fd);
    return nullptr;
  }
  DIR* dir = fdopendir(fd);
  if (!dir) {
    close(fd);
    return nullptr;
  }
  auto* search = new TSearch;
  search->Dir = dir;
  search->Device = static_cast<uint64_t>(st.st_dev);
  return search;
}

bool FindNext(TSearch* search, TSearchRec& rec) {
  if (!search) return false;
  for (;;) {
    errno = 0;
    dirent* entry = readdir(search->Dir);
    if (!entry) return false;
    if (IsDotOrDotDot(entry->d_name)) continue;
    if (entry->d_type == DT_DIR) {
      // The listing already says it is a real folder (a link would be DT_LNK), and a folder's
      // size counts as 0: one system call per folder saved.
      rec.Name = entry->d_name;
      rec.Attr = FaDirectory;
      rec.Size = 0;
      rec.Device = search->Device;
      return true;
    }
    struct stat st {};
    if (fstatat(dirfd(search->Dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) continue;  // removed since readdir saw it
      // Listed but not statable (a folder readable without search permission): keep the
      // name with what readdir knows, so the entry is not lost.
      rec.Name = entry->d_name;
      rec.Attr = entry->d_type == DT_DIR ? FaDirectory : 0;
      rec.Size = 0;
      rec.Device = search->Device;
      return true;
    }
    rec.Name = entry->d_name;
    const bool folder = S_ISDIR(st.st_mode);
    rec.Attr = folder ? FaDirectory : 0;
    rec.Size = folder ? 0 : static_cast<uint64_t>(st.st_size);
    rec.Device = static_cast<uint64_t>(st.st_dev);
    return true;
  }
}

uint64_t FindDevice(const TSearch* search) { return search ? search->Device : 0; }

void FindClose(TSearch* search) {
  if (!search) return;
  closedir(search->Dir);
  delete search;
}

}  // namespace ostrel
