#include "scan/paths.h"

#include "platform/files.h"

namespace ostrel {

char PathSeparator(TPathStyle style) { return style == TPathStyle::Posix ? '/' : '\\'; }

bool IsPathSeparator(char c, TPathStyle style) {
  return c == '/' || (style == TPathStyle::DriveLetters && c == '\\');
}

std::string& AddPathSeparator(std::string& path, TPathStyle style) {
  if (path.empty()) return path;
  const char sep = PathSeparator(style);
  if (style == TPathStyle::DriveLetters && path.back() == ':')
    path += ".\\";
  else if (path.back() != sep)
    path += sep;
  return path;
}

int IsDirectory(const char* path) { return path && FolderExists(path) ? 16 : 0; }

int EnsureDirs(const std::string& path, int create, TPathStyle style) {
  const char sep = PathSeparator(style);
  for (size_t i = 1; i < path.size(); ++i) {
    if (path[i] != sep) continue;
    const std::string part = path.substr(0, i);
    const char before = part.back();
    bool present = before == ':' || before == '.' || IsDirectory(part.c_str());
    // A folder that appeared meanwhile (another program made it) is as good as one we made.
    if (!present && create) present = MakeFolder(part.c_str()) || IsDirectory(part.c_str());
    if (!present) return 0;
  }
  return 1;
}

}  // namespace ostrel
