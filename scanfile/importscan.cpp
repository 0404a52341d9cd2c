#include "scanfile/importscan.h"

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <new>
#include <string_view>

#include "scan/treebuilder.h"
#include "scanfile/gzinput.h"
#include "scanfile/parsestack.h"

namespace ostrel {

bool TImportedScan::Find(const DirNode& node, const TEntryId*, TEntryId& id) const {
  const auto it = std::lower_bound(Ids.begin(), Ids.end(), &node,
                                   [](const TIdRecord& r, const DirNode* n) { return std::less<>()(r.Node, n); });
  if (it == Ids.end() || it->Node != &node) return false;
  id = TEntryId{IdDevices[it->Device], it->Inode, it->Links};
  return true;
}

void TImportedScan::AddId(const DirNode* node, uint64_t device, uint64_t inode, uint64_t links) {
  uint32_t index = 0;
  while (index < IdDevices.size() && IdDevices[index] != device) ++index;
  if (index == IdDevices.size()) IdDevices.push_back(device);
  Ids.push_back(TIdRecord{node, inode, index, static_cast<uint32_t>(std::min<uint64_t>(links, UINT32_MAX))});
}

void TImportedScan::SortIds() {
  std::sort(Ids.begin(), Ids.end(), [](const TIdRecord& a, const TIdRecord& b) { return std::less<>()(a.Node, b.Node); });
}

const char* const NotAScanFile = "this is not a scan file: it does not start as one";

// The reader's events, checked against the format as they come: a top-level array of major
// version 1, a minor version, a metadata object and the root folder. A folder is an array
// whose first element describes it; its other elements are its subfolders (arrays) and its
// files (objects). Nodes join the tree as their descriptions end, so nothing is kept twice.
class TScanFileHandler {
 public:
  TScanFileHandler(TImportedScan& scan, TGzInput& input, TParseStackAllocator& strings, const std::atomic<int>* stop)
      : Scan(scan), Input(input), Strings(strings), StopFlag(stop), Builder(scan.Result, scan.FolderCount, FileCount),
        Part(Builder.AddPart()) {
    Scan.Arena.Limit = Scan.MemoryLimit;
    // Strings other than names (keys, values passed over) may be as long as the longest name.
    Strings.StringLimit = MaxTopNameBytes;
  }

  std::string Failure;     // what was wrong, when a handler call returned false
  size_t FailureAt = 0;
  bool Stopped = false;    // false returned because of a stop request
  bool Finished() const { return Phase == TPhase::Done; }
  // What was wrong when the string being read passed its limit.
  std::string LongString() const;
  bool Began() const { return Phase != TPhase::Start; }  // the top-level array has begun
  // The tree read, put in the tree's order and settled; none when the file was not whole.
  void Settle(TScanEnd ending) { Builder.Settle(Root, false, ending); }

  bool Null() { return Scalar(TValue::Other); }
  bool Bool(bool b) {
    Flag = b;
    return Scalar(TValue::Bool);
  }
  bool Int(int) { return Scalar(TValue::Negative); }  // only negative numbers come here
  bool Int64(int64_t) { return Scalar(TValue::Negative); }
  bool Uint(unsigned u) { return Uint64(u); }
  bool Uint64(uint64_t u) {
    Number = u;
    return Scalar(TValue::Number);
  }
  bool Double(double d) {
    Real = d;
    return Scalar(TValue::Fraction);
  }
  bool RawNumber(const char*, rapidjson::SizeType, bool) { return Scalar(TValue::Other); }
  bool String(const char* text, rapidjson::SizeType length, bool) {
    Strings.StringLimit = MaxTopNameBytes;
    Text = std::string_view(text, length);
    return Scalar(TValue::String);
  }
  bool Key(const char* text, rapidjson::SizeType length, bool) {
    if (Skip) return true;
    Field = FieldOf(std::string_view(text, length));
    // A name is refused as soon as it passes what a file system allows.
    if (Phase == TPhase::Info && Field == TField::Name) Strings.StringLimit = TopLevel() ? MaxTopNameBytes : MaxNameBytes;
    return true;
  }
  bool StartObject();
  bool EndObject(rapidjson::SizeType);
  bool StartArray();
  bool EndArray(rapidjson::SizeType);

 private:
  enum class TPhase { Start, Major, Minor, Meta, MetaObject, Root, AfterRoot, Done, FolderStart, Info, Items };
  enum class TValue { Number, Negative, Fraction, Bool, String, Other };
  enum class TField {
    Unknown, Name, Asize, Dsize, Dev, Ino, Nlink, Hlnkc, ReadError, Errno, Excluded, Notreg, MTime, Extended,
    State, AllDrives
  };
  // What the current description says.
  struct TInfo {
    std::string Name;
    bool HasName = false, HasDev = false, HasIno = false;
    uint64_t Asize = 0, Dsize = 0, Dev = 0, Ino = 0, Nlink = 0, Errno = 0;
    uint32_t MTime = 0;
    bool Hlnkc = false, ReadError = false;
  };
  struct TOpen {
    DirNode* Node;
    DirNode* Last;
    uint64_t Dev;
  };

  static TField FieldOf(std::string_view key);
  bool Scalar(TValue value);
  bool InfoValue(TValue value);
  bool MetaValue(TValue value);
  bool Fail(std::string message) {
    Failure = std::move(message);
    FailureAt = Input.Tell();
    return false;
  }
  // Makes the node the description ended with; a folder is entered unless met before.
  bool MakeNode();
  std::string NameProblem(std::string_view name, bool top) const;
  // True while the description being read is a top-level node's, named by a whole path.
  bool TopLevel() const { return Open.empty() || (Scan.Result.AllDrives && Open.size() == 1); }

  TImportedScan& Scan;
  TGzInput& Input;
  TParseStackAllocator& Strings;
  const std::atomic<int>* StopFlag;
  TPhase Phase = TPhase::Start;
  size_t Skip = 0;  // nesting of a value or a folder being passed over
  TField Field = TField::Unknown;
  bool InfoIsFolder = false;  // the description being read is a folder's
  TInfo Info;
  std::vector<TOpen> Open;
  std::atomic<int32_t> FileCount{0};
  // Entries come in the file's order, which need not be the tree's: the builder decides.
  TTreeBuilder Builder;
  TTreeBuilder::TPart& Part;
  DirNode* Root = nullptr;
  uint64_t Made = 0;
  // The last scalar's value.
  uint64_t Number = 0;
  double Real = 0;  // a number with a fraction or an exponent
  bool Flag = false;
  std::string_view Text;
};

TScanFileHandler::TField TScanFileHandler::FieldOf(std::string_view key) {
  static const std::pair<std::string_view, TField> fields[] = {
      {"name", TField::Name},       {"asize", TField::Asize},         {"dsize", TField::Dsize},
      {"dev", TField::Dev},         {"ino", TField::Ino},             {"nlink", TField::Nlink},
      {"hlnkc", TField::Hlnkc},     {"read_error", TField::ReadError}, {"errno", TField::Errno},
      {"excluded", TField::Excluded}, {"notreg", TField::Notreg},     {"uid", TField::Extended},
      {"gid", TField::Extended},    {"mode", TField::Extended},       {"mtime", TField::MTime},
      {"state", TField::State},     {"alldrives", TField::AllDrives}};
  for (const auto& [name, field] : fields)
    if (name == key) return field;
  return TField::Unknown;
}

bool TScanFileHandler::Scalar(TValue value) {
  if (Skip) return true;
  switch (Phase) {
    case TPhase::Major:
      if (value != TValue::Number || Number != 1) return Fail("not a scan file of major version 1");
      Phase = TPhase::Minor;
      return true;
    case TPhase::Minor:
      if (value != TValue::Number || Number > 10000) return Fail("the minor version is not a number from 0 to 10000");
      Phase = TPhase::Meta;
      return true;
    case TPhase::Meta:
      return Fail("the metadata is not an object");
    case TPhase::MetaObject:
      return MetaValue(value);
    case TPhase::Info:
      return InfoValue(value);
    case TPhase::Root:
      return Fail("the root is not a folder (an array)");
    case TPhase::Items:
      return Fail("a folder holds something that is neither a folder (an array) nor a file (an object)");
    case TPhase::FolderStart:
      return Fail("a folder's array does not begin with its description (an object)");
    case TPhase::AfterRoot:
      return Fail("something follows the root folder");
    default:
      return Fail(NotAScanFile);
  }
}

bool TScanFileHandler::InfoValue(TValue value) {
  const TField field = Field;
  Field = TField::Unknown;
  uint64_t* number = nullptr;
  const char* name = nullptr;
  switch (field) {
    case TField::Name:
      if (value != TValue::String) return Fail("\"name\" is not a string");
      Info.Name.assign(Text);
      Info.HasName = true;
      return true;
    case TField::Asize: number = &Info.Asize, name = "asize"; break;
    case TField::Dsize: number = &Info.Dsize, name = "dsize"; break;
    case TField::Dev: number = &Info.Dev, name = "dev", Info.HasDev = true; break;
    case TField::Ino: number = &Info.Ino, name = "ino", Info.HasIno = true; break;
    case TField::Nlink: number = &Info.Nlink, name = "nlink"; break;
    case TField::Errno: number = &Info.Errno, name = "errno"; break;
    case TField::Hlnkc:
    case TField::ReadError:
    case TField::Notreg:
      if (value != TValue::Bool) return Fail("a flag (\"hlnkc\", \"read_error\", \"notreg\") is not true or false");
      if (field == TField::Hlnkc) Info.Hlnkc = Flag;
      if (field == TField::ReadError) Info.ReadError = Flag;
      return true;
    case TField::Excluded:
      if (value != TValue::String) return Fail("\"excluded\" is not a string");
      return true;
    case TField::MTime:
    case TField::Extended:
      if (value != TValue::Number && value != TValue::Negative && value != TValue::Fraction)
        return Fail("\"uid\", \"gid\", \"mode\" or \"mtime\" is not a number");
      // Times before 1970 are unknown ones; a fraction of a second is dropped.
      if (field == TField::MTime)
        Info.MTime = value == TValue::Number     ? NodeTime(static_cast<int64_t>(std::min<uint64_t>(Number, INT64_MAX)))
                     : value == TValue::Negative ? 0
                     : Real >= double{UINT32_MAX} ? UINT32_MAX
                     : Real > 0                   ? static_cast<uint32_t>(Real)
                                                  : 0;
      return true;
    default:
      return true;  // a field of a later version: passed over
  }
  if (value == TValue::Negative) return Fail(std::string("\"") + name + "\" is negative");
  if (value == TValue::Fraction) return Fail(std::string("\"") + name + "\" is not a whole number below 2^64");
  if (value != TValue::Number) return Fail(std::string("\"") + name + "\" is not a number");
  *number = Number;
  return true;
}

bool TScanFileHandler::StartObject() {
  if (Skip) return ++Skip, true;
  switch (Phase) {
    case TPhase::Meta:
      Phase = TPhase::MetaObject;
      return true;
    case TPhase::MetaObject:
      Field = TField::Unknown;
      return ++Skip, true;
    case TPhase::Items:
    case TPhase::FolderStart:
      InfoIsFolder = Phase == TPhase::FolderStart;
      Phase = TPhase::Info;
      Info = TInfo{};
      return true;
    case TPhase::Info:
      if (Field == TField::Unknown || Field == TField::Extended || Field == TField::MTime)
        return ++Skip, Field = TField::Unknown, true;
      return Fail("a field of a description is an object");
    default:
      return Scalar(TValue::Other);
  }
}

bool TScanFileHandler::StartArray() {
  if (Skip) return ++Skip, true;
  switch (Phase) {
    case TPhase::Start:
      Phase = TPhase::Major;
      return true;
    case TPhase::Root:
    case TPhase::Items:
      Phase = TPhase::FolderStart;  // the folder's description must come first
      return true;
    case TPhase::Info:
      if (Field == TField::Unknown || Field == TField::Extended || Field == TField::MTime)
        return ++Skip, Field = TField::Unknown, true;
      return Fail("a field of a description is an array");
    case TPhase::MetaObject:
      Field = TField::Unknown;
      return ++Skip, true;
    default:
      return Scalar(TValue::Other);
  }
}

bool TScanFileHandler::EndObject(rapidjson::SizeType) {
  if (Skip) return --Skip, true;
  if (Phase == TPhase::MetaObject) {
    Phase = TPhase::Root;
    return true;
  }
  if (Phase != TPhase::Info) return Fail("unexpected end of an object");
  return MakeNode();
}

bool TScanFileHandler::EndArray(rapidjson::SizeType) {
  if (Skip) return --Skip, true;
  switch (Phase) {
    case TPhase::Items:
      Open.pop_back();
      Phase = Open.empty() ? TPhase::AfterRoot : TPhase::Items;
      return true;
    case TPhase::AfterRoot:
      Phase = TPhase::Done;
      return true;
    case TPhase::FolderStart:
      return Fail("a folder has no description (an empty array)");
    case TPhase::Major:
    case TPhase::Minor:
    case TPhase::Meta:
    case TPhase::Root:
    case TPhase::Start:
      return Fail("the top-level array ends before the root folder");
    default:
      return Fail("unexpected end of an array");
  }
}

}  // namespace ostrel

namespace ostrel {

bool TScanFileHandler::MetaValue(TValue value) {
  const TField field = Field;
  Field = TField::Unknown;
  if (field == TField::State) {
    if (value != TValue::String) return Fail("the scan's \"state\" is not a string");
    if (Text == "complete")
      Scan.Result.Ending = TScanEnd::Complete;
    else if (Text == "stopped")
      Scan.Result.Ending = TScanEnd::Stopped;
    else if (Text == "out of memory")
      Scan.Result.Ending = TScanEnd::OutOfMemory;
    else
      return Fail("unknown scan state '" + std::string(Text) + "'");
  } else if (field == TField::AllDrives) {
    if (value != TValue::Bool) return Fail("\"alldrives\" is not true or false");
    Scan.Result.AllDrives = Flag;
  }
  return true;
}

std::string TScanFileHandler::LongString() const {
  if (Strings.StringLimit == MaxNameBytes) return "a name is longer than " + std::to_string(MaxNameBytes) + " bytes";
  if (Phase == TPhase::Info && Field == TField::Name)
    return "a top-level name is longer than " + std::to_string(MaxTopNameBytes) + " bytes";
  return "a string is longer than " + std::to_string(MaxTopNameBytes) + " bytes";
}

std::string TScanFileHandler::NameProblem(std::string_view name, bool top) const {
  if (name.empty()) return "an entry has an empty name";
  if (name.find('\0') != std::string_view::npos) return "a name holds a NUL byte";
  if (top) return {};
  if (name.find('/') != std::string_view::npos) return "the name '" + std::string(name) + "' holds a '/'";
  if (name == "." || name == "..") return "an entry is named '" + std::string(name) + "'";
  return {};
}

bool TScanFileHandler::MakeNode() {
  if (!Info.HasName) return Fail("an entry has no \"name\"");
  const bool top = Open.empty();
  // Below All Drives, each drive is a top-level node named by its whole path.
  const bool drive = !top && Scan.Result.AllDrives && Open.size() == 1;
  if (top && Info.Name.empty() && InfoIsFolder && Scan.Result.Ending != TScanEnd::Complete) {
    // A scan stopped before it reached its root: no tree.
    Skip = 1;
    Phase = TPhase::AfterRoot;
    return true;
  }
  const std::string problem = NameProblem(Info.Name, top || drive);
  if (!problem.empty()) return Fail(problem);
  DirNode* parent = top ? nullptr : Open.back().Node;
  if (parent && parent->Depth >= MaxNodeDepth)
    return Fail("folders nested deeper than " + std::to_string(MaxNodeDepth) + " levels");
  if (StopFlag && (++Made & 4095) == 0 && StopFlag->load(std::memory_order_relaxed)) {
    Stopped = true;
    return false;
  }
  DirNode* last = nullptr;
  DirNode* node = InfoIsFolder ? Part.Folder(Info.Name, parent, parent ? Open.back().Last : last, top || drive)
                               : Part.File(Info.Name, parent, parent ? Open.back().Last : last);
  if (!parent) Root = node;
  // A missing device is the folder's own, as in the format.
  const uint64_t dev = Info.HasDev ? Info.Dev : parent ? Open.back().Dev : 0;
  const int error = Info.Errno <= 4095 ? static_cast<int>(Info.Errno) : 0;
  // A folder's time is its own in another tool's file and the newest below it in ours: either
  // way the totals make it the newest at or below it.
  node->MTime = Info.MTime;
  node->InodeTag = Info.HasIno ? InodeTagOf(Info.Ino) : 0;
  Phase = TPhase::Items;
  if (InfoIsFolder) {
    node->OwnSize = Info.Dsize;  // a folder's asize is not counted
    if (Info.HasIno) {
      Part.FolderId(node, dev, Info.Ino);
      Scan.AddId(node, dev, Info.Ino, Info.Nlink ? Info.Nlink : 1);
    }
    if (Info.ReadError) Part.Problem(TScanProblem::ReadFolder, node, error);
    Open.push_back(TOpen{node, nullptr, dev});
    return true;
  }
  const bool linked = Info.HasIno && (Info.Hlnkc || Info.Nlink > 1);
  Part.FileSizes(*node, Info.Dsize, Info.Asize, linked, dev, Info.Ino);
  if (linked) Scan.AddId(node, dev, Info.Ino, std::max<uint64_t>(Info.Nlink, 2));
  if (Info.ReadError) Part.Problem(TScanProblem::Examine, node, error);
  return true;
}

namespace {

std::string At(size_t offset, const std::string& what) { return "byte " + std::to_string(offset) + ": " + what; }

const char* const CutShort = "the file ends before the scan does (cut short?)";

// What was read is kept as after a stopped walk, settled as a whole file is.
void KeepPart(TImportedScan& scan, TScanFileHandler& handler, TScanEnd ending) {
  try {
    handler.Settle(ending);
  } catch (const std::bad_alloc&) {
    scan.Result.Ending = TScanEnd::OutOfMemory;
  }
}

}  // namespace

std::string ReadScanFile(const std::string& path, TImportedScan& scan, const std::atomic<int>* stop) {
  TGzInput input;
  if (std::string error = input.Open(path, scan.RegularOnly, stop); !error.empty()) return error;
  TParseStackAllocator strings;
  TScanFileHandler handler(scan, input, strings, stop);
  // Room for usual names from the start.
  rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, TParseStackAllocator> reader(&strings, 4096);
  rapidjson::ParseResult parsed;
  std::string failure;
  try {
    // Iterative: the nesting of folders costs heap, not stack.
    parsed = reader.Parse<rapidjson::kParseIterativeFlag>(input, handler);
  } catch (const TStringTooLong&) {
    failure = At(input.Tell(), handler.LongString());
  } catch (const std::bad_alloc&) {
    KeepPart(scan, handler, TScanEnd::OutOfMemory);
    scan.SortIds();
    return {};
  }
  if (handler.Stopped || input.Stopped()) {
    KeepPart(scan, handler, TScanEnd::Stopped);
    scan.SortIds();
    return {};
  }
  // In words, not in the parser's terms; the offset says where.
  if (failure.empty()) {
    if (!input.Error().empty())
      failure = At(input.Tell(), input.Error());
    else if (!handler.Failure.empty())
      failure = At(handler.FailureAt, handler.Failure);
    else if (parsed.IsError() && input.Tell() == 0 && input.AtEnd())
      failure = At(0, "the file is empty");
    else if (parsed.IsError() && input.AtEnd())
      failure = At(input.Tell(), CutShort);
    else if (parsed.IsError() && !handler.Began())
      failure = At(parsed.Offset(), NotAScanFile);
    else if (parsed.IsError())
      failure = At(parsed.Offset(), std::string("the file is damaged here, it is no longer a scan file (") +
                                        rapidjson::GetParseError_En(parsed.Code()) + ")");
    else if (!handler.Finished())
      failure = At(input.Tell(), CutShort);
  }
  if (!failure.empty()) {
    // No part of a file that is not whole is ever shown as a scan.
    scan.Result.Root = nullptr;
    scan.Result.Folders = scan.Result.Files = 0;
    scan.FolderCount.store(0, std::memory_order_relaxed);
    scan.Ids.clear();
    return failure;
  }
  handler.Settle(scan.Result.Ending);
  scan.SortIds();
  return {};
}

}  // namespace ostrel
