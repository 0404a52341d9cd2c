// A scan file as the JSON reader reads it: bytes from a file or standard input, gzip-compressed
// or plain (told apart by the data), through a buffer. Offsets count the uncompressed bytes.
//
// Nothing here blocks for good: the file is opened without waiting for a writer (a FIFO), and
// what is not a regular file is read only when the data is there, so a stop request ends the
// reading within a fraction of a second even while a pipe stays silent.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace ostrel {

class TGzInput {
 public:
  typedef char Ch;  // for the JSON reader

  TGzInput();
  TGzInput(const TGzInput&) = delete;
  TGzInput& operator=(const TGzInput&) = delete;
  ~TGzInput();
  // Opens `path` ("-": standard input, left open). With `regularOnly` anything but a regular
  // file is refused (a window must never wait on a pipe); otherwise pipes and character
  // devices are read too, folders and other kinds never. `stop`, when set from any thread,
  // ends the reading of such a file as if the data had ended (Stopped() tells). Returns what
  // was wrong, or an empty text.
  std::string Open(const std::string& path, bool regularOnly = false, const std::atomic<int>* stop = nullptr);

  char Peek() {
    if (Pos == End) Fill();
    return Pos < End ? Buffer[Pos] : '\0';
  }
  char Take() {
    const char c = Peek();
    if (Pos < End) ++Pos;
    return c;
  }
  size_t Tell() const { return static_cast<size_t>(Before + Pos); }
  // True once everything was read (or reading failed or was stopped).
  bool AtEnd() { return Peek() == '\0' && Pos == End; }
  // Why reading failed; empty while it has not.
  const std::string& Error() const { return Failure; }
  // True when the reading ended on a stop request.
  bool Stopped() const { return StoppedReading; }

  // Never called: the reader does not parse in place.
  char* PutBegin() { return nullptr; }
  void Put(char) {}
  void Flush() {}
  size_t PutEnd(char*) { return 0; }

 private:
  void Fill();
  // Up to `size` bytes of the file into `into`; 0 at its end (or on a failure or a stop).
  size_t ReadRaw(char* into, size_t size);
  // Inflates into Buffer; false at the end of the data.
  bool Inflate();
  int Fd = -1;
  bool OwnFd = false;
  bool Waits = false;  // not a regular file: wait for data with poll, never in read
  const std::atomic<int>* Stop = nullptr;
  enum class TMode { Unknown, Plain, Gzip } Mode = TMode::Unknown;
  struct TInflater;
  std::unique_ptr<TInflater> Gz;
  std::unique_ptr<char[]> Buffer;
  size_t Pos = 0;
  size_t End = 0;
  uint64_t Before = 0;  // bytes taken before the buffer's start
  bool Ended = false;
  bool StoppedReading = false;
  std::string Failure;
};

}  // namespace ostrel
