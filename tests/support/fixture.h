// One helper for every test that needs real files: a temporary folder that is removed again
// (permissions restored first) when the object goes.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace ostrel::test {

class TempTree {
 public:
  TempTree();
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  // The tree's own folder, without a trailing "/".
  const std::string& Root() const { return RootPath; }
  // Root() + "/" + rel (Root() for an empty rel).
  std::string Path(const std::string& rel) const;

  // Makes a folder and every missing folder above it; returns its full path.
  std::string Dir(const std::string& rel);
  // Makes a file of `size` bytes (sparse: takes no disk blocks), folders above it as needed.
  std::string File(const std::string& rel, uint64_t size = 0);
  // Makes a file holding `content` exactly, folders above it as needed; returns its full path.
  std::string Write(const std::string& rel, const std::string& content);
  // Makes a symbolic link `rel` pointing at `target` (taken literally).
  std::string Link(const std::string& rel, const std::string& target);
  // Makes a chain of `depth` nested folders "d/d/d/..." under `rel`; returns the deepest path.
  std::string Chain(const std::string& rel, int depth, const std::string& name = "d");

 private:
  std::string RootPath;
};

// Sets the times of the entry at `path` to `seconds`, not following a link.
void SetTime(const std::string& path, int64_t seconds);
// The bytes of the file at `path`; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// The space the entry at `path` takes on disk (its blocks), not following a link; 0 when there is none.
uint64_t DiskBytes(const std::string& path);

// True when the process can read folders whose permissions deny it (root can).
bool PermissionsBypassed();

// Runs `body` in a child process and returns what it reported: "" when all went well, text
// starting "SKIP: " when the child could not set itself up, else what failed. For what must
// not touch the test process: another user, a mount namespace, lowered limits.
std::string InChild(const std::function<std::string()>& body);

// In a child: makes a process running as root an ordinary user (nobody), so that folder
// permissions apply to it. "" on success (also when not root), else a "SKIP: " reason.
std::string BecomeOrdinaryUser();

// Fails the check in an InChild body with the condition and its line.
#define CHILD_CHECK(cond)                                                                  \
  do {                                                                                     \
    if (!(cond)) return std::string(#cond " failed at line ") + std::to_string(__LINE__); \
  } while (0)

}  // namespace ostrel::test
