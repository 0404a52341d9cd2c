// ostrel-scan: the scan engine of the window, on the command line.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "app/replacefile.h"
#include "app/scancli.h"
#include "platform/ext4read.h"
#include "scan/scansettings.h"
#include "scan/scanstart.h"
#include "scan/tloader.h"
#include "scanfile/entryids.h"
#include "scanfile/importscan.h"

using namespace ostrel;

namespace {

// Ctrl-C and SIGTERM are taken by a thread of their own (sigwait), never by a handler, so that
// they can do more than a handler may: the first stops the walk, and the part scanned is still
// printed; the second ends the program at once.
struct TStopState {
  std::mutex Lock;
  std::condition_variable Changed;
  std::atomic<int> Signal{0};  // the first stop signal received; 0 while none
  bool ScanDone = false;       // under Lock
  std::string Temporary;       // under Lock: the -o file being written, removed by a second signal
};

TStopState& Stops() {
  // Never destroyed: the signal thread may still use it while the program exits.
  static TStopState* state = new TStopState;
  return *state;
}

void TakeStopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  // Blocked here, before any other thread exists, so that every thread inherits the mask and
  // only the signal thread ever takes them.
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  try {
    std::thread([set] {
      for (;;) {
        int signal = 0;
        if (sigwait(&set, &signal) != 0) continue;
        TStopState& stops = Stops();
        int none = 0;
        std::lock_guard<std::mutex> guard(stops.Lock);
        if (!stops.Signal.compare_exchange_strong(none, signal)) {
          if (!stops.Temporary.empty()) unlink(stops.Temporary.c_str());
          _exit(128 + signal);
        }
        stops.Changed.notify_all();
      }
    }).detach();
  } catch (const std::system_error&) {
    // No thread to take them: the signals end the program as they would by default.
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  }
}

// The temporary file that a second stop signal removes on its way out; empty for none.
void RemoveOnSecondSignal(const std::string& path) {
  TStopState& stops = Stops();
  std::lock_guard<std::mutex> guard(stops.Lock);
  stops.Temporary = path;
}

// Puts the scan file in its target's place once it was written whole; a scan file that could
// not be written (said with the scan's report) is thrown away. A failure in closing or naming it
// (a full disk shows at the close of a file on some file systems) is reported like any write
// error.
int Finish(TReplacingFile& file, std::FILE* saveTo, const TScanOptions& options, int status, int signal) {
  if (!saveTo || saveTo == stdout) return status;
  int error = 0;
  if (std::ferror(saveTo))
    file.Discard();
  else
    error = file.Commit();
  RemoveOnSecondSignal({});
  if (!error) return status;
  std::fprintf(stderr, "ostrel-scan: cannot write '%s': %s\n", options.Output.c_str(), std::strerror(error));
  return status == ExitComplete ? ExitStatus(signal, true) : status;
}

// Reads the scan file at `path` into `scan`; false, with the reason on stderr, when it cannot.
bool Read(const std::string& path, TImportedScan& scan) {
  const std::string error = ReadScanFile(path, scan, &Stops().Signal);
  if (error.empty()) return true;
  const std::string name = path == "-" ? "standard input" : "'" + path + "'";
  std::fprintf(stderr, "ostrel-scan: %s: %s\n", name.c_str(), error.c_str());
  return false;
}

// What makes an earlier scan a weaker base for a comparison; said, not failed on: that scan is
// long over, and the new one is what the exit status tells about.
void NoteProblems(const std::string& path, const TImportedScan& scan) {
  const std::string name = path == "-" ? "standard input" : "'" + path + "'";
  if (!scan.Result.Problems.empty())
    std::fprintf(stderr, "ostrel-scan: note: the earlier scan %s could not read %zu entries\n", name.c_str(),
                 scan.Result.Problems.size());
  if (scan.Result.Ending != TScanEnd::Complete)
    std::fprintf(stderr, "ostrel-scan: note: the earlier scan %s is incomplete\n", name.c_str());
  if (scan.Result.Saturated)
    std::fprintf(stderr, "ostrel-scan: note: the earlier scan %s has totals past 2^64 - 1 bytes, capped there\n",
                 name.c_str());
}

int Run(int argc, char** argv) {
  TStopState& stops = Stops();
  std::vector<std::string> args(argv + 1, argv + argc);
  TScanOptions options;
  const std::string error = ParseScanOptions(args, options);
  if (!error.empty()) {
    std::fprintf(stderr, "ostrel-scan: %s\n\n%s", error.c_str(), ScanUsage(DefaultScanThreads()).c_str());
    return ExitUsage;
  }
  if (options.Help) {
    TOutput out(stdout);
    if (!out.Write(ScanUsage(DefaultScanThreads())) || !out.Flush())
      std::fprintf(stderr, "ostrel-scan: write error: %s\n", std::strerror(out.Error()));
    return ExitStatus(stops.Signal.load(), out.Error() != 0);
  }
  // The earlier scan is read first, so that a bad file is said before a long scan, and before
  // -o opens its file, which may be the earlier scan itself (a history kept in one file).
  TImportedScan earlier;
  if (!options.Compare.empty()) {
    if (!Read(options.Compare, earlier)) return ExitStatus(stops.Signal.load(), true);
    // Stopped while reading: nothing to compare with.
    if (stops.Signal.load()) return ExitStatus(stops.Signal.load(), false);
    if (!earlier.Result.Root) {
      // A scan stopped before it reached its root: there is nothing to compare with, and a
      // plain listing in its place would read as if the comparison had been made.
      const std::string name = options.Compare == "-" ? "standard input" : "'" + options.Compare + "'";
      std::fprintf(stderr, "ostrel-scan: %s holds no scan to compare with\n", name.c_str());
      return ExitStatus(stops.Signal.load(), true);
    }
    NoteProblems(options.Compare, earlier);
    if (options.Input.empty() && options.Path.empty() && !earlier.Result.AllDrives) options.Path = FullPath(*earlier.Result.Root);
  }
  // The scan file is created before the scan, so that a place it cannot go is said at once. It
  // takes the place of the target only when written whole: until then the target is as it was,
  // and it may be the very file that -f reads. Any way out of here before that removes it.
  TReplacingFile replacing;
  std::FILE* saveTo = nullptr;
  if (options.Output == "-") {
    saveTo = stdout;
  } else if (!options.Output.empty()) {
    if (const int error = replacing.Open(options.Output)) {
      std::fprintf(stderr, "ostrel-scan: cannot write '%s': %s\n", options.Output.c_str(), std::strerror(error));
      return ExitStatus(stops.Signal.load(), true);
    }
    saveTo = replacing.Stream();
    RemoveOnSecondSignal(replacing.TemporaryPath());
  }
  static char buffer[1 << 16];
  const DirNode* earlierRoot = options.Compare.empty() ? nullptr : earlier.Result.Root;
  if (!options.Input.empty()) {
    const auto started = std::chrono::steady_clock::now();
    TImportedScan scan;
    if (!Read(options.Input, scan)) return ExitStatus(stops.Signal.load(), true);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    const int status =
        ReportScan(scan.View(), &scan, options, seconds, stops.Signal, stdout, stderr, saveTo, earlierRoot);
    return Finish(replacing, saveTo, options, status, stops.Signal.load());
  }
  TScanRequest request;
  if (!options.Device.empty()) {
    // A folder inside the image: nothing of this computer's folders or mounts applies.
    request.Root = options.Path;
    request.DriveSource = {};
  } else if (!options.Path.empty()) {
    std::optional<std::string> root = ScanRoot(options.Path, ToolPathRule);
    if (!root) {
      std::fprintf(stderr, "ostrel-scan: %s: no such folder\n", options.Path.c_str());
      return ExitStatus(stops.Signal.load(), true);
    }
    request.Root = std::move(*root);
  }
  ScanSettings.includefloppy = options.IncludeFloppy ? 1 : 0;
  ScanSettings.includecd = options.IncludeCd ? 1 : 0;
  ScanSettings.includenet = options.IncludeNet ? 1 : 0;
  // The end of the walk wakes the main thread at once, as a stop signal does.
  request.Threads = options.Threads;
  request.OnDone = [](TThreadLoader&) {
    TStopState& done = Stops();
    std::lock_guard<std::mutex> guard(done.Lock);
    done.ScanDone = true;
    done.Changed.notify_all();
  };

  const auto started = std::chrono::steady_clock::now();
  std::shared_ptr<TDeviceListing> device;
  if (options.ReadDevice || !options.Device.empty()) {
    const TDeviceNote note = [](const std::string& text) { std::fprintf(stderr, "ostrel-scan: note: %s\n", text.c_str()); };
    TDeviceScan opened = options.ReadDevice ? DeviceScanOf(request.Root, note)
                                            : DeviceImageScan(options.Device, options.Path, note);
    if (!opened.Listing) {
      if (!options.Device.empty()) {
        std::fprintf(stderr, "ostrel-scan: %s\n", opened.Why.c_str());
        return ExitStatus(stops.Signal.load(), true);
      }
      std::fprintf(stderr, "ostrel-scan: note: %s: walking the folders instead\n", opened.Why.c_str());
    }
    device = std::move(opened.Listing);
    try {
      if (device) device->Prepare(stops.Signal);
    } catch (const std::bad_alloc&) {
      // Reading ahead only saves time; the walk reads what it needs as it goes.
    }
  }
  // Each thread reads the device through an opening of its own: past two, more save little
  // and cost memory.
  if (device && !options.Threads) request.Threads = 2;
  std::unique_ptr<TThreadLoader> loader = PrepareScan(std::move(request));
  if (device) loader->Listing = device;
  // A stop while the device was read ahead ends the scan before its first folder.
  if (stops.Signal.load()) loader->StopFlag = 1;
  // A scan file needs the device and inode numbers that the tree does not keep.
  std::shared_ptr<TIdListing> ids;
  if (saveTo) loader->Listing = ids = std::make_shared<TIdListing>(loader->Listing);
  loader->Resume();
  {
    std::unique_lock<std::mutex> lock(stops.Lock);
    for (;;) {
      if (stops.Signal.load() != 0) loader->StopFlag = 1;
      if (stops.ScanDone) break;
      stops.Changed.wait(lock);
    }
  }
  loader->WaitFor();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

  std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  const int status =
      ReportScan(ViewOf(*loader), ids.get(), options, seconds, stops.Signal, stdout, stderr, saveTo, earlierRoot);
  return Finish(replacing, saveTo, options, status, stops.Signal.load());
}

}  // namespace

int main(int argc, char** argv) {
  LimitHeapArenas();
  TakeStopSignals();
  try {
    return Run(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fputs("ostrel-scan: out of memory\n", stderr);
    return ExitStatus(Stops().Signal.load(), true);
  } catch (const std::system_error& e) {
    // The scan's thread could not be started (too little memory, too many threads).
    std::fprintf(stderr, "ostrel-scan: cannot start the scan: %s\n", e.code().message().c_str());
    return ExitStatus(Stops().Signal.load(), true);
  }
}
