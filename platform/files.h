// Small file-system queries and the process's own locations.
#pragma once
#include <string>

namespace ostrel {

// True when `path` names an existing folder (a link to a folder counts).
bool FolderExists(const char* path);
// True when `path` names an existing regular file (a link to one counts).
bool FileExists(const char* path);
// Makes one folder; true on success. An existing folder is a failure, as with mkdir.
bool MakeFolder(const char* path);
// The absolute form of `path` with every link, "." and ".." resolved; empty when it does not
// name anything.
std::string ResolvedPath(const std::string& path);
// The process's working directory; empty when it cannot be read.
std::string WorkingDirectory();
// Full path of the running program file; empty when it cannot be read.
std::string ProgramFilePath();

}  // namespace ostrel
