#include "platform/thread.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace ostrel {

void LimitHeapArenas() {
#ifdef __GLIBC__
  mallopt(M_ARENA_MAX, 2);
#endif
}

void FillPagesNow(void* start, size_t bytes) {
#if defined(__linux__)
  const long size = sysconf(_SC_PAGESIZE);
  if (size <= 0) return;
  const uintptr_t page = static_cast<uintptr_t>(size);
  const uintptr_t from = (reinterpret_cast<uintptr_t>(start) + page - 1) & ~(page - 1);
  const uintptr_t to = (reinterpret_cast<uintptr_t>(start) + bytes) & ~(page - 1);
#ifdef MADV_POPULATE_WRITE
  constexpr int PopulateWrite = MADV_POPULATE_WRITE;
#else
  constexpr int PopulateWrite = 23;  // Linux 5.14's value, for older headers
#endif
  // An older kernel refuses it, and the pages then come as they are written.
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, PopulateWrite);
#else
  (void)start;
  (void)bytes;
#endif
}

TThread::~TThread() { WaitFor(); }

void TThread::Resume() {
  bool expected = false;
  if (!Started.compare_exchange_strong(expected, true, std::memory_order_acq_rel)) return;
  Worker = std::thread([this] {
    try {
      Execute();
    } catch (...) {
      // An escaping exception would end the whole process; the thread just ends instead.
    }
    FinishedFlag.store(true, std::memory_order_release);
  });
}

void TThread::WaitFor() {
  // Joining itself would throw; from within Execute there is nothing to wait for.
  if (!Worker.joinable() || Worker.get_id() == std::this_thread::get_id()) return;
  Worker.join();
}

}  // namespace ostrel
