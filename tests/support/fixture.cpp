#include "tests/support/fixture.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <unordered_set>
#include <vector>

namespace ostrel::test {
namespace {

void Fail(const std::string& what) { throw std::runtime_error(what + ": " + std::to_string(errno)); }

// Removes the folder `root` and everything in it without recursion and with at most three
// descriptors open, however deep it goes (a chain far beyond PATH_MAX and any stack): the walk
// goes down one subfolder at a time and back up through "..", opening up permissions on the
// way. A folder that cannot be opened or removed is left, and the walk goes on without it.
void RemoveTree(const std::string& root) {
  chmod(root.c_str(), S_IRWXU);
  int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
  if (fd < 0) return;
  std::vector<std::string> names;                      // from the root down to fd's folder
  std::vector<std::unordered_set<std::string>> left{{}};  // per level: subfolders given up
  for (;;) {
    std::string sub;
    const int listing = openat(fd, ".", O_RDONLY | O_DIRECTORY);  // an offset of its own
    if (DIR* dir = listing >= 0 ? fdopendir(listing) : nullptr) {
      while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        if (fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISDIR(st.st_mode))
          unlinkat(fd, name.c_str(), 0);
        else if (sub.empty() && !left.back().count(name))
          sub = name;
      }
      closedir(dir);
    } else if (listing >= 0) {
      close(listing);
    }
    if (!sub.empty()) {
      fchmodat(fd, sub.c_str(), S_IRWXU, 0);
      const int next = openat(fd, sub.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
      if (next < 0) {
        left.back().insert(sub);
        continue;
      }
      close(fd);
      fd = next;
      names.push_back(sub);
      left.emplace_back();
      continue;
    }
    if (names.empty()) break;
    const int parent = openat(fd, "..", O_RDONLY | O_DIRECTORY);
    close(fd);
    if (parent < 0) return;
    fd = parent;
    left.pop_back();
    if (unlinkat(fd, names.back().c_str(), AT_REMOVEDIR) != 0) left.back().insert(names.back());
    names.pop_back();
  }
  close(fd);
  rmdir(root.c_str());
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

TempTree::~TempTree() { RemoveTree(RootPath); }

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

void SetTime(const std::string& path, int64_t seconds) {
  const timespec times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
  if (utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) Fail("utimensat " + path);
}

std::string ReadFile(const std::string& path) {
  std::string text;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  char chunk[4096];
  for (ssize_t got; fd >= 0 && (got = read(fd, chunk, sizeof chunk)) > 0;) text.append(chunk, static_cast<size_t>(got));
  if (fd >= 0) close(fd);
  return text;
}

uint64_t DiskBytes(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_blocks) * 512 : 0;
}

bool PermissionsBypassed() { return geteuid() == 0; }

std::string InChild(const std::function<std::string()>& body) {
  int fds[2];
  if (pipe(fds) != 0) return "pipe failed";
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    std::string text;
    try {
      text = body();
    } catch (const std::exception& e) {
      text = e.what();
    }
    if (!text.empty() && write(fds[1], text.data(), text.size()) < 0) _exit(3);
    _exit(text.empty() ? 0 : 1);
  }
  close(fds[1]);
  std::string text;
  char buf[512];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) text.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status)) return "child ended by signal " + std::to_string(WTERMSIG(status));
  if (WEXITSTATUS(status) != 0 && text.empty()) return "child failed without a word";
  return text;
}

std::string BecomeOrdinaryUser() {
  if (geteuid() != 0) return "";
  if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
    return "SKIP: cannot drop privileges: " + std::string(strerror(errno));
  return "";
}

}  // namespace ostrel::test
