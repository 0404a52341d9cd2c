// ostrel-scan: the scan engine of the window, on the command line.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "app/scancli.h"
#include "platform/winmsg.h"
#include "scan/paths.h"
#include "scan/scansettings.h"
#include "scan/tloader.h"

using namespace ostrel;

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  TScanOptions options;
  const std::string error = ParseScanOptions(args, options);
  if (!error.empty()) {
    std::fprintf(stderr, "ostrel-scan: %s\n\n%s", error.c_str(), ScanUsage());
    return 2;
  }
  if (options.Help) {
    std::fputs(ScanUsage(), stdout);
    return 0;
  }
  if (!options.Path.empty() && !IsDirectory(options.Path.c_str())) {
    std::fprintf(stderr, "ostrel-scan: %s: no such folder\n", options.Path.c_str());
    return 1;
  }
  ScanSettings.includefloppy = options.IncludeFloppy ? 1 : 0;
  ScanSettings.includecd = options.IncludeCd ? 1 : 0;
  ScanSettings.includenet = options.IncludeNet ? 1 : 0;

  // Ctrl-C and termination are taken by this thread alone (the scan thread inherits the mask),
  // so that they only stop the walk and the partial tree is still printed.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  // The scan's completion notice wakes this thread at once, as it would wake the window.
  class TWakeOnNotice : public TMessageReceiver {
   public:
    explicit TWakeOnNotice(pthread_t waiter) : Waiter(waiter) {}
    std::intptr_t HandleMessage(uint32_t, std::uintptr_t, std::intptr_t) override {
      pthread_kill(Waiter, SIGUSR1);
      return 0;
    }
    pthread_t Waiter;
  } wake(pthread_self());
  const THandle window = RegisterWindow(&wake);

  const auto started = std::chrono::steady_clock::now();
  TThreadLoader loader(true);
  loader.Path = options.Path;
  loader.NotifyWindow = window;
  loader.NotifyMessage = WmUser + 101;
  loader.Resume();
  const timespec tick{0, 100'000'000};
  for (;;) {
    const int signal = sigtimedwait(&stopSignals, nullptr, &tick);
    if (signal == SIGUSR1 || loader.Finished()) break;
    if (signal == SIGINT || signal == SIGTERM) loader.StopFlag = 1;
  }
  loader.WaitFor();
  UnregisterWindow(window);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

  static char buffer[1 << 16];
  std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  if (options.Breakdown)
    PrintBreakdown(loader.Root, !options.NoCombine, stdout);
  else
    PrintTree(loader.Root, options.MaxDepth, options.Files, stdout);
  std::fflush(stdout);
  std::fprintf(stderr, "ostrel-scan: %d folders, %d files, %.3f s%s\n", loader.FolderCount.load(),
               loader.FileCount.load(), seconds, loader.StopFlag ? " (stopped)" : "");
  return std::ferror(stdout) ? 1 : 0;
}
