#include "platform/thread.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace ostrel {

void LimitHeapArenas() {
#ifdef __GLIBC__
  mallopt(M_ARENA_MAX, 2);
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
