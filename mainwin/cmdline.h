// The main window's command line: the switches it takes out before argument 1, the path.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// True when `arg` is "-autominimize", letters a-z compared without case (textcase.h).
bool IsAutoMinimizeSwitch(std::string_view arg);
// True when any argument from `args[1]` on is the switch; args[0] (the program) never counts.
bool HasAutoMinimizeSwitch(const std::vector<std::string>& args);
// Takes the first "-f" from `args[1]` on out of `args`, with the word after it, and returns that
// word: the scan file to open at start. Nothing when there is no "-f"; an empty text when it is
// the last argument (it is taken out all the same).
std::optional<std::string> TakeScanFileOption(std::vector<std::string>& args);

}  // namespace ostrel
