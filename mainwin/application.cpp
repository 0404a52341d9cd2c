#include "mainwin/application.h"

#include <QMessageBox>
#include <exception>

namespace ostrel {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // The name, not the display name: Qt appends a display name to every window caption,
  // and the main window's caption is its own.
  setApplicationName(QString::fromLatin1(ApplicationTitle));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ShowException(CurrentExceptionText());
    return false;
  }
}

void TApplication::ShowException(const QString& message) {
  QMessageBox box(QMessageBox::Critical, QString::fromLatin1(ApplicationTitle), message,
                  QMessageBox::Ok);
  box.exec();
}

QString TApplication::CurrentExceptionText() {
  try {
    throw;
  } catch (const std::exception& e) {
    return QString::fromLocal8Bit(e.what());
  } catch (...) {
    return QStringLiteral("An unknown error occurred.");
  }
}

}  // namespace ostrel
