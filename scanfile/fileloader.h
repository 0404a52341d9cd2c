// A scan file read on a thread of its own, so that a window stays responsive while a large file
// loads: a tree job (treejob.h) like a walk, made with its path.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/winmsg.h"
#include "scan/treejob.h"
#include "scanfile/importscan.h"

namespace ostrel {

// The message by which a file load reports that it has ended; lParam is its TFileLoader.
inline constexpr uint32_t ScanFileDoneMessage = WmUser + 102;

class TFileLoader : public TTreeJob {
 public:
  // Reads `path` (plain or gzip-compressed) once started, and ends with `message`.
  // Only a regular file is read: a window must never wait on a pipe.
  explicit TFileLoader(std::string path, uint32_t message = ScanFileDoneMessage) : Path(std::move(path)) {
    Scan.RegularOnly = true;
    NotifyMessage.store(message);
  }
  ~TFileLoader() override { WaitFor(); }

  const std::string Path;

  int32_t FoldersSoFar() const override { return Scan.FolderCount.load(std::memory_order_relaxed); }
  const TScanResult& Outcome() const override { return Scan.Result; }
  TScanResult& Outcome() override { return Scan.Result; }
  bool StopsPromptly() const override { return false; }
  bool Walks() const override { return false; }
  const TEntryIds* Ids() const override { return &Scan; }
  std::string ErrorText() const override { return Error; }

  // From the notice onwards (or after WaitFor): the scan read, and why the file could not be
  // read (empty when it could; Scan then has a tree, or none when stopped before its root).
  TImportedScan Scan;
  std::string Error;

 protected:
  void Execute() override;
};

}  // namespace ostrel
