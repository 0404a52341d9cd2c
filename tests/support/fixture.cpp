#include "tests/support/fixture.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace ostrel::test {
namespace {

void Fail(const std::string& what) { throw std::runtime_error(what + ": " + std::to_string(errno)); }

int MakeWritable(const char* path, const struct stat* st, int type, struct FTW*) {
  if (type == FTW_D || type == FTW_DNR) chmod(path, (st->st_mode & 07777) | S_IRWXU);
  return 0;
}

int RemoveOne(const char* path, const struct stat*, int, struct FTW*) {
  remove(path);
  return 0;
}

}  // namespace

TempTree::TempTree() {
  const char* base = getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/ostrel-test-XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) Fail("mkdtemp");
  RootPath = buf.data();
}

TempTree::~TempTree() {
  // Deep chains go far beyond PATH_MAX, which nftw cannot walk; unwind them from the bottom.
  nftw(RootPath.c_str(), MakeWritable, 64, FTW_PHYS);
  nftw(RootPath.c_str(), RemoveOne, 64, FTW_PHYS | FTW_DEPTH);
  if (access(RootPath.c_str(), F_OK) == 0) {
    std::string cmd = "rm -rf '" + RootPath + "'";  // RootPath comes from mkdtemp: no quotes in it
    if (system(cmd.c_str()) != 0) {
    }
  }
}

std::string TempTree::Path(const std::string& rel) const {
  return rel.empty() ? RootPath : RootPath + "/" + rel;
}

std::string TempTree::Dir(const std::string& rel) {
  std::string full = Path(rel);
  for (size_t pos = RootPath.size() + 1; pos <= full.size(); ++pos) {
    if (pos == full.size() || full[pos] == '/') {
      std::string part = full.substr(0, pos);
      if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) Fail("mkdir " + part);
    }
  }
  return full;
}

std::string TempTree::File(const std::string& rel, uint64_t size) {
  std::string full = Path(rel);
  int fd = open(full.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  auto slash = rel.rfind('/');
  if (fd < 0 && errno == ENOENT && slash != std::string::npos) {  // make the folders only when missing
    Dir(rel.substr(0, slash));
    fd = open(full.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  }
  if (fd < 0) Fail("open " + full);
  if (ftruncate(fd, static_cast<off_t>(size)) != 0) Fail("ftruncate " + full);
  close(fd);
  return full;
}

std::string TempTree::Write(const std::string& rel, const std::string& content) {
  auto slash = rel.rfind('/');
  if (slash != std::string::npos) Dir(rel.substr(0, slash));
  std::string full = Path(rel);
  int fd = open(full.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) Fail("open " + full);
  for (size_t done = 0; done < content.size();) {
    ssize_t n = write(fd, content.data() + done, content.size() - done);
    if (n <= 0) Fail("write " + full);
    done += static_cast<size_t>(n);
  }
  close(fd);
  return full;
}

std::string TempTree::Link(const std::string& rel, const std::string& target) {
  auto slash = rel.rfind('/');
  if (slash != std::string::npos) Dir(rel.substr(0, slash));
  std::string full = Path(rel);
  if (symlink(target.c_str(), full.c_str()) != 0) Fail("symlink " + full);
  return full;
}

std::string TempTree::Chain(const std::string& rel, int depth, const std::string& name) {
  // Built with relative mkdir/chdir-free openat so that the chain may exceed PATH_MAX.
  std::string start = rel.empty() ? RootPath : Dir(rel);
  int fd = open(start.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) Fail("open " + start);
  std::string full = start;
  for (int i = 0; i < depth; ++i) {
    if (mkdirat(fd, name.c_str(), 0755) != 0 && errno != EEXIST) Fail("mkdirat");
    int next = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
    close(fd);
    if (next < 0) Fail("openat");
    fd = next;
    full += "/" + name;
  }
  close(fd);
  return full;
}

bool PermissionsBypassed() { return geteuid() == 0; }

}  // namespace ostrel::test
