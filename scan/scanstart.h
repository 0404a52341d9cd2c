// How a front end starts a scan, the same for the window and ostrel-scan: check the path the
// user gave and name the scan's root from it (ScanRoot), then make a loader set up for the
// request (PrepareScan) and Resume it. The front ends differ only where TPathRule says so.
#pragma once
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/drives.h"
#include "platform/winmsg.h"
#include "scan/tloader.h"

namespace ostrel {

// How a front end takes the path of a one-path scan.
struct TPathRule {
  // True: the root is named with a trailing separator (AddPathSeparator), as the window names
  // it. False: exactly as given, as du does.
  bool AddSeparator;
  // True: only a folder on a drive is scanned, one whose DriveTypeOfPath is not DriveNoRoot (so
  // none in a virtual file system such as /proc). False: any existing folder.
  bool DrivesOnly;
};
// The window's rule for the path on its command line (a path typed into the wizard is taken
// as typed, unchecked).
inline constexpr TPathRule WindowPathRule{true, true};
// ostrel-scan's rule for its PATH.
inline constexpr TPathRule ToolPathRule{false, false};

// The root of a one-path scan of `path` under `rule`, or nothing when the rule refuses the
// path. An empty `path` names no folder and is refused; a scan of all drives needs no check
// (its root is the empty path).
std::optional<std::string> ScanRoot(std::string path, TPathRule rule);

// A scan as a front end asks for it.
struct TScanRequest {
  // The folder to scan, exactly as the root will be named (see ScanRoot); empty for all drives.
  std::string Root;
  // Where the drives come from (TThreadLoader::DriveSource).
  decltype(TThreadLoader::DriveSource) DriveSource = &ListDrives;
  // The most bytes the tree may take; 0 for no limit but the system's.
  size_t MemoryLimit = 0;
  // Threads sharing the walk (TThreadLoader::Threads); 0 for DefaultScanThreads().
  int Threads = 0;
  // Who hears that the walk has ended, on the walk's thread: a window by ScanDoneMessage,
  // sent synchronously (NoWindow: no window), then the callback (empty: none).
  THandle NotifyWindow = NoWindow;
  std::function<void(TThreadLoader&)> OnDone;
};

// A loader set up for `request` and still suspended: the caller keeps it where its completion
// will look for it, then calls Resume() to start the walk, and owns it. The include switches
// are read from ScanSettings while the walk runs. Throws std::bad_alloc.
std::unique_ptr<TThreadLoader> PrepareScan(TScanRequest request);

}  // namespace ostrel
