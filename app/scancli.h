// The command-line scanner's pieces that can be tested without its signal handling: option
// parsing, the printing of a finished tree, and the report and exit status of a finished scan.
#pragma once
#include <atomic>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "scan/dirnode.h"
#include "scan/scanview.h"
#include "scanfile/entryids.h"

namespace ostrel {

struct TScanOptions {
  int MaxDepth = 1;
  bool Files = false;
  bool IncludeFloppy = false;
  bool IncludeCd = false;
  bool IncludeNet = false;
  bool Help = false;
  bool Breakdown = false;  // print the chart's points for the root instead of the folder lines
  bool NoCombine = false;  // with Breakdown: do not fold small subfolders into one point
  bool Apparent = false;   // print file lengths instead of disk usage
  bool Null = false;       // end each record in NUL instead of a newline
  int Threads = 0;         // threads sharing the walk; 0 for the default
  bool ReadDevice = false;  // read PATH's ext2/3/4 file system from its block device
  std::string Device;       // --device: the file system read from this image or device instead
  std::string Path;  // empty: all drives
  std::string Output;  // -o: where the scan file goes ("-": standard output, alone); empty: none
  std::string Input;   // -f: the scan file read instead of walking ("-": standard input)
  // --compare: the earlier scan file that the scan is compared with; PATH and -f may then
  // both be missing (the earlier scan's root is scanned again).
  std::string Compare;

  TMeasure Measure() const { return Apparent ? TMeasure::Apparent : TMeasure::DiskUsage; }
  char RecordEnd() const { return Null ? '\0' : '\n'; }
};

// Exit statuses. An interruption by a signal ends with 128 + the signal's number, as a shell
// reports a program killed by it (130 for Ctrl-C, 143 for SIGTERM).
inline constexpr int ExitComplete = 0;
inline constexpr int ExitFailed = 1;  // no such folder, something unread, a write error, no memory
inline constexpr int ExitUsage = 2;

// The status when both may apply: an interruption outranks a failure. `signal` 0 is none.
inline int ExitStatus(int signal, bool failed) {
  return signal ? 128 + signal : failed ? ExitFailed : ExitComplete;
}

// Parses argv[1..]; returns an empty text on success, otherwise what was wrong.
std::string ParseScanOptions(const std::vector<std::string>& args, TScanOptions& options);

// The --help text, which says how many threads a scan uses by default.
std::string ScanUsage(int defaultThreads);

// Writes to one stream and keeps the first failure: from then on it writes nothing, so that
// output stops where it stopped being reliable.
class TOutput {
 public:
  explicit TOutput(std::FILE* stream) : Stream(stream) {}
  bool Write(std::string_view text);
  bool Flush();
  // The system's error number of the first failed write or flush; 0 while there is none.
  int Error() const { return ErrorNumber; }

 private:
  std::FILE* Stream;
  int ErrorNumber = 0;
};

// Prints one record per folder node (and file node with options.Files) down to
// options.MaxDepth levels below `root`: the size in the chosen measure in whole bytes, a tab,
// the full path's bytes as they are; in tree order, each folder before its children. A null
// root prints nothing. Stops at the first failed write.
void PrintTree(const DirNode* root, const TScanOptions& options, TOutput& out);

// Prints the points the chart draws for `root` in the chosen measure: label, a tab, the value
// in whole bytes; in chart order. The subfolders are the root's folder children; folds small
// ones unless options.NoCombine.
void PrintBreakdown(const DirNode* root, const TScanOptions& options, TOutput& out);

// Prints one record per folder down to options.MaxDepth levels below the roots whose total in
// the chosen measure differs between the earlier tree `oldRoot` and the later `newRoot`: the
// change (a minus sign for a shrink), a tab, the old total, a tab, the new total, a tab, the
// folder's path under the new root (the old root's path when there is no new root). A folder
// in one tree only counts 0 in the other. Order as TTreeComparison walks. Stops at the first
// failed write.
void PrintChanges(const DirNode* oldRoot, const DirNode* newRoot, const TScanOptions& options, TOutput& out);

// Everything the tool says once a scan has ended: the tree or the breakdown on `out`; on
// `err` one line per thing that could not be read, the reason when memory ran out, a write
// error, and the summary. `signal` is the first stop signal received (0 while none); it is read
// once, before the summary, which says "(interrupted)" when there was one. Returns the exit
// status.
// With `saveTo` (options.Output opened; `out` itself for "-",
// which then carries the scan file alone) the scan is also written there as a scan file, with
// the numbers from `ids` (may be null). A scan that the file says was stopped, with no stop
// signal here, is said to be incomplete and ends with 1. With `earlier` (a scan file's tree) the
// changes since it are printed instead of the tree, unless a stop signal came: changes of a
// scan cut short would be mostly folders that seem gone.
int ReportScan(const TScanView& scan, const TEntryIds* ids, const TScanOptions& options, double seconds,
               const std::atomic<int>& signal, std::FILE* out, std::FILE* err, std::FILE* saveTo,
               const DirNode* earlier = nullptr);

}  // namespace ostrel
