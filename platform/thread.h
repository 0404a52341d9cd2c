// A thread object in the desktop system's manner: made suspended, configured, resumed once,
// and its virtual Execute runs on the new thread.
#pragma once
#include <atomic>
#include <thread>

namespace ostrel {

class TThread {
 public:
  TThread() = default;
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;
  // Waits for a running thread to end; a never-resumed one simply goes.
  virtual ~TThread();

  // Starts Execute on a new thread. Only the first call has an effect.
  void Resume();
  // Blocks until Execute has returned; returns at once if the thread was never resumed.
  void WaitFor();
  // True once Execute has returned.
  bool Finished() const { return FinishedFlag.load(std::memory_order_acquire); }

 protected:
  virtual void Execute() = 0;

 private:
  std::thread Worker;
  std::atomic<bool> Started{false};
  std::atomic<bool> FinishedFlag{false};
};

}  // namespace ostrel
