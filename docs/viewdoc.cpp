#include "docs/viewdoc.h"

#include <QDesktopServices>
#include <QMessageBox>

#include <filesystem>
#include <utility>

#include "platform/files.h"

namespace ostrel {

namespace {

TShellOpenHook& ShellOpenHook() {
  static TShellOpenHook hook;
  return hook;
}

TMessageBoxHook& MessageBoxHook() {
  static TMessageBoxHook hook;
  return hook;
}

void ShellOpen(const QUrl& url) {
  if (const TShellOpenHook& hook = ShellOpenHook())
    hook(url);
  else
    QDesktopServices::openUrl(url);
}

}  // namespace

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

int OpenIfExists(const char* path) {
  if (!FileExists(path)) return 0;
  ShellOpen(LocalFileUrl(path));
  return 1;
}

int ViewDocument(const char* name, const char* directory, int quiet) {
  return ViewDocument(name, directory, quiet, ProgramFilePath());
}

int ViewDocument(const char* name, const char* directory, int quiet, const std::string& programFile) {
  const std::string base = name ? name : "";
  const std::string html = base + ".html";
  const std::string htm = base + ".htm";
  std::string candidate;

  if (OpenIfExists(JoinPath(directory, html.c_str(), candidate).c_str())) return 1;
  if (OpenIfExists(JoinPath(directory, htm.c_str(), candidate).c_str())) return 1;
  if (OpenIfExists(html.c_str())) return 1;
  if (OpenIfExists(htm.c_str())) return 1;

  const std::string programFolder = ProgramFolder(programFile);
  if (!programFolder.empty()) {
    for (const std::string& folder : {programFolder, ResolveRelative(programFolder, InstalledDocFolder)}) {
      if (OpenIfExists(JoinPath(folder.c_str(), html.c_str(), candidate).c_str())) return 1;
      if (OpenIfExists(JoinPath(folder.c_str(), htm.c_str(), candidate).c_str())) return 1;
    }
  }

  if (quiet == 0) ShowOkMessage("Unable to find documentation", "error");
  return 0;
}

void ExploreFolder(const char* path) {
  if (!path || !*path) return;
  ShellOpen(LocalFileUrl(path));
}

void SetShellOpenHook(TShellOpenHook hook) { ShellOpenHook() = std::move(hook); }

void OpenUrl(const char* url) {
  if (!url || !*url) return;
  ShellOpen(QUrl(QString::fromUtf8(url)));
}

void ShowOkMessage(const char* text, const char* caption) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(caption ? caption : ""),
                  QString::fromUtf8(text ? text : ""), QMessageBox::Ok);
  if (const TMessageBoxHook& hook = MessageBoxHook())
    hook(box);
  else
    box.exec();
}

void SetMessageBoxHook(TMessageBoxHook hook) { MessageBoxHook() = std::move(hook); }

}  // namespace ostrel
