// TFormReceiver: the main window's end of the platform's synchronous send. A message sent to the
// window's handle from any thread runs TForm1::Dispatch on the GUI thread, and the sender waits
// until it has run; sent from the GUI thread itself, Dispatch is called directly.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/winmsg.h"

namespace ostrel {

class TForm1;

class TFormReceiver final : public TMessageReceiver {
 public:
  explicit TFormReceiver(TForm1* form) : Form(form) {}
  // Waits until no send is inside HandleMessage any more (Detach releases the waiting ones).
  // A receiver that was registered is never destroyed while the process runs (Retire).
  ~TFormReceiver() override;

  // Returns what Dispatch returned; 0 once detached, or when the window went before the
  // message was handled.
  std::intptr_t HandleMessage(uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;

  // Called on the GUI thread as the window goes: later messages are dropped, and messages
  // already waiting for the GUI thread are released unhandled.
  void Detach();

  // Keeps a detached receiver for the rest of the process. SendMessageSync looks a receiver up
  // and calls it outside the registry's lock, so a send that looked it up just before its
  // handle was unregistered can still arrive afterwards; a kept receiver answers it with 0.
  static void Retire(std::unique_ptr<TFormReceiver> receiver);

 private:
  std::mutex Lock;         // guards Form and the posting of a message
  TForm1* Form;            // null once detached
  std::atomic<int> InFlight{0};
};

}  // namespace ostrel
