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

}  // namespace ostrel
