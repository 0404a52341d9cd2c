#include "mainwin/trash.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>
#include <cerrno>
#include <utility>

#include "mainwin/folderitem.h"
#include "scanfile/entryids.h"

namespace ostrel {
namespace {

QByteArray Native(const QString& path) { return QFile::encodeName(path); }

// Made as moveToTrash makes a trash folder (for its owner alone, its parent already there),
// or there already as a folder.
bool MakeTrashFolder(const QString& folder) {
  if (mkdir(Native(folder).constData(), S_IRWXU) == 0) return true;
  struct stat st {};
  return stat(Native(folder).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

TEntryState CheckEntry(const std::string& path, bool folder, uint32_t inodeTag, const TEntryId* id, int& error) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) {
    error = errno;
    return TEntryState::Gone;
  }
  if (S_ISDIR(st.st_mode) != folder) return TEntryState::Changed;
  if (inodeTag != 0 && static_cast<uint32_t>(st.st_ino) != inodeTag) return TEntryState::Changed;
  if (id && (static_cast<uint64_t>(st.st_dev) != id->Device || static_cast<uint64_t>(st.st_ino) != id->Inode))
    return TEntryState::Changed;
  return TEntryState::Same;
}

QString TrashFolderFor(const QString& path, QString& why) {
  // The choice moveToTrash makes: an entry on the home folder's file system goes to the home
  // trash; one elsewhere to $topdir/.Trash/$uid (an administrator's sticky folder) or
  // $topdir/.Trash-$uid of its own file system, and only when neither can be had to the home
  // trash. Making the folder here first matters: when the home trash cannot be made,
  // moveToTrash takes the working folder for it.
  QString trash;
  const QStorageInfo source(path);
  if (source != QStorageInfo(QDir::home())) {
    const QString top =
        source.rootPath().endsWith(QLatin1Char('/')) ? source.rootPath() : source.rootPath() + QLatin1Char('/');
    const QString user = QString::number(getuid());
    struct stat st {};
    const QString shared = top + QStringLiteral(".Trash");
    if (lstat(Native(shared).constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) &&
        MakeTrashFolder(shared + QLatin1Char('/') + user))
      trash = shared + QLatin1Char('/') + user;
    if (trash.isEmpty() && MakeTrashFolder(shared + QLatin1Char('-') + user)) trash = shared + QLatin1Char('-') + user;
  }
  if (trash.isEmpty()) {
    const QString home =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Trash");
    if (!MakeTrashFolder(home)) {
      why = QStringLiteral("the Trash folder %1 could not be made (%2)").arg(home, ErrorReason(errno));
      return {};
    }
    trash = home;
  }
  // Across file systems moveToTrash fails rather than copies; said here in words the user
  // can act on, before anything is tried.
  const QString parent = QFileInfo(path).path();
  struct stat inTrash {};
  struct stat holder {};
  if (stat(Native(trash).constData(), &inTrash) != 0 || stat(Native(parent).constData(), &holder) != 0) {
    why = ErrorReason(errno);
    return {};
  }
  if (inTrash.st_dev != holder.st_dev) {
    why = QStringLiteral("its Trash folder %1 is on another file system, and it is not copied there").arg(trash);
    return {};
  }
  return trash;
}

bool PathsOverlap(std::string_view a, std::string_view b) {
  if (a.size() > b.size()) std::swap(a, b);
  if (b.substr(0, a.size()) != a) return false;
  return a.size() == b.size() || (!a.empty() && a.back() == '/') || b[a.size()] == '/';
}

QString EntryCountText(int folders, int files) {
  auto count = [](int n, const char* one, const char* many) {
    return QString::number(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? one : many);
  };
  if (folders > 0 && files > 0)
    return count(folders, "folder", "folders") + QStringLiteral(" and ") + count(files, "file", "files");
  return folders > 0 ? count(folders, "folder", "folders") : count(files, "file", "files");
}

}  // namespace ostrel
