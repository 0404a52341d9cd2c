// The command-line scanner's pieces that can be tested without running a scan: option parsing
// and the printing of a finished tree.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "scan/dirnode.h"

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
  std::string Path;  // empty: all drives
};

// Parses argv[1..]; returns an empty text on success, otherwise what was wrong.
std::string ParseScanOptions(const std::vector<std::string>& args, TScanOptions& options);

// The --help text.
const char* ScanUsage();

// Prints one line per folder node (and file node with `files`) down to `maxDepth` levels below
// `root`: TotalSize in whole bytes, a tab, the full path; in tree order, each folder before its
// children. A null root prints nothing.
void PrintTree(const DirNode* root, int maxDepth, bool files, std::FILE* out);

// Prints the points the chart draws for `root`: label, a tab, the value in whole bytes; in chart
// order. The subfolders are the root's folder children; `combine` folds small ones.
void PrintBreakdown(const DirNode* root, bool combine, std::FILE* out);

}  // namespace ostrel
