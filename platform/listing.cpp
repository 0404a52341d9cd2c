#include "platform/listing.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstring>

namespace ostrel {

namespace {

// Most folders' names fit in one chunk; a batch keeps its first chunk from read to read.
constexpr size_t ChunkBytes = 4 * 1024;

class TSystemFolder : public TOpenFolder {
 public:
  const TEntryStat& Self() const override { return FindSelf(&Search); }

  bool Read(TEntryBatch& batch, size_t max, bool examineFiles) override {
    Search.LeaveFiles = !examineFiles;
    // One buffer per thread serves every folder it reads: each read leaves it empty. What a
    // read that failed part-way (out of memory) left in it belongs to no one.
    thread_local TFindBuffer buffer;
    buffer.Pos = buffer.End = 0;
    batch.Clear();
    TSearchRec rec;
    while ((batch.Size() < max || buffer.Pos < buffer.End) && FindNextIn(&Search, buffer, rec)) {
      TListedEntry entry;
      entry.Folder = (rec.Attr & FaDirectory) != 0;
      entry.Examined = rec.Examined;
      entry.Stat = rec.Stat;
      entry.Error = rec.Error;
      batch.Add(rec.Name, entry);
    }
    return batch.Size() > 0;
  }

  int Error() const override { return FindError(&Search); }

  int Examine(const char* name, TEntryStat& stat) override { return FindExamine(&Search, name, stat); }

  std::shared_ptr<TOpenFolder> OpenChild(const char* name, int& error) override {
    return Open(&Search, name, error);
  }

  // The folder and its listing in one heap block, with the count of its holders.
  static std::shared_ptr<TOpenFolder> Open(TSearch* parent, const char* path, int& error) {
    auto folder = std::make_shared<TSystemFolder>();
    error = FindOpenIn(parent, path, folder->Search);
    if (error) return nullptr;
    return folder;
  }

 private:
  TSearch Search;
};

class TSystemListing : public TListing {
 public:
  std::shared_ptr<TOpenFolder> OpenRoot(const char* path, int& error) override {
    return TSystemFolder::Open(nullptr, path, error);
  }

  int ExamineRoot(const char* path, TEntryStat& stat) override { return FindExaminePath(path, stat); }

  // A share of the descriptor limit, leaving the rest to the program (the window's own files,
  // the output) however low the limit was set.
  size_t OpenFolderBudget() const override {
    rlimit lim{};
    rlim_t soft = 1024;
    if (getrlimit(RLIMIT_NOFILE, &lim) == 0 && lim.rlim_cur != RLIM_INFINITY) soft = lim.rlim_cur;
    const rlim_t share = soft > 40 ? (soft - 32) / 2 : 2;
    return static_cast<size_t>(std::clamp<rlim_t>(share, 2, 512));
  }
};

}  // namespace

void TEntryBatch::Clear() {
  Entries.clear();
  // The first chunk is kept for the next batch; the others were for unusually long names.
  if (Chunks.size() > 1) Chunks.resize(1);
  ChunkUsed = 0;
}

void TEntryBatch::Add(const char* name, const TListedEntry& entry) {
  const size_t bytes = std::strlen(name) + 1;
  if (Chunks.empty() || ChunkUsed + bytes > ChunkBytes) {
    // A chunk is never reallocated: names handed out stay where they are.
    Chunks.push_back(std::unique_ptr<char[]>(new char[std::max(ChunkBytes, bytes)]));  // uncleared: it is written before read
    ChunkUsed = 0;
  }
  char* stored = Chunks.back().get() + ChunkUsed;
  std::memcpy(stored, name, bytes);
  ChunkUsed += bytes;
  Entries.push_back(entry);
  Entries.back().Name = stored;
}

std::shared_ptr<TListing> SystemListing() {
  static const std::shared_ptr<TListing> listing = std::make_shared<TSystemListing>();
  return listing;
}

}  // namespace ostrel
