// Every input that ever made the scan-file reader crash, hang or misbehave (most found by
// tools/fuzz) is kept in tests/scanfile/regressions/ and read here in every build, each with
// what reading it must give. A file there without an expectation here fails, so that none is
// kept without being read.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "scanfile/importscan.h"

using namespace ostrel;

namespace {

// The refusal, or the folders and files read and how the file says the scan ended.
std::string Verdict(const std::string& path) {
  TImportedScan scan;
  const std::string error = ReadScanFile(path, scan);
  if (!error.empty()) return error;
  const char* ending = scan.Result.Ending == TScanEnd::Complete ? "complete" : scan.Result.Ending == TScanEnd::Stopped ? "stopped" : "out of memory";
  return std::string(scan.Result.Root ? "tree" : "no tree") + ", " + std::to_string(scan.Result.Folders) + " folders, " +
         std::to_string(scan.Result.Files) + " files, " + ending;
}

const std::map<std::string, std::string> Expected = {
    // The parser's stack was moved from null on its first push, whatever the input.
    {"first-push.json", "tree, 1 folders, 0 files, complete"},
    // A scan stopped before its root: read, without a tree.
    {"stopped-without-root.json", "no tree, 0 folders, 0 files, stopped"},
    {"asize-2-64-1.json", "tree, 1 folders, 1 files, complete"},
    // Refused where the name passes 4,096 bytes, the 4,097th and its closing quote read.
    {"name-4097.json", "byte 4129: a name is longer than 4096 bytes"},
    // Read, then written again: the writer's stack too was moved from null on its first push.
    {"written-again.json.gz", "tree, 1 folders, 1 files, complete"},
};

TEST(ScanFileRegressions, EachKeptInputReadsAsItMust) {
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(OSTREL_REGRESSIONS)) {
    const std::string name = entry.path().filename().string();
    ++files;
    const auto expected = Expected.find(name);
    if (expected == Expected.end()) {
      ADD_FAILURE() << name << ": no expectation";
      continue;
    }
    EXPECT_EQ(Verdict(entry.path().string()), expected->second) << name;
  }
  EXPECT_EQ(files, Expected.size());
}

}  // namespace
