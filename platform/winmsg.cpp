#include "platform/winmsg.h"

#include <mutex>
#include <unordered_map>
#include <utility>

namespace ostrel {
namespace {

struct TRegistry {
  std::mutex Lock;
  std::unordered_map<THandle, std::shared_ptr<TMessageReceiver>> Receivers;
  THandle Next = 1;
};

// Built on first use, so registering from another file's static initialiser is safe.
TRegistry& Registry() {
  static TRegistry registry;
  return registry;
}

}  // namespace

THandle RegisterWindow(std::shared_ptr<TMessageReceiver> receiver) {
  TRegistry& reg = Registry();
  std::lock_guard<std::mutex> guard(reg.Lock);
  THandle handle = reg.Next++;
  if (receiver) reg.Receivers.emplace(handle, std::move(receiver));
  return handle;
}

void UnregisterWindow(THandle window) {
  TRegistry& reg = Registry();
  std::lock_guard<std::mutex> guard(reg.Lock);
  reg.Receivers.erase(window);
}

std::intptr_t SendMessageSync(THandle window, uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  if (window == NoWindow) return 0;
  std::shared_ptr<TMessageReceiver> receiver;
  {
    TRegistry& reg = Registry();
    std::lock_guard<std::mutex> guard(reg.Lock);
    auto it = reg.Receivers.find(window);
    if (it != reg.Receivers.end()) receiver = it->second;
  }
  // Called without the lock: the receiver may block on another thread that registers,
  // unregisters or sends in the meantime. The copy keeps it alive until the call returns.
  return receiver ? receiver->HandleMessage(msg, wParam, lParam) : 0;
}

}  // namespace ostrel
