// Pictures of the program's windows and controls for people to look at: PNG files that no test
// checks. The screenshot programs (the `screenshots` build target) write them.
#pragma once
#include <QDir>
#include <QString>
#include <QWidget>

namespace ostrel::test {

// Saves a rendering of `widget` as <folder>/<name>.png, making the folder when it is missing.
// False when the file could not be written.
inline bool SaveScreenshot(QWidget& widget, const QString& folder, const QString& name) {
  return QDir().mkpath(folder) && widget.grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

}  // namespace ostrel::test
