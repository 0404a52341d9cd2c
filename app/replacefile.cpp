#include "app/replacefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/files.h"

namespace ostrel {

int TReplacingFile::Open(const std::string& target) {
  Discard();
  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) return errno;
  struct stat link {};
  // A device or a FIFO, or a link to a file not there yet: nothing to take the place of.
  if (exists ? !S_ISREG(st.st_mode) : lstat(target.c_str(), &link) == 0) {
    File = std::fopen(target.c_str(), "we");
    return File ? 0 : errno;
  }
  // The file a link leads to is replaced, not the link.
  Target = exists ? ResolvedPath(target) : target;
  if (Target.empty()) Target = target;
  const size_t slash = Target.rfind('/');
  std::string temp = (slash == std::string::npos ? std::string() : Target.substr(0, slash + 1)) + ".ostrel-scan-XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return errno;
  mode_t mode = st.st_mode & 0777;
  if (!exists) {
    // Read by setting it: no other thread makes files meanwhile.
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  if (fchmod(fd, mode) != 0 || !(File = fdopen(fd, "w"))) {
    const int error = errno;
    close(fd);
    unlink(temp.c_str());
    return error;
  }
  Temporary = std::move(temp);
  return 0;
}

int TReplacingFile::Commit() {
  if (!File) return EBADF;
  std::FILE* file = std::exchange(File, nullptr);
  int error = 0;
  errno = 0;
  if (std::fflush(file) != 0 || std::ferror(file)) error = errno ? errno : EIO;
  // On the disk before it has the target's name: a crash must not leave the target empty.
  if (!error && !Temporary.empty() && fsync(fileno(file)) != 0) error = errno;
  errno = 0;
  if (std::fclose(file) != 0 && !error) error = errno ? errno : EIO;
  if (Temporary.empty()) return error;
  if (!error && std::rename(Temporary.c_str(), Target.c_str()) != 0) error = errno;
  if (error) unlink(Temporary.c_str());
  Temporary.clear();
  return error;
}

void TReplacingFile::Discard() {
  if (File) std::fclose(std::exchange(File, nullptr));
  if (!Temporary.empty()) unlink(Temporary.c_str());
  Temporary.clear();
}

}  // namespace ostrel
