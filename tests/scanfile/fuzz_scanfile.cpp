// libFuzzer's entry over the scan-file reader. Each input is read as a scan file through the
// path the tool reads (an in-memory file named by /proc/self/fd), and, unless it is gzip data
// already, once more gzip-compressed: both must give the same verdict, word for word, since
// offsets count the uncompressed bytes. A tree that is read must hold together, and, written
// as a scan file again, read back to the same counts and totals.
#include <sys/mman.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "scanfile/exportscan.h"
#include "scanfile/importscan.h"

using namespace ostrel;

namespace {

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz_scanfile: %s\n", what);
  std::abort();
}

// An in-memory file, rewritten for each input.
const std::string& FilePath(int& fd) {
  static int file = memfd_create("scanfile", MFD_CLOEXEC);
  static const std::string path = "/proc/self/fd/" + std::to_string(file);
  Check(file >= 0, "no in-memory file");
  fd = file;
  return path;
}

void Put(const uint8_t* data, size_t size) {
  int fd = -1;
  FilePath(fd);
  Check(ftruncate(fd, 0) == 0, "ftruncate");
  for (size_t done = 0; done < size;) {
    const ssize_t put = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    Check(put > 0, "pwrite");
    done += static_cast<size_t>(put);
  }
}

std::vector<uint8_t> Gzipped(const uint8_t* data, size_t size) {
  z_stream z{};
  Check(deflateInit2(&z, 1, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) == Z_OK, "deflateInit2");
  std::vector<uint8_t> out(deflateBound(&z, size));
  z.next_in = const_cast<uint8_t*>(data);
  z.avail_in = static_cast<uInt>(size);
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  Check(deflate(&z, Z_FINISH) == Z_STREAM_END, "deflate");
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// Writes `scan` to a second in-memory file and reads it back: the same counts and totals.
void SavedReadsBack(const TImportedScan& scan) {
  static int file = memfd_create("saved", MFD_CLOEXEC);
  Check(file >= 0 && ftruncate(file, 0) == 0 && lseek(file, 0, SEEK_SET) == 0, "the second in-memory file");
  std::FILE* out = fdopen(dup(file), "w");
  Check(out != nullptr, "fdopen");
  Check(WriteScanFile(scan.View(), &scan, out) == 0, "writing the scan");
  Check(std::fclose(out) == 0, "closing the written scan");
  TImportedScan again;
  const std::string error =
      ReadScanFile("/proc/self/fd/" + std::to_string(file), again);
  Check(error.empty(), "a written scan is refused");
  Check(again.Result.Root && again.Result.Folders == scan.Result.Folders &&
            again.Result.Files == scan.Result.Files,
        "a written scan's counts");
  Check(again.Result.Root->TotalSize == scan.Result.Root->TotalSize &&
            again.Result.Root->ApparentSize == scan.Result.Root->ApparentSize &&
            again.Result.Root->MTime == scan.Result.Root->MTime,
        "a written scan's totals and newest time");
  Check(again.Result.Problems.size() == scan.Result.Problems.size() &&
            again.Result.Repeats.size() == scan.Result.Repeats.size(),
        "a written scan's problems and repeated folders");
}

// The verdict and the shape of what was read, checked as it is gathered.
std::string Read(const uint8_t* data, size_t size) {
  Put(data, size);
  int fd = -1;
  TImportedScan scan;
  scan.MemoryLimit = size_t{256} << 20;
  const std::string error = ReadScanFile(FilePath(fd), scan);
  if (!error.empty()) {
    Check(error.compare(0, 5, "byte ") == 0, "a refusal without its offset");
    Check(!scan.Result.Root && scan.Result.Folders == 0 && scan.Result.Files == 0, "a refused file left a tree");
    return error;
  }
  int32_t folders = 0, files = 0;
  std::vector<const DirNode*> todo;
  if (scan.Result.Root) todo.push_back(scan.Result.Root);
  while (!todo.empty()) {
    const DirNode* node = todo.back();
    todo.pop_back();
    Check(node->Name && *node->Name, "a node without a name");
    (node->Kind == NodeFolder ? folders : files) += 1;
    TEntryId id;
    scan.Find(*node, nullptr, id);
    for (const DirNode* child = node->FirstChild; child; child = child->NextSibling) {
      Check(child->Depth == node->Depth + 1, "a child's depth");
      todo.push_back(child);
    }
  }
  if (scan.Result.Ending != TScanEnd::OutOfMemory) {
    Check(folders == scan.Result.Folders, "folders counted");
    Check(files == scan.Result.Files, "files counted");
  }
  if (scan.Result.Root && scan.Result.Ending == TScanEnd::Complete) SavedReadsBack(scan);
  return "read: " + std::to_string(folders) + " " + std::to_string(files);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string plain = Read(data, size);
  if (size >= 2 && data[0] == 0x1f && data[1] == 0x8b) return 0;
  const std::vector<uint8_t> packed = Gzipped(data, size);
  Check(Read(packed.data(), packed.size()) == plain, "gzip data read otherwise than plain");
  return 0;
}
