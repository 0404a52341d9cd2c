// A scan file as the JSON reader reads it: bytes from a file or standard input, gzip-compressed
// or plain (told apart by the data), through a buffer. Offsets count the uncompressed bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace ostrel {

class TGzInput {
 public:
  typedef char Ch;  // for the JSON reader

  TGzInput() = default;
  TGzInput(const TGzInput&) = delete;
  TGzInput& operator=(const TGzInput&) = delete;
  ~TGzInput();
  // Opens `path` ("-": standard input, left open); 0 or the system's error number.
  int Open(const std::string& path);

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
  // True once everything was read (or reading failed).
  bool AtEnd() { return Peek() == '\0' && Pos == End; }
  // Why reading failed; empty while it has not.
  const std::string& Error() const { return Failure; }

  // Never called: the reader does not parse in place.
  char* PutBegin() { return nullptr; }
  void Put(char) {}
  void Flush() {}
  size_t PutEnd(char*) { return 0; }

 private:
  void Fill();
  void* File = nullptr;  // gzFile
  std::unique_ptr<char[]> Buffer;
  size_t Pos = 0;
  size_t End = 0;
  uint64_t Before = 0;  // bytes taken before the buffer's start
  bool Ended = false;
  std::string Failure;
};

}  // namespace ostrel
