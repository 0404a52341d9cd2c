#include "mainwin/cmdline.h"

#include <algorithm>
#include <cstddef>

#include "scan/textcase.h"

namespace ostrel {

bool IsAutoMinimizeSwitch(std::string_view arg) { return SameTextNoCase(arg, "-autominimize"); }

bool HasAutoMinimizeSwitch(const std::vector<std::string>& args) {
  for (size_t i = 1; i < args.size(); ++i)
    if (IsAutoMinimizeSwitch(args[i])) return true;
  return false;
}

std::optional<std::string> TakeScanFileOption(std::vector<std::string>& args) {
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] != "-f") continue;
    std::string file = i + 1 < args.size() ? args[i + 1] : std::string();
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(std::min(i + 2, args.size())));
    return file;
  }
  return std::nullopt;
}

}  // namespace ostrel
