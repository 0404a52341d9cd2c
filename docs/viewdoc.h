// Handing documents, folders and web pages to the desktop (docs/desktop.h), which opens them
// for the user, and finding the program's manual to open.
#pragma once
#include <QUrl>

#include <string>
#include <string_view>

#include "docs/desktop.h"
#include "scan/paths.h"

namespace ostrel {

// Where an installation puts the manual, relative to the folder of the installed program file
// (set by the build from the install layout; "../share/doc/ostrel" for the usual one).
#ifdef OSTREL_DOCDIR_FROM_BINDIR
inline constexpr const char* InstalledDocFolder = OSTREL_DOCDIR_FROM_BINDIR;
#else
inline constexpr const char* InstalledDocFolder = "../share/doc/ostrel";
#endif

// ---- The manual -------------------------------------------------------------------------------

// Looks for the document `name` (base name without extension; null counts as "") and opens the
// first file found with `desktop`. `programFile` is the running program file's path
// (ProgramFilePath(); "" skips candidates 5 to 8). The candidates, in order:
//   1, 2  `directory` joined with "<name>.html", then "<name>.htm"
//   3, 4  "<name>.html", "<name>.htm" in the folder that is current at the time of the call
//   5, 6  the same two in the folder of the running program file (ProgramFilePath)
//   7, 8  the same two in InstalledDocFolder below the program file's folder, where
//         `cmake --install` puts the manual
// A candidate counts only when it is a regular file (a folder of that name is skipped).
// Returns 1 when a file was handed to the desktop (when the desktop could not open it, a box
// caption "Error" owned by no window names the file), 0 when none was found; then, unless `quiet` is not 0, the "Unable to find
// documentation" box (caption "error", owned by no window) is shown first. A null `directory`
// counts as "".
int ViewDocument(TDesktop& desktop, const char* name, const char* directory, int quiet,
                 const std::string& programFile);

// Hands `path` (bytes, relative to the current folder unless absolute) to `desktop` and
// returns 1 when a regular file exists there, saying so in a box when the desktop could not
// open it; returns 0 and does nothing otherwise (also for a folder, or a null path).
int OpenIfExists(TDesktop& desktop, const char* path);

// Writes `directory`, a separator unless it already ends in one (with drive letters also after
// a bare drive "D:"), and `file` into `out`; returns `out`. An empty `directory` gives `file`
// alone, a path relative to the current folder. Null texts count as "".
std::string& JoinPath(const char* directory, const char* file, std::string& out,
                      TPathStyle style = NativePathStyle);

// The folder part of a program file's full path: everything from its last separator on
// removed, but "/" for a file in the root. Empty when `programFile` holds no separator.
std::string ProgramFolder(std::string_view programFile);

// `folder` followed by the relative path `relative` with "." and ".." steps applied to the
// text (never above the root). Suits the program file's folder, which holds no links.
std::string ResolveRelative(std::string folder, std::string_view relative);

// ---- Opening ----------------------------------------------------------------------------------

// The file: URL of a local path given as bytes. Every byte outside the unreserved characters
// and "/" is percent-encoded, so a name that is not valid UTF-8 reaches the desktop unchanged.
// A relative path is taken from the current folder.
QUrl LocalFileUrl(std::string_view path);

// Asks `desktop` to show the folder `path` (bytes) in its file manager, by its LocalFileUrl.
// When the desktop could not, a box (caption "Error", owned by no window) names the folder.
// A null or empty path does nothing.
void ExploreFolder(TDesktop& desktop, const char* path);

// Asks `desktop` to open the web page `url` (UTF-8) in the user's browser; when it could not,
// a box (caption "Error", owned by no window) names the page. A null or empty url does nothing.
void OpenUrl(TDesktop& desktop, const char* url);

}  // namespace ostrel
