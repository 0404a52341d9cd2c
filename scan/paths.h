// Path routines shared by the walk, the main window and the select-directory dialog.
#pragma once
#include <string>

namespace ostrel {

// The two separator styles: the native one, and the desktop system's with drive letters
// (kept so that both rules stay testable on any host).
enum class TPathStyle { Posix, DriveLetters };
#ifdef _WIN32
inline constexpr TPathStyle NativePathStyle = TPathStyle::DriveLetters;
#else
inline constexpr TPathStyle NativePathStyle = TPathStyle::Posix;
#endif

// The separator of a style, and whether `c` separates components in it (with drive letters
// both "\" and "/" do).
char PathSeparator(TPathStyle style = NativePathStyle);
bool IsPathSeparator(char c, TPathStyle style = NativePathStyle);

// Makes `path` end in a separator, in place, and returns it. Empty text stays empty; a text
// that already ends in the separator is unchanged; with drive letters a bare drive ("D:")
// gets ".\" so that it keeps naming that drive's current folder.
std::string& AddPathSeparator(std::string& path, TPathStyle style = NativePathStyle);

// 16 when `path` names an existing folder, 0 otherwise.
int IsDirectory(const char* path);

// 1 when every folder along `path` up to its last separator exists or, with `create` nonzero,
// could be made; 0 at the first that does not (folders made so far stay). The last component
// counts only when the text ends in a separator.
int EnsureDirs(const std::string& path, int create, TPathStyle style = NativePathStyle);

}  // namespace ostrel
