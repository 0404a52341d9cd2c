// TFormReceiver: the main window's end of the platform's synchronous send. A message sent to the
// window's handle from any thread runs TForm1::Dispatch on the GUI thread, and the sender waits
// until it has run; sent from the GUI thread itself, Dispatch is called directly.
//
// The window and the registry share the receiver (RegisterWindow). A scan thread may have looked
// it up just before the window unregistered it and call it afterwards; that send keeps the
// receiver alive, finds it detached and gets 0.
#pragma once
#include <cstdint>
#include <mutex>

#include "platform/winmsg.h"

namespace ostrel {

class TForm1;

class TFormReceiver final : public TMessageReceiver {
 public:
  explicit TFormReceiver(TForm1* form) : Form(form) {}

  // Returns what Dispatch returned; 0 once detached, or when the window went before the
  // message was handled.
  std::intptr_t HandleMessage(uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;

  // Called on the GUI thread as the window goes: later messages are dropped, and messages
  // already waiting for the GUI thread are released unhandled.
  void Detach();

 private:
  std::mutex Lock;         // guards Form and the posting of a message
  TForm1* Form;            // null once detached
};

}  // namespace ostrel
