// Window handles and a synchronous send, without a windowing system: a handle names a
// receiver registered here, and SendMessageSync calls it on the sender's thread and returns
// when it returns. A GUI receiver carries the message over to its own thread and blocks there.
#pragma once
#include <cstdint>
#include <memory>

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

// Registers a receiver and returns its handle (never NoWindow); a null receiver gets a handle
// that names nobody. The registry shares ownership of the receiver until the handle is
// unregistered, and every send running at that moment until it returns: a receiver goes when
// its last user lets go of it, on whichever thread that is.
THandle RegisterWindow(std::shared_ptr<TMessageReceiver> receiver);
// Forgets the handle; later sends to it do nothing. A send that found the receiver before
// still calls it.
void UnregisterWindow(THandle window);
// Calls the receiver of `window` and returns its result; 0 when the handle names nobody.
std::intptr_t SendMessageSync(THandle window, uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

}  // namespace ostrel
