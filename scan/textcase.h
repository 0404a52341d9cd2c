// Text comparison without regard to case, in the program's one sense of it: the letters a to z
// count as A to Z and every other byte counts as its unsigned value, whatever the locale. So
// non-ASCII names compare byte by byte and the order never changes with the system's settings.
// The folder tree, the chart, the select-directory dialog's list, the command-line switch
// and the file list's filter all use it: one rule for the whole program.
#pragma once
#include <string_view>

namespace ostrel {

// Negative when `a` sorts before `b`, 0 when they are equal, positive otherwise. A text that is
// a prefix of the other sorts first.
int CompareNoCase(std::string_view a, std::string_view b);

inline bool SameTextNoCase(std::string_view a, std::string_view b) { return CompareNoCase(a, b) == 0; }

// Whether `part` occurs in `text` by the same rule; an empty `part` occurs in every text.
bool ContainsNoCase(std::string_view text, std::string_view part);

}  // namespace ostrel
