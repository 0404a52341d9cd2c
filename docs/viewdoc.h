// Handing documents, folders and web pages to the desktop, which opens them for the user, and
// finding the program's manual to open. Also the program's plain OK message box, which the
// launcher and the main window's commands show.
#pragma once
#include <QUrl>

#include <functional>
#include <string>
#include <string_view>

#include "scan/paths.h"

class QMessageBox;

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
// first file found with the desktop. The candidates, in order:
//   1, 2  `directory` joined with "<name>.html", then "<name>.htm"
//   3, 4  "<name>.html", "<name>.htm" in the folder that is current at the time of the call
//   5, 6  the same two in the folder of the running program file (ProgramFilePath)
//   7, 8  the same two in InstalledDocFolder below the program file's folder, where
//         `cmake --install` puts the manual
// A candidate counts only when it is a regular file (a folder of that name is skipped).
// Returns 1 when a file was handed to the desktop (whether the desktop could open it is not
// examined), 0 when none was found; then, unless `quiet` is not 0, the "Unable to find
// documentation" box (caption "error") is shown first. A null `directory` counts as "".
int ViewDocument(const char* name, const char* directory, int quiet);
// The same with the program file's path given, for tests ("" skips candidates 5 to 8).
int ViewDocument(const char* name, const char* directory, int quiet, const std::string& programFile);

// Hands `path` (bytes, relative to the current folder unless absolute) to the desktop and
// returns 1 when a regular file exists there; returns 0 and does nothing otherwise (also for a
// folder, or a null path).
int OpenIfExists(const char* path);

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

// Asks the desktop to show the folder `path` (bytes) in its file manager. Whether it did is not
// reported. A null or empty path does nothing.
void ExploreFolder(const char* path);

// Asks the desktop to open the web page `url` (UTF-8) in the user's browser. Whether it opened
// is not reported. A null or empty url does nothing.
void OpenUrl(const char* url);

// Where every "open" of this unit ends up. By default the desktop (QDesktopServices::openUrl);
// a hook set here receives the URL instead, so that tests record what would be opened and no
// browser starts. An empty hook restores the desktop.
using TShellOpenHook = std::function<void(const QUrl&)>;
void SetShellOpenHook(TShellOpenHook hook);

// ---- Message box ------------------------------------------------------------------------------

// Shows `text` (UTF-8) in a modal message box captioned `caption`, owned by no window, with a
// single OK button and no icon; returns when the user has closed it.
void ShowOkMessage(const char* text, const char* caption);

// A hook set here receives the fully built box instead of its modal run, so that tests see what
// would be shown without a nested event loop. An empty hook restores the modal run.
using TMessageBoxHook = std::function<void(QMessageBox&)>;
void SetMessageBoxHook(TMessageBoxHook hook);

}  // namespace ostrel
