// Helpers shared by the dialog tests.
#pragma once
#include <QStringList>
#include <QWidget>

namespace ostrel::test {

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
