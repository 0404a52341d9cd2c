// The project's one consistency check. It stays active in release builds: a failed check
// reports "Assertion failed: <condition>, file <source>, line <line>" on stderr and ends the
// program, because going on with a broken list or pool would corrupt what the user sees.
#pragma once

namespace ostrel {
[[noreturn]] void AssertFailed(const char* condition, const char* file, int line);
}

#define OSTREL_ASSERT(cond) \
  ((cond) ? static_cast<void>(0) : ::ostrel::AssertFailed(#cond, __FILE__, __LINE__))
