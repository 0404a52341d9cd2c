#include "platform/dirlist.h"

#include <dirent.h>
#include <sys/syscall.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

namespace ostrel {

TSearch::~TSearch() {
  if (Fd >= 0) close(Fd);
}

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
  out.MTime = static_cast<int64_t>(st.st_mtime);
}

TSearch* Fail(int code, int* error) {
  if (error) *error = code;
  return nullptr;
}

// The record getdents64 fills the buffer with.
struct TDirent64 {
  uint64_t Inode;
  int64_t Next;
  uint16_t Length;
  uint8_t Type;
  char Name[1];
};

}  // namespace

int FindOpenIn(TSearch* parent, const char* path, TSearch& search) {
  if (!path || !*path) return ENOENT;
  int fd;
  if (parent) {
    // One entry name only: a "/" would let openat follow links in the leading components.
    if (std::strchr(path, '/')) return EINVAL;
    fd = openat(parent->Fd, path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  } else {
    fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  }
  if (fd < 0) return errno;
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    const int code = errno;
    close(fd);
    return code;
  }
  search.Fd = fd;
  FillStat(st, search.Self);
  return 0;
}

TSearch* FindOpen(TSearch* parent, const char* path, int* error) {
  auto* search = new (std::nothrow) TSearch;
  if (!search) return Fail(ENOMEM, error);
  if (const int code = FindOpenIn(parent, path, *search)) {
    delete search;
    return Fail(code, error);
  }
  return search;
}

bool FindNextIn(TSearch* search, TFindBuffer& buffer, TSearchRec& rec) {
  if (!search) return false;
  for (;;) {
    if (buffer.Pos >= buffer.End) {
      if (search->Error || search->Ended) return false;
      const long got = syscall(SYS_getdents64, search->Fd, buffer.Data, sizeof buffer.Data);
      if (got <= 0) {
        if (got < 0) search->Error = errno;
        search->Ended = got == 0;
        return false;
      }
      buffer.Pos = 0;
      buffer.End = static_cast<size_t>(got);
    }
    auto* entry = reinterpret_cast<TDirent64*>(buffer.Data + buffer.Pos);
    buffer.Pos += entry->Length;
    if (IsDotOrDotDot(entry->Name)) continue;
    rec.Name = entry->Name;
    rec.Error = 0;
    rec.Device = search->Self.Device;
    if (entry->Type == DT_DIR) {
      // The listing already says it is a real folder (a link would be DT_LNK); its details
      // come when it is opened.
      rec.Attr = FaDirectory;
      rec.Size = 0;
      rec.Stat = TEntryStat{};
      rec.Stat.Folder = true;
      rec.Examined = false;
      return true;
    }
    if (search->LeaveFiles && entry->Type != DT_UNKNOWN) {
      rec.Attr = 0;
      rec.Size = 0;
      rec.Stat = TEntryStat{};
      rec.Examined = false;
      return true;
    }
    struct stat st {};
    if (fstatat(search->Fd, entry->Name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) continue;  // removed since the listing saw it
      // Listed but not examinable: keep the name with what the listing knows and say why.
      rec.Error = errno;
      rec.Attr = 0;
      rec.Size = 0;
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

bool FindNext(TSearch* search, TSearchRec& rec) {
  if (!search) return false;
  if (!search->Own) search->Own = std::make_unique<TFindBuffer>();
  return FindNextIn(search, *search->Own, rec);
}

int FindError(const TSearch* search) { return search ? search->Error : 0; }

const TEntryStat& FindSelf(const TSearch* search) { return search->Self; }

int FindExamine(TSearch* search, const char* name, TEntryStat& stat) {
  if (!search || !name || !*name || std::strchr(name, '/')) return EINVAL;
  struct stat st {};
  if (fstatat(search->Fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
  FillStat(st, stat);
  return 0;
}

int FindExaminePath(const char* path, TEntryStat& stat) {
  if (!path || !*path) return ENOENT;
  struct stat st {};
  if (::stat(path, &st) != 0) return errno;
  FillStat(st, stat);
  return 0;
}

void FindClose(TSearch* search) { delete search; }

}  // namespace ostrel
