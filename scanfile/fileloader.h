// A scan file read on a thread of its own, so that a window stays responsive while a large file
// loads: made suspended, given its path, resumed once. Like a walk it shares only its stop flag,
// its folder count and whom to notify while it runs, and hands its finished scan over once, by a
// synchronous message to NotifyWindow.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/thread.h"
#include "platform/winmsg.h"
#include "scanfile/importscan.h"

namespace ostrel {

// The message by which a file load reports that it has ended; lParam is its TFileLoader.
inline constexpr uint32_t ScanFileDoneMessage = WmUser + 102;

class TFileLoader : public TThread {
 public:
  // Reads `path` (plain or gzip-compressed) once resumed.
  // Only a regular file is read: a window must never wait on a pipe.
  explicit TFileLoader(std::string path) : Path(std::move(path)) { Scan.RegularOnly = true; }
  ~TFileLoader() override { WaitFor(); }

  const std::string Path;

  // Set from any thread: the reading stops at its next element and keeps what it read.
  std::atomic<int> StopFlag{0};
  // Who hears that the reading has ended (NoWindow: nobody), and with which message (0: none).
  std::atomic<THandle> NotifyWindow{NoWindow};
  std::atomic<uint32_t> NotifyMessage{ScanFileDoneMessage};
  // Folders read so far; any thread may read it.
  int32_t FolderCount() const { return Scan.FolderCount.load(std::memory_order_relaxed); }

  // From the notice onwards (or after WaitFor): the scan read, and why the file could not be
  // read (empty when it could; Scan then has a tree, or none when stopped before its root).
  TImportedScan Scan;
  std::string Error;

 protected:
  void Execute() override;
};

}  // namespace ostrel
