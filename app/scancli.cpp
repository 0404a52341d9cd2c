#include "app/scancli.h"

#include <charconv>
#include <utility>

#include "mainwin/breakdown.h"

namespace ostrel {

const char* ScanUsage() {
  return "Usage: ostrel-scan [--max-depth N] [--files] [--include-floppy] [--include-cd]\n"
         "                   [--include-net] [PATH]\n"
         "       ostrel-scan --breakdown [--no-combine] PATH\n"
         "\n"
         "Scans PATH (or, without PATH, every drive of this computer) with the same engine as\n"
         "the Ostrel window and prints one line per folder: its total size in bytes, a tab, and\n"
         "its full path, each folder before its subfolders.\n"
         "\n"
         "  --max-depth N     print folders down to N levels below the root (default 1)\n"
         "  --files           print file lines too\n"
         "  --include-floppy  with all drives: include floppy drives\n"
         "  --include-cd      with all drives: include CD-ROM and read-only image drives\n"
         "  --include-net     with all drives: include network drives\n"
         "  --breakdown       print the chart's points for PATH instead: label, a tab, bytes\n"
         "  --no-combine      with --breakdown: do not fold small subfolders into one point\n"
         "  --help            show this text\n"
         "\n"
         "Sizes are apparent sizes; symbolic links are never followed; a drive's walk stays on\n"
         "its own file system. A summary line (folders, files, seconds) goes to stderr.\n"
         "Ctrl-C stops the scan and prints what was scanned so far.\n"
         "Exit status: 0 done, 1 PATH names no folder, 2 bad options.\n";
}

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
    } else if (arg == "--include-floppy") {
      options.IncludeFloppy = true;
    } else if (arg == "--include-cd") {
      options.IncludeCd = true;
    } else if (arg == "--include-net") {
      options.IncludeNet = true;
    } else if (arg == "--max-depth" || arg.rfind("--max-depth=", 0) == 0) {
      std::string value;
      if (arg == "--max-depth") {
        if (i + 1 >= args.size()) return "--max-depth needs a number";
        value = args[++i];
      } else {
        value = arg.substr(12);
      }
      int depth = 0;
      auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), depth);
      if (ec != std::errc() || end != value.data() + value.size() || depth < 0)
        return "--max-depth needs a whole number of 0 or more, not '" + value + "'";
      options.MaxDepth = depth;
    } else {
      return "unknown option '" + arg + "'";
    }
  }
  if (options.Breakdown && !pathSeen && !options.Help) return "--breakdown needs a PATH";
  if (options.NoCombine && !options.Breakdown) return "--no-combine goes with --breakdown";
  return {};
}

void PrintBreakdown(const DirNode* root, bool combine, std::FILE* out) {
  if (!root) return;
  std::vector<TChartItem> children;
  for (const DirNode* child = root->FirstChild; child; child = child->NextSibling)
    if (child->Kind == NodeFolder) children.push_back({child->Name, child->TotalSize});
  for (const TChartPoint& point : ComputeBreakdown(children, root->TotalSize, combine ? 1 : 0))
    std::fprintf(out, "%s\t%.0f\n", point.Label.c_str(), point.Value);
}

void PrintTree(const DirNode* root, int maxDepth, bool files, std::FILE* out) {
  if (!root) return;
  // Explicit stack: trees may be far deeper than a thread's stack allows recursion.
  std::vector<const DirNode*> stack{root};
  std::vector<const DirNode*> children;
  const int32_t lastDepth = root->Depth + maxDepth;
  while (!stack.empty()) {
    const DirNode* node = stack.back();
    stack.pop_back();
    std::fprintf(out, "%.0f\t%s\n", node->TotalSize, FullPath(*node).c_str());
    if (node->Depth >= lastDepth) continue;
    children.clear();
    for (const DirNode* child = node->FirstChild; child; child = child->NextSibling)
      if (child->Kind == NodeFolder || files) children.push_back(child);
    stack.insert(stack.end(), children.rbegin(), children.rend());
  }
}

}  // namespace ostrel
