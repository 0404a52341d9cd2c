// The program's one settings record, read by every part of the program. The main window sets
// the defaults, loads it at start-up and saves it at close; the scan thread reads the three
// include switches while the window may change them, so those three are atomic words.
#pragma once
#include <atomic>
#include <cstdint>

#include "scan/dirnode.h"

namespace ostrel {

struct TScanSettings {
  int32_t autominimize = 0;  // command line held "-autominimize"; not stored
  int32_t autoload = 0;
  int32_t shrinktotaskbar = 0;
  int32_t combineother = 1;
  int32_t charttype = 0;  // 0 pie, 1 horizontal bars, 2 vertical bars
  int32_t apparentsize = 0;  // 1: the window shows apparent sizes instead of disk usage
  int32_t keephistory = 1;  // 1: the window keeps each finished walk in the user's cache folder
  std::atomic<int32_t> includefloppy{0};
  std::atomic<int32_t> includecd{0};
  std::atomic<int32_t> includenet{0};
  char lastfilename[1024] = {};  // see DefaultLastFileName

  TScanSettings() { SetDefaults(); }
  TScanSettings(const TScanSettings&) = delete;
  TScanSettings& operator=(const TScanSettings&) = delete;

  // Gives every member its default (the main window's constructor calls this).
  void SetDefaults();
};

// The path the wizard offers on a first start: the system drive's root.
#ifdef _WIN32
inline constexpr const char* DefaultLastFileName = "c:\\";
#else
inline constexpr const char* DefaultLastFileName = "/";
#endif

extern TScanSettings ScanSettings;

// The measure the window shows sizes in: apparent sizes when ScanSettings.apparentsize is set,
// otherwise disk usage.
TMeasure ShownMeasure();

// The most threads a scan may be given.
inline constexpr int MostScanThreads = 64;

}  // namespace ostrel
