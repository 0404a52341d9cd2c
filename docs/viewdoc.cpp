#include "docs/viewdoc.h"

#include <QDesktopServices>

#include <utility>

namespace ostrel {

namespace {

TShellOpenHook& ShellOpenHook() {
  static TShellOpenHook hook;
  return hook;
}

void ShellOpen(const QUrl& url) {
  if (const TShellOpenHook& hook = ShellOpenHook())
    hook(url);
  else
    QDesktopServices::openUrl(url);
}

}  // namespace

void SetShellOpenHook(TShellOpenHook hook) { ShellOpenHook() = std::move(hook); }

void OpenUrl(const char* url) {
  if (!url || !*url) return;
  ShellOpen(QUrl(QString::fromUtf8(url)));
}

}  // namespace ostrel
