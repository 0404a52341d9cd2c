#include "mainwin/livescans.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "scan/treejob.h"

namespace ostrel {
namespace {

struct TLiveScans {
  std::mutex Lock;
  std::vector<const TTreeJob*> Loaders;
};

// Only windows touch it, on the GUI thread, and every window is gone before the process's
// static objects go (with a walk still running the program ends through QuitIfScansRunning,
// which destroys nothing).
TLiveScans& LiveScans() {
  static TLiveScans live;
  return live;
}

}  // namespace

void AddLiveScan(const TTreeJob* loader) {
  TLiveScans& live = LiveScans();
  std::lock_guard<std::mutex> guard(live.Lock);
  live.Loaders.push_back(loader);
}

void RemoveLiveScan(const TTreeJob* loader) {
  TLiveScans& live = LiveScans();
  std::lock_guard<std::mutex> guard(live.Lock);
  std::erase(live.Loaders, loader);
}

bool ScanThreadsRunning() {
  TLiveScans& live = LiveScans();
  std::lock_guard<std::mutex> guard(live.Lock);
  return std::any_of(live.Loaders.begin(), live.Loaders.end(),
                     [](const TTreeJob* loader) { return !loader->Finished(); });
}

void QuitIfScansRunning(int code) {
  if (!ScanThreadsRunning()) return;
  std::fflush(nullptr);
  std::_Exit(code);
}

}  // namespace ostrel
