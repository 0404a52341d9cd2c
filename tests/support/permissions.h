// Permission bits that bind the test itself, even when it runs as root.
#pragma once
#include <dirent.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace ostrel::test {

// Root reads every folder whatever its permissions. For as long as this lives, the calling
// thread, and any thread it starts, is held to the permission bits (the two capabilities that
// override them are lowered in its effective set, and raised again at the end).
class TPermissionsEnforced {
 public:
  TPermissionsEnforced() {
    if (geteuid() != 0) {
      Active = true;
      return;
    }
    Header.version = _LINUX_CAPABILITY_VERSION_3;
    if (syscall(SYS_capget, &Header, Saved) != 0) return;
    __user_cap_data_struct lowered[2];
    std::memcpy(lowered, Saved, sizeof lowered);
    for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH}) lowered[cap / 32].effective &= ~(1u << (cap % 32));
    Lowered = syscall(SYS_capset, &Header, lowered) == 0;
    Active = Lowered;
  }
  ~TPermissionsEnforced() {
    if (Lowered) syscall(SYS_capset, &Header, Saved);
  }
  // True when permission bits now stop this thread.
  bool Enforced(const std::string& lockedFolder) const {
    if (!Active) return false;
    DIR* dir = opendir(lockedFolder.c_str());
    if (dir) closedir(dir);
    return dir == nullptr;
  }

 private:
  __user_cap_header_struct Header{};
  __user_cap_data_struct Saved[2]{};
  bool Lowered = false;
  bool Active = false;
};

}  // namespace ostrel::test
