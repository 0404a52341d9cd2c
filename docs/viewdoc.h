// Handing documents and web pages to the desktop, which opens them for the user.
#pragma once
#include <QUrl>

#include <functional>

namespace ostrel {

// Asks the desktop to open the web page `url` (UTF-8) in the user's browser. Whether it opened
// is not reported. A null or empty url does nothing.
void OpenUrl(const char* url);

// Where every "open" of this unit ends up. By default the desktop (QDesktopServices::openUrl);
// a hook set here receives the URL instead, so that tests record what would be opened and no
// browser starts. An empty hook restores the desktop.
using TShellOpenHook = std::function<void(const QUrl&)>;
void SetShellOpenHook(TShellOpenHook hook);

}  // namespace ostrel
