#include "scanfile/gzinput.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace ostrel {

namespace {
// Large enough that reading costs few calls, small enough that reading a scan back takes no
// more memory than making it (zlib keeps about three times this besides).
constexpr size_t BufferBytes = 64 * 1024;
}

TGzInput::~TGzInput() {
  if (File) gzclose_r(static_cast<gzFile>(File));
}

int TGzInput::Open(const std::string& path) {
  int fd = path == "-" ? dup(STDIN_FILENO) : open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  gzFile file = gzdopen(fd, "rb");
  if (!file) {
    const int error = errno ? errno : ENOMEM;
    close(fd);
    return error;
  }
  gzbuffer(file, BufferBytes);
  File = file;
  Buffer.reset(new char[BufferBytes]);  // uncleared: every byte read is written first
  return 0;
}

void TGzInput::Fill() {
  if (Ended || !File) return;
  Before += End;
  Pos = End = 0;
  errno = 0;
  const int got = gzread(static_cast<gzFile>(File), Buffer.get(), static_cast<unsigned>(BufferBytes));
  if (got > 0) {
    End = static_cast<size_t>(got);
    return;
  }
  Ended = true;
  int code = Z_OK;
  const char* message = gzerror(static_cast<gzFile>(File), &code);
  if (got < 0 || code != Z_OK) {
    // A gzip stream cut short reads as its end unless zlib says otherwise.
    Failure = code == Z_ERRNO ? std::strerror(errno ? errno : EIO) : std::string("gzip data: ") + message;
  }
}

}  // namespace ostrel
