#include "scan/scanstart.h"

#include <utility>

#include "scan/paths.h"

namespace ostrel {

std::optional<std::string> ScanRoot(std::string path, TPathRule rule) {
  if (path.empty()) return std::nullopt;
  // The separator first: the window asks for the drive type of the path as it will name it.
  if (rule.AddSeparator) AddPathSeparator(path);
  const bool scannable =
      rule.DrivesOnly ? DriveTypeOfPath(path.c_str()) != DriveNoRoot : IsDirectory(path.c_str()) != 0;
  if (!scannable) return std::nullopt;
  return path;
}

std::unique_ptr<TThreadLoader> PrepareScan(TScanRequest request) {
  auto loader = std::make_unique<TThreadLoader>(true);
  loader->Path = std::move(request.Root);
  loader->DriveSource = std::move(request.DriveSource);
  loader->MemoryLimit = request.MemoryLimit;
  if (request.Threads > 0) loader->Threads = request.Threads;
  loader->NotifyWindow.store(request.NotifyWindow);
  loader->NotifyMessage.store(ScanDoneMessage);
  loader->OnDone = std::move(request.OnDone);
  return loader;
}

}  // namespace ostrel
