// Writes pictures of the main window for a person to look at, into the folder given as the
// argument (default: ./screenshots): the idle window and its hint panel, the scanning look,
// the chart of a generated folder in its three kinds, and that folder compared with an earlier
// scan of it. Not a test: no picture is checked.
// Built on demand; `cmake --build build --target screenshots` builds and runs it offscreen.
#include <QDateTime>
#include <QDeadlineTimer>
#include <QFontInfo>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "tests/mainwin/mainwin_support.h"
#include "scanfile/history.h"

using namespace ostrel;

namespace {

bool Save(QWidget* widget, const QString& dir, const char* name) {
  const QString file = dir + "/" + name + ".png";
  const bool saved = widget && widget->grab().save(file);
  std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(file));
  return saved;
}

// The idle window, its hint panel, and the scanning look over the empty chart.
bool IdleAndScanning(TDesktop& desktop, const QString& dir) {
  TForm1 form({"ostrel"}, desktop);
  form.show();
  if (!QTest::qWaitForWindowExposed(&form)) return false;
  // The first timer tick runs the wizard, which the desktop cancels.
  if (!QTest::qWaitFor([&] { return !form.findChild<QTimer*>("TimerLoad")->isActive(); })) return false;
  bool ok = Save(&form, dir, "main-idle") && Save(form.findChild<QFrame*>("Panel1"), dir, "main-hint-panel");
  const QFont hint = form.findChild<THtmlLabel*>("HtmlLabel1")->font();
  std::printf("hint drawn in %s, %d px, stretch %d\n", qPrintable(QFontInfo(hint).family()),
              QFontInfo(hint).pixelSize(), hint.stretch());
  for (QWidget* w : test::ScanningLookControls(form)) w->show();
  return Save(&form, dir, "main-scanning") && ok;
}

// The chart of a folder of eight subfolders and some files of its own, in each kind.
bool Charts(TDesktop& desktop, const QString& dir) {
  test::TempTree tree;
  tree.File("Photos/index.db", 10 << 20);
  const std::pair<const char*, uint64_t> photos[] = {
      {"Holidays 2019", 40}, {"Family", 25}, {"2004", 18},        {"Garden", 12},
      {"Birthday party", 8}, {"Scans", 5},   {"Wallpapers", 3},   {"_thumbnails", 1}};
  for (const auto& [name, size] : photos) tree.File(std::string("Photos/") + name + "/f", size << 20);
  // The files are sparse: their apparent sizes make the picture.
  test::TTempStore store;
  store.Open()->setValue("apparentsize", 1);
  TForm1 form({"ostrel", tree.Root()}, desktop);
  form.show();
  auto* view = form.findChild<QTreeWidget*>("TreeViewDirectories");
  if (!QTest::qWaitForWindowExposed(&form) ||
      !QTest::qWaitFor([&] { return view->topLevelItemCount() == 1; }, 30000))
    return false;
  QTreeWidgetItem* item = test::ChildNamed(view->topLevelItem(0)->child(0), "Photos");
  if (!item) return false;
  view->setCurrentItem(item);
  form.TreeViewDirectoriesClick();
  bool ok = true;
  const std::pair<int, const char*> kinds[] = {{0, "main-pie"}, {1, "main-hbar"}, {2, "main-vbar"}};
  for (const auto& [type, name] : kinds) {
    form.findChild<TRadioGroup*>("RadioGroupChartType")->SetItemIndex(type);
    QCoreApplication::processEvents();  // the chart's own layout
    ok = Save(&form, dir, name) && ok;
  }
  return ok;
}

// The same folder scanned, changed a week's worth (holiday pictures added, scans cleared out,
// a new folder) and scanned again, then compared with the first scan: the growth of Photos,
// with a point hovered, and a folder where nothing grew.
bool Comparison(TDesktop& desktop, const QString& dir) {
  test::TempTree tree;
  tree.File("Photos/index.db", 10 << 20);
  const std::pair<const char*, uint64_t> photos[] = {
      {"Holidays 2019", 40}, {"Family", 25}, {"2004", 18}, {"Garden", 12}, {"Scans", 15}, {"Wallpapers", 3},
      {"Old exports", 4}};
  for (const auto& [name, size] : photos) tree.File(std::string("Photos/") + name + "/f", size << 20);
  test::TTempStore store;
  store.Open()->setValue("apparentsize", 1);
  const std::string root = tree.Root();
  TForm1 form({"ostrel", root}, desktop);
  form.resize(760, 480);
  form.show();
  auto* view = form.findChild<QTreeWidget*>("TreeViewDirectories");
  const std::string key = HistoryKey(root);
  auto kept = [&] { return ListKeptScans(ScanHistoryFolder(), key); };
  if (!QTest::qWaitForWindowExposed(&form) ||
      !QTest::qWaitFor([&] { return view->topLevelItemCount() == 1 && kept().size() == 1; }, 30000))
    return false;

  tree.File("Photos/Holidays 2019/g", 30 << 20);
  tree.File("Photos/Family/g", 6 << 20);
  tree.File("Photos/Trip to the coast/f", 22 << 20);
  tree.File("Photos/index.db", 12 << 20);
  tree.File("Photos/Scans/f", 2 << 20);
  std::filesystem::remove_all(tree.Path("Photos/Old exports"));
  form.NewScanClick();
  if (!QTest::qWaitFor([&] { return view->topLevelItemCount() == 2 && kept().size() == 2; }, 30000)) return false;
  QTreeWidgetItem* item = test::ChildNamed(view->topLevelItem(1)->child(0), "Photos");
  if (!item) return false;
  view->setCurrentItem(item);
  form.TreeViewDirectoriesClick();
  const TKeptScan first = kept().back();
  form.CompareWithScanFile(first.Path, QDateTime::fromMSecsSinceEpoch(first.Time / 1000, Qt::UTC));
  auto* line = form.findChild<QLabel*>(QStringLiteral("LabelCompare"));
  if (!QTest::qWaitFor([&] { return line->text().startsWith(QLatin1String("Changes since")); }, 30000)) return false;
  view->expandItem(item);
  view->setCurrentItem(item);
  form.TreeViewDirectoriesClick();
  bool ok = true;
  const std::pair<int, const char*> kinds[] = {{1, "main-compare-hbar"}, {0, "main-compare"}};
  for (const auto& [type, name] : kinds) {
    form.findChild<TRadioGroup*>("RadioGroupChartType")->SetItemIndex(type);
    form.ChartPieMouseMove(2);  // Holidays 2019
    QCoreApplication::processEvents();
    ok = Save(&form, dir, name) && ok;
  }
  // A folder that only shrank: the chart says so instead of drawing nothing.
  view->setCurrentItem(test::ChildNamed(item, "Scans"));
  form.TreeViewDirectoriesClick();
  QCoreApplication::processEvents();
  return Save(&form, dir, "main-compare-nogrowth") && ok;
}

}  // namespace

int main(int argc, char** argv) {
  // The settings store goes to a folder of its own, never the user's.
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  QTemporaryDir cache;  // the kept scans likewise
  qputenv("XDG_CACHE_HOME", cache.path().toLocal8Bit());
  TApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  test::TFakeDesktop desktop;
  const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
  if (!QDir().mkpath(dir)) {
    std::fprintf(stderr, "cannot make %s\n", qPrintable(dir));
    return 1;
  }
  const bool idle = IdleAndScanning(desktop, dir);
  const bool charts = Charts(desktop, dir);
  const bool comparison = Comparison(desktop, dir);
  return idle && charts && comparison ? 0 : 1;
}
