// A thread object in the desktop system's manner: made suspended, configured, resumed once,
// and its virtual Execute runs on the new thread.
//
// Resume, WaitFor and the destructor belong to the owning thread (the one that made the
// object); only Finished may be asked from anywhere.
//
// A derived class whose Execute can still be running when the object is destroyed must call
// WaitFor() first thing in its own destructor. The base destructor waits too, but it runs after
// the derived members are gone and the object has already become a plain TThread, so by then
// a running Execute would touch freed members.
#pragma once
#include <cstddef>
#include <atomic>
#include <thread>

namespace ostrel {

// For a program's start, before it makes threads: the heap keeps at most two arenas. A scan's
// helper threads allocate little, and an arena of their own each would hold more memory than
// it saves time.
void LimitHeapArenas();

// Has the system give `bytes` of fresh memory from `start` its pages now, in one go, rather
// than one fault at a time as they are first written: for memory about to be filled whole.
// Where the system cannot, it does nothing.
void FillPagesNow(void* start, size_t bytes);

class TThread {
 public:
  TThread() = default;
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;
  // Waits for a running thread to end; a never-resumed one simply goes. Must not run on the
  // object's own thread (from within Execute).
  virtual ~TThread();

  // Starts Execute on a new thread. Only the first call has an effect.
  void Resume();
  // Blocks until Execute has returned; returns at once if the thread was never resumed, was
  // already waited for, or when called from Execute itself.
  void WaitFor();
  // True once Execute has returned, also when it ended by throwing (the exception is dropped
  // so that it does not end the process).
  bool Finished() const { return FinishedFlag.load(std::memory_order_acquire); }

 protected:
  virtual void Execute() = 0;

 private:
  std::thread Worker;
  std::atomic<bool> Started{false};
  std::atomic<bool> FinishedFlag{false};
};

}  // namespace ostrel
