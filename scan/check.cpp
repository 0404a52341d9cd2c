#include "scan/check.h"

#include <cstdio>
#include <cstdlib>

namespace ostrel {

namespace {

// The report names the file alone, whatever path the compiler put into __FILE__.
const char* BaseName(const char* path) {
  const char* base = path;
  for (const char* p = path; *p != '\0'; ++p) {
    if (*p == '/' || *p == '\\') base = p + 1;
  }
  return base;
}

}  // namespace

void AssertFailed(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", condition,
               BaseName(file != nullptr ? file : ""), line);
  std::fflush(stderr);
  std::abort();
}

}  // namespace ostrel
