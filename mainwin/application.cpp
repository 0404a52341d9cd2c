#include "mainwin/application.h"

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <QMessageBox>
#include <algorithm>
#include <exception>

namespace ostrel {
namespace {

// The tree view lays out an expanded item with one call per expanded level below it, a few
// hundred bytes each: a folder 30,000 levels deep shown open needs more than the usual 8 MiB.
// The main thread's stack grows on demand up to the soft limit in force when it grows, so
// raising that limit is enough. (Threads get the default size fixed at the program's start.)
void RaiseStackLimit() {
#ifndef _WIN32
  constexpr rlim_t MainStackBytes = rlim_t{64} << 20;
  rlimit limit{};
  if (getrlimit(RLIMIT_STACK, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= MainStackBytes)
    return;
  limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? MainStackBytes : std::min(limit.rlim_max, MainStackBytes);
  setrlimit(RLIMIT_STACK, &limit);
#endif
}

}  // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // The name, not the display name: Qt appends a display name to every window caption,
  // and the main window's caption is its own.
  setApplicationName(QString::fromLatin1(ApplicationTitle));
  RaiseStackLimit();
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
