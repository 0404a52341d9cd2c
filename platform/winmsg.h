// Window handles and a synchronous send, without a windowing system: a handle names a
// receiver registered here, and SendMessageSync calls it on the sender's thread and returns
// when it returns. A GUI receiver carries the message over to its own thread and blocks there.
#pragma once
#include <cstdint>

namespace ostrel {

using THandle = std::intptr_t;
// The handle with all bits set names nobody.
inline constexpr THandle NoWindow = -1;
// The first private window-message number.
inline constexpr uint32_t WmUser = 1024;

class TMessageReceiver {
 public:
  virtual ~TMessageReceiver() = default;
  // Handles one message; runs on the sending thread.
  virtual std::intptr_t HandleMessage(uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

// Registers a receiver and returns its handle (never NoWindow). The receiver must stay alive
// until it is unregistered and no send to it is still running.
THandle RegisterWindow(TMessageReceiver* receiver);
// Forgets the handle; later sends to it do nothing.
void UnregisterWindow(THandle window);
// Calls the receiver of `window` and returns its result; 0 when the handle names nobody.
std::intptr_t SendMessageSync(THandle window, uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

}  // namespace ostrel
