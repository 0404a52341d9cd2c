// ostrel-test-chain DIR DEPTH BYTES: makes a chain of DEPTH nested folders "d" inside DIR and,
// at its foot, a file "bottom" of BYTES written bytes. Each folder is made relative to the one
// above, so the chain may be far longer than a path may be; a shell would take minutes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int Fail(const char* what) {
  std::fprintf(stderr, "ostrel-test-chain: %s: %s\n", what, std::strerror(errno));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: ostrel-test-chain DIR DEPTH BYTES\n", stderr);
    return 2;
  }
  const long depth = std::strtol(argv[2], nullptr, 10);
  const long bytes = std::strtol(argv[3], nullptr, 10);
  int dir = open(argv[1], O_RDONLY | O_DIRECTORY);
  if (dir < 0) return Fail(argv[1]);
  for (long i = 0; i < depth; ++i) {
    if (mkdirat(dir, "d", 0755) != 0 && errno != EEXIST) return Fail("mkdirat");
    const int next = openat(dir, "d", O_RDONLY | O_DIRECTORY);
    if (next < 0) return Fail("openat");
    close(dir);
    dir = next;
  }
  const int file = openat(dir, "bottom", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (file < 0) return Fail("bottom");
  const std::string block(4096, 'x');
  for (long left = bytes; left > 0;) {
    const ssize_t n = write(file, block.data(), static_cast<size_t>(std::min<long>(left, 4096)));
    if (n <= 0) return Fail("write");
    left -= n;
  }
  if (close(file) != 0) return Fail("close");
  close(dir);
  return 0;
}
