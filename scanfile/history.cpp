#include "scanfile/history.h"

#include <dirent.h>
#include <fcntl.h>
#include "scanfile/parsestack.h"  // before the reader
#include <rapidjson/reader.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <utility>

#include "scanfile/exportscan.h"
#include "scanfile/gzinput.h"

namespace ostrel {

namespace {

constexpr size_t HashDigits = 16;
constexpr size_t TimeDigits = 20;
const char* const Suffix = ".json.gz";
const char* const TempPrefix = ".keep-";  // mkostemp adds six characters
// A temporary file untouched this long was left by a writer that died.
constexpr time_t StaleTempSeconds = 24 * 60 * 60;
// A kept scan dated further ahead than this was dated by a clock set wrong.
constexpr int64_t AheadMicroseconds = int64_t{24} * 60 * 60 * 1000000;

int64_t Microseconds(const timespec& at) {
  return static_cast<int64_t>(at.tv_sec) * 1000000 + static_cast<int64_t>(at.tv_nsec) / 1000;
}

// FNV-1a over the key's bytes: stable across builds and systems, unlike std::hash.
std::string KeyHash(const std::string& key) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (unsigned char c : key) hash = (hash ^ c) * 0x100000001b3ull;
  char text[HashDigits + 1];
  std::snprintf(text, sizeof text, "%016" PRIx64, hash);
  return text;
}

std::string FileName(const std::string& hash, int64_t time, bool complete) {
  char text[64];
  std::snprintf(text, sizeof text, "-%020" PRId64 "-%c", time, complete ? 'c' : 'p');
  return hash + text + Suffix;
}

// Takes a name of the pattern apart; false for any other name.
bool ParseName(const std::string& name, const std::string& hash, int64_t& time, bool& complete) {
  const size_t length = HashDigits + 1 + TimeDigits + 2 + std::strlen(Suffix);
  if (name.size() != length || name.compare(0, HashDigits, hash) != 0 || name[HashDigits] != '-') return false;
  const size_t at = HashDigits + 1;
  int64_t value = 0;
  for (size_t i = at; i < at + TimeDigits; ++i) {
    if (name[i] < '0' || name[i] > '9' || value > (INT64_MAX - 9) / 10) return false;
    value = value * 10 + (name[i] - '0');
  }
  const char mark = name[at + TimeDigits + 1];
  if (name[at + TimeDigits] != '-' || (mark != 'c' && mark != 'p') || name.compare(at + TimeDigits + 2, std::string::npos, Suffix) != 0)
    return false;
  time = value;
  complete = mark == 'c';
  return true;
}

// Reads a scan file's start up to its root's name: the version, the metadata's state,
// all-drives mark and totals, the root's name. Stops there (the handler's false ends the parse).
class THeaderHandler : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, THeaderHandler> {
 public:
  bool Default() { return Fail(); }
  bool StartArray() {
    if (Stage == 0) return Next(1);
    if (Stage == 4) return Next(5);  // the root's folder
    return Fail();
  }
  bool Uint(unsigned value) {
    if (Stage == 1) return value == 1 ? Next(2) : Fail();
    if (Stage == 2) return Next(3);  // the minor version
    return Uint64(value);
  }
  bool StartObject() {
    if (Stage == 3) return Next(30);  // metadata
    if (Stage == 5) return Next(6);  // the root's description
    return Fail();
  }
  bool Key(const char* text, rapidjson::SizeType length, bool) {
    if (Stage != 30 && Stage != 6) return Fail();
    Last.assign(text, length);
    return true;
  }
  bool String(const char* text, rapidjson::SizeType length, bool) {
    if (Stage == 30) {
      if (Last == "state") State.assign(text, length);
      return true;
    }
    if (Stage == 6 && Last == "name") {
      Root.assign(text, length);
      Named = true;
      return false;  // all that is wanted
    }
    return Stage == 6;
  }
  bool Bool(bool value) {
    if (Stage == 30 && Last == "alldrives") AllDrives = value;
    return Stage == 30 || Stage == 6;
  }
  bool Int(int) { return Stage == 30 || Stage == 6; }
  bool Int64(int64_t) { return Stage == 30 || Stage == 6; }
  bool Uint64(uint64_t value) {
    if (Stage == 30 && Last == TotalApparentKey) TotalApparent = value, ++Totals;
    if (Stage == 30 && Last == TotalDiskKey) TotalDisk = value, ++Totals;
    return Stage == 30 || Stage == 6;
  }
  bool Double(double) { return Stage == 30 || Stage == 6; }
  bool EndObject(rapidjson::SizeType) { return Stage == 30 ? Next(4) : Fail(); }

  std::string State;
  std::string Root;
  bool AllDrives = false;
  uint64_t TotalApparent = 0, TotalDisk = 0;
  int Totals = 0;  // how many of the two were met
  bool Named = false;

 private:
  bool Next(int stage) {
    Stage = stage;
    return true;
  }
  bool Fail() {
    Stage = -1;
    return false;
  }
  int Stage = 0;
  std::string Last;
};

// The uncompressed bytes a kept scan's start may take up to its root's name, beyond the name
// itself: the metadata we write is a few hundred bytes. A listing runs while the user waits,
// and a file padded with gigabytes of blanks or a huge metadata text would hold it for seconds.
constexpr size_t HeaderBytes = 64 * 1024;
// A name's byte takes at most six in the file ("\u0001").
constexpr size_t EscapedByte = 6;

// `Input` as the JSON reader reads it, ending (as the data would) after `Limit` bytes.
class TBoundedInput {
 public:
  typedef char Ch;
  TBoundedInput(TGzInput& input, size_t limit) : Input(input), Limit(limit) {}
  char Peek() { return Input.Tell() < Limit ? Input.Peek() : '\0'; }
  char Take() { return Input.Tell() < Limit ? Input.Take() : '\0'; }
  size_t Tell() const { return Input.Tell(); }
  char* PutBegin() { return nullptr; }
  void Put(char) {}
  void Flush() {}
  size_t PutEnd(char*) { return 0; }

 private:
  TGzInput& Input;
  size_t Limit;
};

// True when the file `kept.Path` starts as a scan of `key`; sets `kept`'s totals when the
// metadata has them, and Complete false when it says the scan did not end complete. A start
// longer than a scan of `key` needs is no kept scan's.
bool IsScanOf(TKeptScan& kept, const std::string& key) {
  TGzInput input;
  if (!input.Open(kept.Path, true).empty()) return false;
  THeaderHandler header;
  TParseStackAllocator strings;
  rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, TParseStackAllocator> reader(&strings, 1024);
  TBoundedInput bounded(input, HeaderBytes + EscapedByte * key.size());
  reader.Parse(bounded, header);
  if (!header.Named || header.State.empty()) return false;
  if (header.State != "complete") kept.Complete = false;
  kept.HasTotals = header.Totals == 2;
  kept.TotalApparent = header.TotalApparent;
  kept.TotalDisk = header.TotalDisk;
  if (header.AllDrives) return key == AllDrivesKey;
  // A root named relative to a working folder unknown here: the hash has matched.
  if (header.Root.empty() || header.Root[0] != '/') return key != AllDrivesKey;
  return HistoryKey(header.Root) == key;
}

// zlib behind a stdio stream, for the scan writer that writes to one.
struct TGzCookie {
  gzFile File;
  const std::atomic<bool>* Stop;
};

ssize_t CookieWrite(void* cookie, const char* data, size_t size) {
  auto* gz = static_cast<TGzCookie*>(cookie);
  if (gz->Stop && gz->Stop->load(std::memory_order_relaxed)) {
    errno = ECANCELED;
    return -1;
  }
  size_t done = 0;
  while (done < size) {
    const unsigned part = static_cast<unsigned>(std::min<size_t>(size - done, 1u << 30));
    errno = 0;
    const int wrote = gzwrite(gz->File, data + done, part);
    if (wrote <= 0) {
      int code = Z_OK;
      gzerror(gz->File, &code);
      errno = code == Z_ERRNO && errno ? errno : EIO;
      return -1;
    }
    done += static_cast<size_t>(wrote);
  }
  return static_cast<ssize_t>(done);
}

// Writes the compressed scan to `fd`, which it closes; 0 or the system's error number.
int WriteCompressed(int fd, const TScanView& scan, const TEntryIds* ids, const std::atomic<bool>* stop) {
  gzFile file = gzdopen(fd, "wb");
  if (!file) {
    close(fd);
    return ENOMEM;
  }
  TGzCookie cookie{file, stop};
  cookie_io_functions_t functions{};
  functions.write = CookieWrite;
  std::FILE* out = fopencookie(&cookie, "w", functions);
  if (!out) {
    gzclose_w(file);
    return ENOMEM;
  }
  int error = WriteScanFile(scan, ids, out);
  if (std::fclose(out) != 0 && error == 0) error = errno ? errno : EIO;
  if (error == 0) {
    errno = 0;
    if (gzflush(file, Z_FINISH) != Z_OK) error = errno ? errno : EIO;
  }
  // On the disk before its name: a crash must not leave an empty file under a kept name.
  if (error == 0 && fsync(fd) != 0) error = errno;
  errno = 0;
  if (gzclose_w(file) != Z_OK && error == 0) error = errno ? errno : EIO;
  return error;
}

void RemoveStaleTemps(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  const time_t now = ::time(nullptr);
  while (const dirent* entry = readdir(dir)) {
    if (std::strncmp(entry->d_name, TempPrefix, std::strlen(TempPrefix)) != 0 ||
        std::strlen(entry->d_name) != std::strlen(TempPrefix) + 6)
      continue;
    const std::string path = folder + "/" + entry->d_name;
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && now - st.st_mtime > StaleTempSeconds) unlink(path.c_str());
  }
  closedir(dir);
}

std::string Failed(const char* what, int error) { return std::string(what) + ": " + std::strerror(error); }

}  // namespace

std::string HistoryKey(const std::string& path) {
  if (path.empty()) return AllDrivesKey;
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(path), error);
  if (error) absolute = std::filesystem::path(path);
  std::string key = absolute.lexically_normal().native();
  while (key.size() > 1 && key.back() == '/') key.pop_back();
  return key;
}

std::vector<TKeptScan> ListKeptScans(const std::string& folder, const std::string& key) {
  std::vector<TKeptScan> kept;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return kept;
  const std::string hash = KeyHash(key);
  while (const dirent* entry = readdir(dir)) {
    TKeptScan scan;
    if (!ParseName(entry->d_name, hash, scan.Time, scan.Complete)) continue;
    scan.Path = folder + "/" + entry->d_name;
    struct stat st {};
    if (stat(scan.Path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    scan.Bytes = static_cast<uint64_t>(st.st_size);
    scan.Changed = Microseconds(st.st_ctim);
    if (!IsScanOf(scan, key)) continue;
    kept.push_back(std::move(scan));
  }
  closedir(dir);
  timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  OrderKeptScans(kept, Microseconds(now));
  return kept;
}

void OrderKeptScans(std::vector<TKeptScan>& kept, int64_t now) {
  const int64_t latest = now > INT64_MAX - AheadMicroseconds ? INT64_MAX : now + AheadMicroseconds;
  std::sort(kept.begin(), kept.end(), [latest](const TKeptScan& a, const TKeptScan& b) {
    const bool aheadA = a.Time > latest, aheadB = b.Time > latest;
    if (aheadA != aheadB) return aheadB;
    if (a.Time != b.Time) return a.Time > b.Time;
    if (a.Changed != b.Changed) return a.Changed > b.Changed;
    return a.Path < b.Path;  // one order, however the folder lists them
  });
}

std::string KeepScan(const std::string& folder, const std::string& key, int64_t time, const TScanView& scan,
                     const TEntryIds* ids, const std::atomic<bool>* stop, int keep) {
  std::error_code made;
  std::filesystem::create_directories(std::filesystem::path(folder), made);
  if (made) return "cannot make " + folder + ": " + made.message();
  std::string temp = folder + "/" + TempPrefix + "XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return Failed("cannot write in the folder", errno);
  if (const int error = WriteCompressed(fd, scan, ids, stop)) {
    unlink(temp.c_str());
    return Failed("cannot write the scan", error);
  }
  const bool complete = scan.Ending == TScanEnd::Complete && scan.Problems->empty();
  const std::string hash = KeyHash(key);
  const int64_t now = time;
  std::string path;
  struct stat st {};
  // One writer a window: a name taken means a scan kept in the same microsecond.
  do path = folder + "/" + FileName(hash, time++, complete);
  while (lstat(path.c_str(), &st) == 0);
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    const int error = errno;
    unlink(temp.c_str());
    return Failed("cannot name the scan", error);
  }
  // The scan just written always stays: scans dated ahead by a wrong clock, or by one set
  // back since, must not make it vanish as soon as it was kept. The oldest stays too: a few
  // quick rescans while cleaning up must not drop the scan from before it began.
  std::vector<TKeptScan> kept = ListKeptScans(folder, key);
  OrderKeptScans(kept, now);
  std::vector<bool> stays(kept.size(), false);
  size_t places = static_cast<size_t>(std::max(keep, 1));
  const auto stay = [&](size_t i) {
    if (places == 0 || stays[i]) return;
    stays[i] = true;
    --places;
  };
  for (size_t i = 0; i < kept.size(); ++i)
    if (kept[i].Path == path) stay(i);
  if (keep >= 2 && !kept.empty()) stay(kept.size() - 1);
  for (size_t i = 0; i < kept.size(); ++i) stay(i);
  for (size_t i = 0; i < kept.size(); ++i)
    if (!stays[i]) unlink(kept[i].Path.c_str());
  RemoveStaleTemps(folder);
  return {};
}

TScanKeeper::~TScanKeeper() {
  {
    std::lock_guard<std::mutex> guard(Lock);
    Stop.store(true);
  }
  Wake.notify_all();
  if (Thread.joinable()) Thread.join();
}

void TScanKeeper::Keep(const std::string& folder, const std::string& key, int64_t time, const TScanView& scan,
                       const TEntryIds* ids) {
  {
    std::lock_guard<std::mutex> guard(Lock);
    Jobs.push_back(TJob{folder, key, time, scan, ids});
    if (!Thread.joinable()) Thread = std::thread(&TScanKeeper::Run, this);
  }
  Wake.notify_all();
}

int TScanKeeper::Pending() const {
  std::lock_guard<std::mutex> guard(Lock);
  return static_cast<int>(Jobs.size());
}

void TScanKeeper::WaitFor(const DirNode* root) {
  std::unique_lock<std::mutex> lock(Lock);
  Kept.wait(lock, [&] {
    return std::none_of(Jobs.begin(), Jobs.end(), [&](const TJob& job) { return job.Scan.Root == root; });
  });
}

std::string TScanKeeper::LastError() const {
  std::lock_guard<std::mutex> guard(Lock);
  return Failure;
}

void TScanKeeper::Run() {
  std::unique_lock<std::mutex> lock(Lock);
  for (;;) {
    Wake.wait(lock, [this] { return Stop.load() || !Jobs.empty(); });
    if (Stop.load()) return;
    const TJob job = Jobs.front();
    lock.unlock();
    std::string error = KeepScan(job.Folder, job.Key, job.Time, job.Scan, job.Ids, &Stop);
    lock.lock();
    if (!error.empty()) Failure = std::move(error);
    Jobs.pop_front();
    Kept.notify_all();
  }
}

}  // namespace ostrel
