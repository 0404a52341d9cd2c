#include "app/scancli.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <utility>

#include "chart/breakdown.h"
#include "scan/scansettings.h"
#include "scan/treecompare.h"
#include "scanfile/exportscan.h"

namespace ostrel {

std::string ScanUsage(int defaultThreads) {
  std::string text = "Usage: ostrel-scan [--max-depth N] [--files] [--apparent-size] [-0] [--include-floppy]\n"
         "                   [--include-cd] [--include-net] [--threads N] [-o FILE]\n"
         "                   [--read-device | --device IMAGE] [PATH]\n"
         "       ostrel-scan --breakdown [--no-combine] [--apparent-size] [-0] [-o FILE] PATH\n"
         "       ostrel-scan -f FILE [-o FILE] [printing options]\n"
         "       ostrel-scan --compare OLD [--max-depth N] [--apparent-size] [-0] [-o FILE]\n"
         "                   [PATH | -f NEW]\n"
         "\n"
         "Scans PATH (or, without PATH, every drive of this computer) with the same engine as\n"
         "the Ostrel window and prints one line per folder: its total size in bytes, a tab, and\n"
         "its full path, each folder before its subfolders.\n"
         "\n"
         "  --max-depth N     print folders down to N levels below the root (default 1)\n"
         "  --files           print file lines too\n"
         "  --apparent-size   print apparent sizes (file lengths) instead of disk usage\n"
         "  -0, --null        end each line with a NUL byte instead of a newline\n"
         "  --include-floppy  with all drives: include floppy drives\n"
         "  --include-cd      with all drives: include CD-ROM and read-only image drives\n"
         "  --include-net     with all drives: include network drives\n"
         "  --threads N       threads that share the scan, 1 to 64 (default: 4 per core, at\n"
         "                    least 4 and at most 16; here %THREADS%; 2 reading a device); 1\n"
         "                    walks on one thread\n"
         "  --read-device     read PATH's ext2/3/4 file system straight from its block\n"
         "                    device (read-only; root or the disk group): much faster on a\n"
         "                    cold disk; folders where something is mounted and encrypted\n"
         "                    ones are read as usual; when the device cannot be read,\n"
         "                    stderr says why and PATH is walked\n"
         "  --device IMAGE    read the ext2/3/4 file system in IMAGE (an image file or a\n"
         "                    device, mounted or not), PATH being a folder inside it (/ its\n"
         "                    root); nothing else of this computer is looked at\n"
         "  --breakdown       print the chart's points for PATH instead: label, a tab, bytes\n"
         "  --no-combine      with --breakdown: do not fold small subfolders into one point\n"
         "  -o FILE           also save the scan in FILE as a scan file (ncdu's JSON export\n"
         "                    format); FILE - is standard output, which then holds it alone\n"
         "  -f FILE           read a scan file (ours or ncdu's, plain or gzip; - is standard\n"
         "                    input) instead of scanning, and print it the same way\n"
         "  --compare OLD     compare with the earlier scan file OLD: scan PATH, read NEW\n"
         "                    with -f, or with neither scan OLD's root again; print one line\n"
         "                    per folder whose total changed: the change in bytes (a minus\n"
         "                    sign when it shrank), the old total, the new total and the\n"
         "                    folder's path, separated by tabs\n"
         "  --help            show this text\n"
         "\n"
         "Sizes are disk usage (allocated blocks, as du counts them, a folder's own blocks\n"
         "included) unless --apparent-size is given. A file with several names and a folder\n"
         "reached twice (a bind mount) count once, by the name met first. Symbolic links are\n"
         "never followed; a drive's walk stays on its own file system. Sizes are exact to the\n"
         "byte; a total past 2^64 - 1 (sparse files can claim that much) is shown as\n"
         "18446744073709551615, with a note on stderr.\n"
         "A file system read from its device while mounted can change during the scan: entries\n"
         "that change meanwhile can show differently from a walk, and delayed allocation can\n"
         "show files being written with fewer blocks than they will take.\n"
         "Names are printed as the bytes on disk, unescaped; a name may hold a tab or a newline,\n"
         "so read the output with -0 where that matters (the size ends at the first tab).\n"
         "\n"
         "Folders are compared by their paths below the two roots, so a renamed folder shows as\n"
         "one gone (new total 0) and one new (old total 0). Problems in OLD are noted on stderr\n"
         "but do not change the exit status; those of the new scan do, as in a scan.\n"
         "\n"
         "A scan file keeps names byte-exact, both measures, the numbers that make a linked\n"
         "file count once, what could not be read and whether the scan was complete; one\n"
         "that is cut short or malformed is refused with the byte offset where it went wrong.\n"
         "\n"
         "What could not be read is named on stderr, one line each; a summary line (folders,\n"
         "files, seconds, how many could not be read) follows it there. Ctrl-C stops the scan\n"
         "and prints what was scanned so far; a second Ctrl-C ends the program at once.\n"
         "\n"
         "Exit status: 0 complete (with --compare, whether or not anything changed); 1 PATH\n"
         "names no folder, something could not be read, a write error, out of memory, or a\n"
         "scan file that is bad or holds an incomplete scan; 2 bad usage; 130 interrupted by\n"
         "Ctrl-C (143 by SIGTERM). Where several apply: 2, then 130 or 143, then 1.\n";
  const size_t mark = text.find("%THREADS%");
  text.replace(mark, 9, std::to_string(defaultThreads));
  return text;
}

namespace {

// The value of option `name` given as "NAME VALUE" (args[i] is NAME; i moves on to VALUE) or
// "NAME=VALUE"; false when it is missing.
bool OptionValue(const std::vector<std::string>& args, size_t& i, const std::string& name, std::string& value) {
  if (args[i] != name) {
    value = args[i].substr(name.size() + 1);
    return true;
  }
  if (i + 1 >= args.size()) return false;
  value = args[++i];
  return true;
}

// `value` read as a whole decimal number within [least, most].
bool WholeNumber(const std::string& value, int least, int most, int& number) {
  auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
  return ec == std::errc() && end == value.data() + value.size() && number >= least && number <= most;
}

}  // namespace

std::string ParseScanOptions(const std::vector<std::string>& args, TScanOptions& options) {
  bool pathSeen = false;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      if (pathSeen) return "more than one PATH given";
      options.Path = arg;
      pathSeen = true;
      if (arg.empty()) return "PATH is empty";
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      options.Help = true;
    } else if (arg == "--breakdown") {
      options.Breakdown = true;
    } else if (arg == "--no-combine") {
      options.NoCombine = true;
    } else if (arg == "--files") {
      options.Files = true;
    } else if (arg == "--apparent-size") {
      options.Apparent = true;
    } else if (arg == "-0" || arg == "--null") {
      options.Null = true;
    } else if (arg == "--include-floppy") {
      options.IncludeFloppy = true;
    } else if (arg == "--include-cd") {
      options.IncludeCd = true;
    } else if (arg == "--include-net") {
      options.IncludeNet = true;
    } else if (arg == "--read-device") {
      options.ReadDevice = true;
    } else if (arg == "--device" || arg.rfind("--device=", 0) == 0) {
      if (!OptionValue(args, i, "--device", options.Device) || options.Device.empty())
        return "--device needs an IMAGE";
    } else if (arg == "-o" || arg == "-f") {
      if (i + 1 >= args.size() || args[i + 1].empty()) return arg + " needs a FILE";
      (arg == "-o" ? options.Output : options.Input) = args[++i];
    } else if (arg == "--compare" || arg.rfind("--compare=", 0) == 0) {
      if (!OptionValue(args, i, "--compare", options.Compare) || options.Compare.empty())
        return "--compare needs a FILE";
    } else if (arg == "--max-depth" || arg.rfind("--max-depth=", 0) == 0) {
      std::string value;
      if (!OptionValue(args, i, "--max-depth", value)) return "--max-depth needs a number";
      if (!WholeNumber(value, 0, INT_MAX, options.MaxDepth))
        return "--max-depth needs a whole number of 0 or more, not '" + value + "'";
    } else if (arg == "--threads" || arg.rfind("--threads=", 0) == 0) {
      std::string value;
      if (!OptionValue(args, i, "--threads", value)) return "--threads needs a number";
      if (!WholeNumber(value, 1, MostScanThreads, options.Threads))
        return "--threads needs a whole number from 1 to " + std::to_string(MostScanThreads) + ", not '" + value +
               "'";
    } else {
      return "unknown option '" + arg + "'";
    }
  }
  if (options.ReadDevice || !options.Device.empty()) {
    if (options.ReadDevice && !options.Device.empty()) return "--read-device and --device do not go together";
    if (!options.Input.empty()) return "-f reads a scan file: --read-device and --device go with a scan";
    if (!pathSeen) return std::string(options.ReadDevice ? "--read-device" : "--device") + " needs a PATH";
  }
  if (!options.Input.empty()) {
    if (pathSeen) return "-f reads a scan file and takes no PATH";
    if (options.Threads || options.IncludeFloppy || options.IncludeCd || options.IncludeNet)
      return "-f reads a scan file: --threads and --include-* go with a scan";
    pathSeen = true;  // the file's root serves as PATH
  }
  if (!options.Compare.empty()) {
    if (options.Breakdown || options.Files) return "--compare prints folders' changes: no --breakdown or --files";
    if (options.Output == "-") return "--compare prints its changes on standard output: -o - does not go with it";
    if (options.Compare == "-" && options.Input == "-") return "OLD and NEW cannot both be standard input";
    pathSeen = true;  // without PATH or -f, OLD's root is scanned again
  }
  if (options.Breakdown && !pathSeen && !options.Help) return "--breakdown needs a PATH";
  if (options.NoCombine && !options.Breakdown) return "--no-combine goes with --breakdown";
  return {};
}

bool TOutput::Write(std::string_view text) {
  if (ErrorNumber) return false;
  errno = 0;
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), Stream) != text.size()) {
    ErrorNumber = errno ? errno : EIO;
    return false;
  }
  return true;
}

bool TOutput::Flush() {
  if (ErrorNumber) return false;
  errno = 0;
  if (std::fflush(Stream) != 0) {
    ErrorNumber = errno ? errno : EIO;
    return false;
  }
  return true;
}

namespace {

// One record: a first field, a tab, the second field, the record's end.
bool WriteRecord(TOutput& out, std::string_view first, std::string_view second, char end) {
  return out.Write(first) && out.Write("\t") && out.Write(second) && out.Write(std::string_view(&end, 1));
}

std::string Bytes(uint64_t value) { return std::to_string(value); }

std::string Bytes(TByteChange change) { return (change.Shrank ? "-" : "") + Bytes(change.Bytes); }

}  // namespace

void PrintBreakdown(const DirNode* root, const TScanOptions& options, TOutput& out) {
  if (!root) return;
  for (const TChartPoint& point : BreakdownOf(root, Subfolders(*root), options.Measure(), options.NoCombine ? 0 : 1))
    if (!WriteRecord(out, point.Label, Bytes(point.Value), options.RecordEnd())) return;
}

void PrintTree(const DirNode* root, const TScanOptions& options, TOutput& out) {
  if (!root) return;
  const TMeasure measure = options.Measure();
  // Explicit stack: trees may be far deeper than a thread's stack allows recursion. Each node
  // waits with the length of its folder's path, so that one path grows and shrinks with the
  // walk instead of being built from the top for every line.
  struct TPending {
    const DirNode* Node;
    size_t ParentLength;
  };
  std::string path = ParentPathOf(*root);
  std::vector<TPending> stack{{root, path.size()}};
  std::vector<const DirNode*> children;
  const int32_t lastDepth = root->Depth + options.MaxDepth;
  while (!stack.empty()) {
    const TPending pending = stack.back();
    stack.pop_back();
    const DirNode* node = pending.Node;
    path.resize(pending.ParentLength);
    if (node->Parent)
      JoinPath(path, node->Name);
    else
      path = node->Name;
    if (!WriteRecord(out, Bytes(SizeOf(*node, measure)), path, options.RecordEnd())) return;
    if (node->Depth >= lastDepth) continue;
    children.clear();
    for (const DirNode* child = node->FirstChild; child; child = child->NextSibling)
      if (child->Kind == NodeFolder || options.Files) children.push_back(child);
    for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back(TPending{*it, path.size()});
  }
}

void PrintChanges(const DirNode* oldRoot, const DirNode* newRoot, const TScanOptions& options, TOutput& out) {
  TTreeComparison walk(oldRoot, newRoot, options.Measure(), options.MaxDepth);
  // The path of the folder last yielded at each level: a folder's path is its parent's plus its
  // name, so only the lengths need keeping.
  std::string path;
  std::vector<size_t> lengths;
  TFolderChange change;
  while (walk.Next(change)) {
    const DirNode* node = change.New ? change.New : change.Old;
    lengths.resize(change.Level);
    if (change.Level == 0)
      path = FullPath(*(newRoot ? newRoot : oldRoot));
    else if (!node->Parent)  // a drive below All Drives: named by its whole path
      path = node->Name;
    else {
      path.resize(lengths.back());
      JoinPath(path, node->Name);
    }
    lengths.push_back(path.size());
    if (change.NewSize == change.OldSize) continue;
    if (!(out.Write(Bytes(change.Change())) && out.Write("\t") && out.Write(Bytes(change.OldSize)) &&
          out.Write("\t") && WriteRecord(out, Bytes(change.NewSize), path, options.RecordEnd())))
      return;
  }
}

int ReportScan(const TScanView& scan, const TEntryIds* ids, const TScanOptions& options, double seconds,
               const std::atomic<int>& signal, std::FILE* out, std::FILE* err, std::FILE* saveTo,
               const DirNode* earlier) {
  const int saveError = saveTo ? WriteScanFile(scan, ids, saveTo) : 0;
  TOutput printed(out);
  // Standard output that carries the scan file carries nothing else.
  if (earlier) {
    if (!signal.load()) PrintChanges(earlier, scan.Root, options, printed);
  } else if (saveTo != out && options.Breakdown)
    PrintBreakdown(scan.Root, options, printed);
  else if (saveTo != out)
    PrintTree(scan.Root, options, printed);
  // Flushed before anything goes to stderr, so that a terminal shows the two in this order.
  printed.Flush();

  // One write per line: stderr is unbuffered, and may be shared with other programs.
  TOutput said(err);
  for (const TScanProblem& problem : *scan.Problems) {
    const bool folder = problem.Kind == TScanProblem::ReadFolder;
    // A scan file need not say why; errors are numbered from 1.
    const std::string reason = problem.Error > 0 ? std::strerror(problem.Error) : "reason not recorded";
    said.Write((folder ? "ostrel-scan: cannot read directory '" : "ostrel-scan: cannot access '") +
               FullPath(*problem.Node) + "': " + reason + "\n");
  }
  const bool outOfMemory = scan.Ending == TScanEnd::OutOfMemory;
  if (outOfMemory)
    said.Write("ostrel-scan: out of memory: the scan stopped after " + std::to_string(scan.Folders) + " folders\n");
  const int stoppedBy = signal.load();
  // Stopped with no signal here: a scan file that holds a stopped scan.
  const bool incomplete = scan.Ending == TScanEnd::Stopped && !stoppedBy;
  if (incomplete) said.Write("ostrel-scan: the scan was stopped before it ended: it is incomplete\n");
  // Not a failure: every entry was read; only the sum of their sizes has no number to show it.
  if (scan.Saturated)
    said.Write("ostrel-scan: some totals pass 2^64 - 1 bytes and are shown as 18446744073709551615 (capped)\n");
  if (saveError)
    said.Write("ostrel-scan: cannot write '" + options.Output + "': " + std::string(std::strerror(saveError)) + "\n");
  if (printed.Error()) said.Write("ostrel-scan: write error: " + std::string(std::strerror(printed.Error())) + "\n");

  char summary[160];
  std::snprintf(summary, sizeof summary, "ostrel-scan: %d folders, %d files, %.3f s", scan.Folders, scan.Files,
                seconds);
  std::string line = summary;
  if (!scan.Problems->empty()) line += ", " + std::to_string(scan.Problems->size()) + " could not be read";
  if (stoppedBy)
    line += " (interrupted)";
  else if (outOfMemory)
    line += " (out of memory)";
  else if (incomplete)
    line += " (incomplete)";
  said.Write(line + "\n");
  said.Flush();

  const bool failed =
      !scan.Problems->empty() || outOfMemory || incomplete || saveError || printed.Error() || said.Error();
  return ExitStatus(stoppedBy, failed);
}

}  // namespace ostrel
