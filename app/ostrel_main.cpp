// The program's entry: the application object, the main window with the command line, the
// event loop. Always returns 0, also after an exception, which is shown first; ends at once,
// also with 0, when the window closed while a scan was running.
#include <exception>
#include <string>
#include <vector>

#include "docs/desktop.h"
#include "mainwin/application.h"
#include "mainwin/fmain.h"
#include "mainwin/livescans.h"
#include "platform/thread.h"

int main(int argc, char** argv) {
  ostrel::LimitHeapArenas();
  ostrel::TApplication app(argc, argv);
  ostrel::TSystemDesktop desktop;
  try {
    // After the application object took its own options out of argv.
    ostrel::TForm1 form(std::vector<std::string>(argv, argv + argc), desktop);
    form.show();
    app.exec();
    // The settings are saved by now. A walk that still runs is not waited for.
    ostrel::QuitIfScansRunning(0);
  } catch (...) {
    app.ShowException(ostrel::TApplication::CurrentExceptionText());
  }
  return 0;
}
