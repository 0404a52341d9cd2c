#include "docs/viewdoc.h"

#include <QFile>

#include <filesystem>

#include "platform/files.h"

namespace ostrel {

std::string& JoinPath(const char* directory, const char* file, std::string& out, TPathStyle style) {
  out = directory ? directory : "";
  if (!out.empty()) {
    const char last = out.back();
    if (!IsPathSeparator(last, style) && !(style == TPathStyle::DriveLetters && last == ':'))
      out += PathSeparator(style);
  }
  out += file ? file : "";
  return out;
}

std::string ProgramFolder(std::string_view programFile) {
  return std::filesystem::path(programFile).parent_path().string();
}

std::string ResolveRelative(std::string folder, std::string_view relative) {
  std::string out = (std::filesystem::path(folder) / relative).lexically_normal().string();
  // "a/b/" names the same folder as "a/b"; only the root keeps its separator.
  while (out.size() > 1 && IsPathSeparator(out.back())) out.pop_back();
  return out;
}

QUrl LocalFileUrl(std::string_view path) {
  QByteArray bytes(path.data(), static_cast<qsizetype>(path.size()));
  if (!bytes.startsWith('/')) {
    std::string absolute;
    bytes = QByteArray::fromStdString(JoinPath(WorkingDirectory().c_str(), bytes.constData(), absolute,
                                                TPathStyle::Posix));
  }
  return QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/"), QUrl::StrictMode);
}

namespace {

// Opens `url`; when the desktop cannot, says which `what` (a folder, document or web page,
// named `name`) could not be opened, in a box owned by no window.
void OpenOrSay(TDesktop& desktop, const QUrl& url, const char* what, const QString& name) {
  if (desktop.Open(url)) return;
  desktop.ShowMessage(nullptr, QStringLiteral("Could not open the %1 %2").arg(QLatin1String(what), name),
                      QStringLiteral("Error"));
}

QString DisplayName(const char* path) { return QFile::decodeName(QByteArray(path)); }

}  // namespace

int OpenIfExists(TDesktop& desktop, const char* path) {
  if (!FileExists(path)) return 0;
  OpenOrSay(desktop, LocalFileUrl(path), "document", DisplayName(path));
  return 1;
}

int ViewDocument(TDesktop& desktop, const char* name, const char* directory, int quiet,
                 const std::string& programFile) {
  const std::string base = name ? name : "";
  const std::string html = base + ".html";
  const std::string htm = base + ".htm";
  std::string candidate;

  if (OpenIfExists(desktop, JoinPath(directory, html.c_str(), candidate).c_str())) return 1;
  if (OpenIfExists(desktop, JoinPath(directory, htm.c_str(), candidate).c_str())) return 1;
  if (OpenIfExists(desktop, html.c_str())) return 1;
  if (OpenIfExists(desktop, htm.c_str())) return 1;

  const std::string programFolder = ProgramFolder(programFile);
  if (!programFolder.empty()) {
    for (const std::string& folder : {programFolder, ResolveRelative(programFolder, InstalledDocFolder)}) {
      if (OpenIfExists(desktop, JoinPath(folder.c_str(), html.c_str(), candidate).c_str())) return 1;
      if (OpenIfExists(desktop, JoinPath(folder.c_str(), htm.c_str(), candidate).c_str())) return 1;
    }
  }

  if (quiet == 0)
    desktop.ShowMessage(nullptr, QStringLiteral("Unable to find documentation"), QStringLiteral("error"));
  return 0;
}

void ExploreFolder(TDesktop& desktop, const char* path) {
  if (!path || !*path) return;
  OpenOrSay(desktop, LocalFileUrl(path), "folder", DisplayName(path));
}

void OpenUrl(TDesktop& desktop, const char* url) {
  if (!url || !*url) return;
  OpenOrSay(desktop, QUrl(QString::fromUtf8(url)), "web page", QString::fromUtf8(url));
}

}  // namespace ostrel
