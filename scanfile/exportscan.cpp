#include "scanfile/exportscan.h"

#include "scanfile/parsestack.h"  // before the writer
#include <rapidjson/writer.h>

#include <cerrno>
#include <ctime>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace ostrel {

namespace {

// The writer's output: a buffer over a stream that keeps the first failure.
class TFileOutput {
 public:
  typedef char Ch;
  explicit TFileOutput(std::FILE* stream) : Stream(stream), Buffer(new char[Bytes]) {}
  void Put(char c) {
    if (Used == Bytes) Flush();
    Buffer[Used++] = c;
  }
  void Flush() {
    if (Used && !Error && std::fwrite(Buffer.get(), 1, Used, Stream) != Used) Error = errno ? errno : EIO;
    Used = 0;
  }
  int Finish() {
    Flush();
    if (!Error && std::fflush(Stream) != 0) Error = errno ? errno : EIO;
    return Error;
  }
  int Error = 0;

 private:
  static constexpr size_t Bytes = 256 * 1024;
  std::FILE* Stream;
  std::unique_ptr<char[]> Buffer;
  size_t Used = 0;
};

struct TIdHash {
  size_t operator()(const std::pair<uint64_t, uint64_t>& id) const {
    return std::hash<uint64_t>()(id.first * 0x9E3779B97F4A7C15ull ^ id.second);
  }
};

class TExporter {
 public:
  TExporter(const TScanView& scan, const TEntryIds* ids, std::FILE* out) : Scan(scan), Ids(ids), Out(out), Json(Out) {
    for (const TScanProblem& problem : *scan.Problems) Unread.emplace(problem.Node, problem.Error);
  }
  int Run();

 private:
  struct TOpen {
    const DirNode* Next;  // the next child to write
    TEntryId Id;
    bool HasId;
  };
  void Describe(const DirNode& node, const TEntryId* id, bool folder);
  void Size(const char* key, uint64_t value) {
    Json.Key(key);
    Json.Uint64(value);
  }
  void Folder(const DirNode& node, const TOpen* parent);

  const TScanView& Scan;
  const TEntryIds* Ids;
  TFileOutput Out;
  rapidjson::Writer<TFileOutput, rapidjson::UTF8<>, rapidjson::UTF8<>, TParseStackAllocator> Json;
  std::unordered_map<const DirNode*, int> Unread;
  // The sizes of each file with several names, from its first name.
  std::unordered_map<std::pair<uint64_t, uint64_t>, std::pair<uint64_t, uint64_t>, TIdHash> Linked;
  std::vector<TOpen> Open;
};

void TExporter::Describe(const DirNode& node, const TEntryId* id, bool folder) {
  Json.StartObject();
  Json.Key("name");
  const std::string_view name = node.Name ? node.Name : "";
  Json.String(name.data(), static_cast<rapidjson::SizeType>(name.size()));
  uint64_t apparent = folder ? 0 : node.ApparentSize;
  uint64_t disk = node.OwnSize;
  if (id && !folder) {
    // Every name carries the file's sizes; the first name met holds them in the tree.
    const auto [it, first] = Linked.try_emplace({id->Device, id->Inode}, apparent, disk);
    if (!first) std::tie(apparent, disk) = it->second;
  }
  Size("asize", apparent);
  Size("dsize", disk);
  // A folder's is the newest at or below it, not its own: its own is not kept. A reader that
  // takes it for the folder's own still finds the newest where it was.
  if (node.MTime) {
    Json.Key("mtime");
    Json.Uint(node.MTime);
  }
  if (id) {
    Json.Key("dev");
    Json.Uint64(id->Device);
    Json.Key("ino");
    Json.Uint64(id->Inode);
    if (!folder) {
      Json.Key("hlnkc");
      Json.Bool(true);
      Json.Key("nlink");
      Json.Uint64(id->Links);
    }
  }
  const auto unread = Unread.find(&node);
  if (unread != Unread.end()) {
    Json.Key("read_error");
    Json.Bool(true);
    if (unread->second > 0) {
      Json.Key("errno");
      Json.Uint(static_cast<unsigned>(unread->second));
    }
  }
  Json.EndObject();
}

void TExporter::Folder(const DirNode& node, const TOpen* parent) {
  TOpen open{node.FirstChild, {}, false};
  // The All Drives root is no folder on a disk: it has no numbers.
  if (Ids && !(Scan.AllDrives && &node == Scan.Root))
    open.HasId = Ids->Find(node, parent && parent->HasId ? &parent->Id : nullptr, open.Id);
  Json.StartArray();
  Describe(node, open.HasId ? &open.Id : nullptr, true);
  Open.push_back(open);
}

int TExporter::Run() {
  Json.StartArray();
  Json.Uint(1);
  Json.Uint(2);
  Json.StartObject();
  Json.Key("progname");
  Json.String("ostrel-scan");
  Json.Key("progver");
  Json.String(OSTREL_VERSION);
  Json.Key("timestamp");
  Json.Int64(static_cast<int64_t>(std::time(nullptr)));
  Json.Key("state");
  Json.String(Scan.Ending == TScanEnd::Complete  ? "complete"
              : Scan.Ending == TScanEnd::Stopped ? "stopped"
                                                 : "out of memory");
  if (Scan.AllDrives) {
    Json.Key("alldrives");
    Json.Bool(true);
  }
  if (Scan.Root) {
    // The root's totals up front, so that a listing of kept scans need not read the tree.
    Size(TotalApparentKey, SizeOf(*Scan.Root, TMeasure::Apparent));
    Size(TotalDiskKey, SizeOf(*Scan.Root, TMeasure::DiskUsage));
  }
  Json.EndObject();
  if (Scan.Root) {
    Folder(*Scan.Root, nullptr);
    // Without recursion: a chain of any depth costs a vector entry per level.
    while (!Open.empty() && !Out.Error) {
      const DirNode* child = Open.back().Next;
      if (!child) {
        Json.EndArray();
        Open.pop_back();
        continue;
      }
      Open.back().Next = child->NextSibling;
      if (child->Kind == NodeFolder) {
        const TOpen parent = Open.back();
        Folder(*child, &parent);
        continue;
      }
      TEntryId id;
      const bool linked = Ids && Ids->Find(*child, Open.back().HasId ? &Open.back().Id : nullptr, id) && id.Links > 1;
      Describe(*child, linked ? &id : nullptr, false);
    }
  } else {
    // A scan stopped before its root: an empty root, so that the file is still whole.
    Json.StartArray();
    Json.StartObject();
    Json.Key("name");
    Json.String("");
    Json.EndObject();
    Json.EndArray();
  }
  if (!Out.Error) Json.EndArray();
  Out.Put('\n');
  return Out.Finish();
}

}  // namespace

int WriteScanFile(const TScanView& scan, const TEntryIds* ids, std::FILE* out) {
  return TExporter(scan, ids, out).Run();
}

}  // namespace ostrel
