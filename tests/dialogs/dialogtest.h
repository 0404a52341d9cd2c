// Helpers shared by the dialog tests.
#pragma once
#include <QDir>
#include <QPixmap>
#include <QStringList>
#include <QWidget>

namespace ostrel::test {

// Saves a rendering of `widget` to <build>/screenshots/<name>.png for a person to look at.
inline bool SaveScreenshot(QWidget& widget, const char* name) {
  const QString folder = QStringLiteral(OSTREL_BUILD_DIR "/screenshots");
  QDir().mkpath(folder);
  return widget.grab().save(folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
}

// The object names of the controls that Tab visits, in order, starting at `first`.
inline QStringList TabOrder(QWidget* first) {
  QStringList names;
  QWidget* widget = first;
  do {
    if (widget->focusPolicy() & Qt::TabFocus) names << widget->objectName();
    widget = widget->nextInFocusChain();
  } while (widget && widget != first);
  return names;
}

}  // namespace ostrel::test
