// What the engine's tests share: a walk run to its end, and nodes found by their paths.
#pragma once
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "scan/tloader.h"

namespace ostrel::test {

// Walks `path` to its end, over `listing` when given (else the real file system), on `threads`
// threads when given, with no drives but `drives`.
inline std::unique_ptr<TThreadLoader> Walk(const std::string& path, std::shared_ptr<TListing> listing = nullptr,
                                           int threads = 0, size_t memoryLimit = 0, std::vector<TDrive> drives = {}) {
  auto loader = std::make_unique<TThreadLoader>(true);
  loader->Path = path;
  loader->DriveSource = [drives] { return drives; };
  if (listing) loader->Listing = std::move(listing);
  if (threads > 0) loader->Threads = threads;
  loader->MemoryLimit = memoryLimit;
  loader->Resume();
  loader->WaitFor();
  return loader;
}

// The node at `rel` ("a/b") below `node`; null when there is none.
inline DirNode* Find(const DirNode* node, const std::string& rel) {
  DirNode* found = nullptr;
  for (size_t start = 0; node && start <= rel.size(); node = found) {
    const size_t slash = std::min(rel.find('/', start), rel.size());
    const std::string part = rel.substr(start, slash - start);
    for (found = node->FirstChild; found && part != found->Name;) found = found->NextSibling;
    start = slash + 1;
  }
  return found;
}

inline std::vector<std::string> ChildNames(const DirNode* node) {
  std::vector<std::string> names;
  for (const DirNode* c = node->FirstChild; c; c = c->NextSibling) names.push_back(c->Name);
  return names;
}

}  // namespace ostrel::test
