#include "scanfile/gzinput.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace ostrel {

namespace {
// Large enough that reading costs few calls, small enough that reading a scan back takes no
// more memory than making it.
constexpr size_t BufferBytes = 64 * 1024;
// How often a wait for a silent pipe looks at the stop request.
constexpr int PollMilliseconds = 100;

bool IsGzipStart(const unsigned char* p) { return p[0] == 0x1f && p[1] == 0x8b; }
}  // namespace

struct TGzInput::TInflater {
  z_stream Stream{};
  bool Started = false;  // inflateInit2 succeeded
  bool InMember = false;  // inside a gzip member, its end not yet seen
  std::unique_ptr<unsigned char[]> In{new unsigned char[BufferBytes]};
  ~TInflater() {
    if (Started) inflateEnd(&Stream);
  }
};

TGzInput::TGzInput() = default;

TGzInput::~TGzInput() {
  if (OwnFd && Fd >= 0) close(Fd);
}

std::string TGzInput::Open(const std::string& path, bool regularOnly, const std::atomic<int>* stop) {
  Stop = stop;
  const bool standardInput = path == "-";
  // Without O_NONBLOCK, opening a FIFO waits for a writer where no stop reaches it.
  Fd = standardInput ? dup(STDIN_FILENO) : open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (Fd < 0) return std::string("cannot open: ") + std::strerror(errno);
  OwnFd = true;
  struct stat st {};
  if (fstat(Fd, &st) != 0) return std::string("cannot open: ") + std::strerror(errno);
  if (S_ISDIR(st.st_mode)) return "it is a folder, not a scan file";
  if (!S_ISREG(st.st_mode) && (regularOnly || !(S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))))
    return "not a regular file";
  Waits = !S_ISREG(st.st_mode);
  // Reads wait in poll, where a stop is seen, and then find data; standard input's flags are
  // shared with whoever started us and are left as they are.
  if (!standardInput) {
    const int flags = fcntl(Fd, F_GETFL);
    if (flags >= 0) fcntl(Fd, F_SETFL, flags & ~O_NONBLOCK);
  }
  Buffer.reset(new char[BufferBytes]);  // uncleared: every byte read is written first
  return {};
}

size_t TGzInput::ReadRaw(char* into, size_t size) {
  for (;;) {
    // A regular file's reads never wait long: its reader looks at the stop as it goes.
    if (Waits) {
      if (Stop && Stop->load(std::memory_order_relaxed)) {
        StoppedReading = true;
        return 0;
      }
      pollfd wanted{Fd, POLLIN, 0};
      const int ready = poll(&wanted, 1, PollMilliseconds);
      if (ready == 0 || (ready < 0 && errno == EINTR)) continue;
      if (ready < 0) {
        Failure = std::strerror(errno);
        return 0;
      }
    }
    const ssize_t got = read(Fd, into, size);
    if (got >= 0) return static_cast<size_t>(got);
    if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
    Failure = std::strerror(errno);
    return 0;
  }
}

bool TGzInput::Inflate() {
  z_stream& z = Gz->Stream;
  z.next_out = reinterpret_cast<Bytef*>(Buffer.get());
  z.avail_out = static_cast<uInt>(BufferBytes);
  while (z.avail_out == BufferBytes) {
    if (z.avail_in == 0) {
      const size_t got = ReadRaw(reinterpret_cast<char*>(Gz->In.get()), BufferBytes);
      if (got == 0) {
        // A member cut short: what it held is suspect, whatever the JSON makes of it.
        if (Gz->InMember && Failure.empty() && !StoppedReading)
          Failure = "the file ends before the scan does (cut short?)";
        return false;
      }
      z.next_in = Gz->In.get();
      z.avail_in = static_cast<uInt>(got);
    }
    if (!Gz->InMember) {
      // After a member another may follow, as gzip writes them; anything else is passed over.
      if (z.avail_in < 2) {
        Gz->In[0] = *z.next_in;
        z.next_in = Gz->In.get();
        if (ReadRaw(reinterpret_cast<char*>(Gz->In.get()) + 1, 1) != 1) return false;
        z.avail_in = 2;
      }
      if (!IsGzipStart(z.next_in)) return false;
      inflateReset(&z);
      Gz->InMember = true;
    }
    const int code = inflate(&z, Z_NO_FLUSH);
    if (code == Z_STREAM_END) {
      Gz->InMember = false;
    } else if (code == Z_MEM_ERROR) {
      throw std::bad_alloc();
    } else if (code != Z_OK && code != Z_BUF_ERROR) {
      Failure = std::string("the compressed data is damaged (") + (z.msg ? z.msg : "invalid data") + ")";
      return false;
    }
  }
  End = BufferBytes - z.avail_out;
  return true;
}

void TGzInput::Fill() {
  if (Ended || Fd < 0) return;
  Before += End;
  Pos = End = 0;
  if (Mode == TMode::Unknown) {
    // The first two bytes tell gzip from plain text; they are read as plain and handed on.
    size_t got = 0;
    while (got < 2) {
      const size_t part = ReadRaw(Buffer.get() + got, BufferBytes - got);
      if (part == 0) break;
      got += part;
    }
    if (got >= 2 && IsGzipStart(reinterpret_cast<unsigned char*>(Buffer.get()))) {
      Mode = TMode::Gzip;
      Gz = std::make_unique<TInflater>();
      if (inflateInit2(&Gz->Stream, 15 + 16) != Z_OK) throw std::bad_alloc();
      Gz->Started = true;
      std::memcpy(Gz->In.get(), Buffer.get(), got);
      Gz->Stream.next_in = Gz->In.get();
      Gz->Stream.avail_in = static_cast<uInt>(got);
      Gz->InMember = true;
    } else {
      Mode = TMode::Plain;
      End = got;
      if (got == 0) Ended = true;
      return;
    }
  }
  if (Mode == TMode::Plain) {
    End = ReadRaw(Buffer.get(), BufferBytes);
    if (End == 0) Ended = true;
    return;
  }
  if (!Inflate()) {
    End = 0;
    Ended = true;
  }
}

}  // namespace ostrel
