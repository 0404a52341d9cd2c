// A file that takes another's place only once it is written whole: it is written under a
// temporary name in the target's folder and renamed over the target at the end, so that a
// failure part-way leaves the target as it was, and a target that is also read (ostrel-scan
// -f X -o X) is read before anything of it changes. A target that exists and is no regular
// file (/dev/null, a FIFO, a terminal) has nothing to replace: it is written in place.
#pragma once
#include <cstdio>
#include <string>

namespace ostrel {

class TReplacingFile {
 public:
  TReplacingFile() = default;
  TReplacingFile(const TReplacingFile&) = delete;
  TReplacingFile& operator=(const TReplacingFile&) = delete;
  ~TReplacingFile() { Discard(); }

  // Makes the file that is to replace `target` (links to it resolved): with the target's
  // permissions, or a new file's when there is none yet. 0 or the system's error number.
  int Open(const std::string& target);
  // Where to write; null while none is open.
  std::FILE* Stream() const { return File; }
  // The temporary file; empty when the target is written in place, or none is open.
  const std::string& TemporaryPath() const { return Temporary; }
  // Closes the file and puts it in the target's place; 0, or the system's error number and
  // the target as it was. The temporary file is gone either way.
  int Commit();
  // Closes and removes the file; the target stays as it was.
  void Discard();

 private:
  std::FILE* File = nullptr;
  std::string Target;
  std::string Temporary;
};

}  // namespace ostrel
