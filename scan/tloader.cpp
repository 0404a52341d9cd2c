#include "scan/tloader.h"

#include <climits>
#include <cstdlib>
#include <memory>

#include "platform/dirlist.h"
#include "scan/paths.h"
#include "scan/scansettings.h"

namespace ostrel {

bool DriveIncluded(int type, bool floppy, int includefloppy, int includecd, int includenet) {
  switch (type) {
    case DriveNoRoot: return false;
    case DriveRemovable: return !floppy || includefloppy != 0;
    case DriveRemote: return includenet != 0;
    case DriveCdRom: return includecd != 0;
    default: return true;
  }
}

bool DriveIncludedNow(const TDrive& drive) {
  return DriveIncluded(drive.Type, drive.Floppy,
                       ScanSettings.includefloppy.load(std::memory_order_relaxed),
                       ScanSettings.includecd.load(std::memory_order_relaxed),
                       ScanSettings.includenet.load(std::memory_order_relaxed));
}

TThreadLoader::TThreadLoader(bool createSuspended) {
  if (!createSuspended) Resume();
}

TThreadLoader::~TThreadLoader() {
  // The walk uses the members below; they must outlive it.
  WaitFor();
}

namespace {

std::string RealPath(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
  return real ? std::string(real.get()) : std::string();
}

}  // namespace

void TThreadLoader::PrepareMounts(const std::string& listRoot, const std::string& real) {
  MountsBelow.clear();
  std::string prefix = listRoot;
  AddPathSeparator(prefix);
  RootPrefixLength = prefix.size();
  if (real.empty()) return;
  std::string realPrefix = real;
  AddPathSeparator(realPrefix);
  for (const TDrive& drive : Drives) {
    if (drive.Root.size() > realPrefix.size() && drive.Root.compare(0, realPrefix.size(), realPrefix) == 0)
      MountsBelow.emplace(drive.Root.substr(realPrefix.size()), &drive);
  }
}

bool TThreadLoader::MayEnter() const {
  if (MountsBelow.empty()) return true;
  auto it = MountsBelow.find(ListPath.substr(RootPrefixLength));
  if (it == MountsBelow.end()) return true;
  // Another drive: an all-drives scan walks it by itself (or leaves it out by its type).
  return !AllDrives && DriveIncludedNow(*it->second);
}

void TThreadLoader::Execute() {
  FileCount.store(0, std::memory_order_relaxed);
  FolderCount.store(0, std::memory_order_relaxed);
  Drives = DriveSource ? DriveSource() : std::vector<TDrive>{};
  AllDrives = Path.empty();

  DirNode* root = nullptr;
  if (!AllDrives) {
    ListPath = Path;
    PrepareMounts(Path, RealPath(Path));
    root = ScanFolder(nullptr, "", nullptr, true, Arena.CopyString(Path), 0);
  } else {
    root = ScanFolder(nullptr, "", nullptr, false, Arena.CopyString("All Drives"), 0);
    for (const TDrive& drive : Drives) {
      if (!DriveIncludedNow(drive)) continue;
      ListPath = drive.Root;
      PrepareMounts(drive.Root, drive.Root);
      ScanFolder(root, "", nullptr, true, Arena.CopyString(drive.Root), 1);
    }
    // A stop before the first folder leaves no root at all.
    if (root) root->TotalSize = root->OwnSize + root->ChildrenSize;
  }
  Root = root;

  const THandle window = NotifyWindow.load();
  if (window != NoWindow)
    SendMessageSync(window, NotifyMessage.load(), 0, reinterpret_cast<std::intptr_t>(this));
}

DirNode* TThreadLoader::ScanFolder(DirNode* parent, const char* parentPath, TSearch* parentSearch,
                                   bool listed, const char* name, int32_t depth) {
  if (StopFlag.load(std::memory_order_relaxed)) return nullptr;
  FolderCount.fetch_add(1, std::memory_order_relaxed);

  DirNode* node = Arena.NewNode();
  node->Name = name;
  node->ParentPath = parentPath;
  node->Kind = NodeFolder;
  node->Depth = depth;

  if (listed && !ListPath.empty()) {
    TSearch* search = parentSearch ? FindOpen(parentSearch, node->Name) : FindOpen(nullptr, ListPath.c_str());
    if (search) {
      const char* ownPath = Arena.CopyString(ListPath);
      TSearchRec rec;
      bool anyFolder = false;
      while (FindNext(search, rec)) {
        if (rec.Attr & FaDirectory) {
          if ((rec.Name[0] == '.' && rec.Name[1] == '\0') ||
              (rec.Name[0] == '.' && rec.Name[1] == '.' && rec.Name[2] == '\0'))
            continue;
          Names.Add(rec.Name);
          anyFolder = true;
        } else {
          AddFileNode(node, ownPath, rec.Name, rec.Size, depth + 1);
        }
      }
      if (anyFolder) {
        // The names move into the arena (they become the subfolders' Name) so that the list
        // is free again before the walk descends.
        std::vector<const char*> subfolders;
        subfolders.reserve(static_cast<size_t>(Names.Count));
        for (StrEntry* e = Names.Sort(0, nullptr); e; e = e->ListNext)
          subfolders.push_back(Arena.CopyString(e->Str));
        Names.Clear();
        const size_t length = ListPath.size();
        for (const char* sub : subfolders) {
          AddPathSeparator(ListPath);
          ListPath += sub;
          if (MayEnter()) ScanFolder(node, ownPath, search, true, sub, depth + 1);
          ListPath.resize(length);
        }
      }
      FindClose(search);
    }
  }

  node->TotalSize = node->OwnSize + node->ChildrenSize;
  AddChild(parent, node);
  return node;
}

void TThreadLoader::AddFileNode(DirNode* folder, const char* parentPath, const char* name,
                                uint64_t size, int32_t depth) {
  FileCount.fetch_add(1, std::memory_order_relaxed);
  DirNode* node = Arena.NewNode();
  node->Name = Arena.CopyString(name);
  node->ParentPath = parentPath;
  node->OwnSize = node->TotalSize = static_cast<double>(size);
  node->Kind = NodeFile;
  node->Depth = depth;
  AddChild(folder, node);
}

}  // namespace ostrel
