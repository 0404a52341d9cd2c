// Saves a rendering of a widget to <build>/screenshots/<name>.png for a person to look at.
#pragma once
#include <QDir>
#include <QPixmap>
#include <QString>
#include <QWidget>

namespace ostrel::test {

inline bool SaveScreenshot(QWidget& widget, const char* name) {
  const QString folder = QStringLiteral(OSTREL_BUILD_DIR "/screenshots");
  QDir().mkpath(folder);
  return widget.grab().save(folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
}

}  // namespace ostrel::test
