// What moving an entry of a scan to the Trash needs besides the window: whether the entry on
// disk is still the one the scan saw, and which trash folder it would go to.
#pragma once
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

namespace ostrel {

struct TEntryId;

enum class TEntryState { Same, Gone, Changed };

// Whether `path` (never followed when a link) is still the entry the scan saw: a folder when
// `folder`, else anything but a folder (a link is a file entry); its inode's low 32 bits equal
// `inodeTag` when that is not 0, its device and inode equal `id`'s when given. `error` is set
// from lstat for Gone.
TEntryState CheckEntry(const std::string& path, bool folder, uint32_t inodeTag, const TEntryId* id, int& error);

// The trash folder QFile::moveToTrash files the entry `path` (absolute) into, made now where
// that would make it (the home trash, or one of the entry's own file system). The trash must
// hold what is moved without copying: the result is empty, with `why` set, when there is no
// such folder, or when it is on another device than the folder holding the entry.
QString TrashFolderFor(const QString& path, QString& why);

// Whether one of the two paths is the other or lies below it.
bool PathsOverlap(std::string_view a, std::string_view b);

// "1 folder", "3 files", "2 folders and 1 file".
QString EntryCountText(int folders, int files);

}  // namespace ostrel
