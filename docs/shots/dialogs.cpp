// Writes pictures of the dialogs into the folder given as the first argument ("screenshots"
// when none is given), for people to look at. Exits with 1 when a picture could not be written.
#include <QApplication>
#include <QCheckBox>

#include <cstdio>

#include "dialogs/fabout.h"
#include "dialogs/fbrowse.h"
#include "dialogs/fmkdir.h"
#include "dialogs/fprefs.h"
#include "dialogs/fstart.h"
#include "scan/scansettings.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/fixture.h"
#include "docs/shots/screenshot.h"

using namespace ostrel;

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
  test::TFakeDesktop desktop;
  bool saved = true;
  auto shoot = [&](QWidget& dialog, const char* name) {
    dialog.show();
    if (!test::SaveScreenshot(dialog, folder, QLatin1String(name))) {
      std::fprintf(stderr, "cannot write %s.png\n", name);
      saved = false;
    }
  };

  TFormAbout about(desktop, nullptr);
  shoot(about, "fabout");
  TFormPreferences prefs(nullptr);
  TScanSettings settings;
  prefs.LoadSettings(settings);
  shoot(prefs, "fprefs");
  TFormStart wizard(desktop, nullptr);
  wizard.FillFromSettings(settings);
  shoot(wizard, "fstart");

  // The folder list shows a small tree of its own rather than whatever the build folder holds.
  test::TempTree tree;
  tree.Dir("projects/ostrel/docs");
  tree.Dir("projects/ostrel/src");
  tree.Dir("projects/notes");
  char path[PathBufferSize];
  std::snprintf(path, sizeof path, "%s", tree.Path("projects/ostrel").c_str());
  TFormBrowse browse(desktop, nullptr, path);
  shoot(browse, "fbrowse");
  TFormMkdir mkdir(nullptr, nullptr);
  shoot(mkdir, "fmkdir");
  return saved ? 0 : 1;
}
