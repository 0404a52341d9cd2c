#include "scanfile/fileloader.h"

#include <new>

namespace ostrel {

void TFileLoader::Execute() {
  try {
    Error = ReadScanFile(Path, Scan, &StopFlag);
  } catch (const std::bad_alloc&) {
    // Not enough memory to add up even what was read: show nothing rather than a tree in parts.
    Error = "not enough memory to read it";
    Scan.Result.Root = nullptr;
  }
  const uint32_t msg = NotifyMessage.load();
  if (msg != 0) SendMessageSync(NotifyWindow.load(), msg, 0, reinterpret_cast<std::intptr_t>(this));
}

}  // namespace ostrel
