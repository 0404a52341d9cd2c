// The program's entry: the application object, the main window with the command line, the
// event loop. Always returns 0, also after an exception, which is shown first.
#include <exception>
#include <string>
#include <vector>

#include "mainwin/application.h"
#include "mainwin/fmain.h"

int main(int argc, char** argv) {
  ostrel::TApplication app(argc, argv);
  try {
    // After the application object took its own options out of argv.
    ostrel::TForm1 form(std::vector<std::string>(argv, argv + argc));
    form.show();
    app.exec();
  } catch (...) {
    app.ShowException(ostrel::TApplication::CurrentExceptionText());
  }
  return 0;
}
