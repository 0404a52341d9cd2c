// A job that makes a tree on a thread of its own: a walk (TThreadLoader) or the reading of a
// scan file (TFileLoader), for the window to show or to compare with. Every job is started,
// stopped, detached and owned the same way: made suspended, given whom to notify, resumed
// once; asked to stop through StopFlag; and when its owner loses interest, detached, so that
// it neither notifies nor goes on longer than it must. Its end is one synchronous message to
// NotifyWindow (lParam the job as its own class, see the message's definition). From that
// message on, the accessors give what the job made.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/thread.h"
#include "platform/winmsg.h"
#include "scan/scanresult.h"

namespace ostrel {

class TEntryIds;

class TTreeJob : public TThread {
 public:
  // Nonzero: make no further folder and keep what was made. Set by the owner, never cleared
  // by the job.
  std::atomic<int32_t> StopFlag{0};
  // Who hears that the job has ended (NoWindow: nobody), and with which message (0: none).
  std::atomic<THandle> NotifyWindow{NoWindow};
  std::atomic<uint32_t> NotifyMessage{0};

  // Notifies `window` when it ends, then starts. Only the first start has an effect.
  void Start(THandle window) {
    NotifyWindow.store(window);
    Resume();
  }
  // Asks the job to stop at its next folder.
  void Stop() { StopFlag.store(1); }
  // Silences the job, which sends no notice from now on, and asks it to stop. What it made
  // stays until the job is freed.
  void Detach() {
    NotifyWindow.store(NoWindow);
    NotifyMessage.store(0);
    Stop();
  }

  // Whether a stop reaches the job within a folder, so that its owner may wait for it: a walk's
  // does; a file's reading can be held by a pipe nobody writes to, or a hung file system.
  virtual bool StopsPromptly() const { return true; }
  // Whether the job walks folders on disk (rather than reading what a file says of them).
  virtual bool Walks() const { return true; }
  // Folders made so far; any thread may ask.
  virtual int32_t FoldersSoFar() const = 0;
  // From the notice on (or after WaitFor): the tree made, whole or as far as it got.
  virtual const TScanResult& Outcome() const = 0;
  // The same for its owner to change once the job has ended (treeedit.h).
  virtual TScanResult& Outcome() = 0;
  // The device and inode numbers of the tree's folders, as a scan file needs them; null when
  // they were not recorded.
  virtual const TEntryIds* Ids() const = 0;
  // Why the job made no tree; empty when it made one (or was stopped before its root).
  virtual std::string ErrorText() const { return {}; }
};

}  // namespace ostrel
