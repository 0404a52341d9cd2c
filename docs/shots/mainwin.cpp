// Writes pictures of the main window for a person to look at, into the folder given as the
// argument (default: ./screenshots): the idle window and its hint panel, the scanning look,
// the chart of a generated folder in its three kinds, a home folder with the tree's columns and
// the files list and as a treemap, and a folder compared with an earlier scan of it (its growth
// as a chart and as a treemap). Not a test: no picture is
// checked.
// Built on demand; `cmake --build build --target screenshots` builds and runs it offscreen.
#include <fcntl.h>
#include <sys/stat.h>

#include <QCheckBox>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QFontInfo>
#include <QHeaderView>
#include <QMouseEvent>
#include <QSplitter>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "mainwin/fileslist.h"
#include "mainwin/folderitem.h"
#include "mainwin/treemapview.h"
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
// Shows `form`, which scans its argument, and waits for the scan's tree; its tree view, or null.
QTreeWidget* ShownWithItsScan(TForm1& form) {
  form.show();
  auto* view = form.findChild<QTreeWidget*>("TreeViewDirectories");
  if (!QTest::qWaitForWindowExposed(&form) ||
      !QTest::qWaitFor([&] { return view->topLevelItemCount() == 1; }, 30000))
    return nullptr;
  return view;
}

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
  QTreeWidget* view = ShownWithItsScan(form);
  if (!view) return false;
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

// Sets the time of `path` (never followed) to `when`, seconds since 1970.
bool SetTime(const std::string& path, int64_t when) {
  const timespec times[2] = {{static_cast<time_t>(when), 0}, {static_cast<time_t>(when), 0}};
  return utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

int64_t At(int year, int month, int day, int hour, int minute) {
  return QDateTime(QDate(year, month, day), QTime(hour, minute)).toSecsSinceEpoch();
}

// A home folder of the usual kinds: the tree with its columns, sorted by size, and Downloads
// selected, its own files listed below the chart, largest first; then the same with "All
// below" on. Large enough a window that every column shows.
bool Files(TDesktop& desktop, const QString& dir) {
  test::TempTree tree;
  struct TFile {
    const char* Name;
    uint64_t KiB;
    int64_t Time;
  };
  const TFile files[] = {
      {"Downloads/debian-12.8.0-amd64-netinst.iso", 644096, At(2026, 11, 14, 20, 31)},
      {"Downloads/holiday-2026-raw.mp4", 421888, At(2026, 8, 30, 18, 2)},
      {"Downloads/thesis-backup.zip", 98304, At(2026, 10, 2, 9, 47)},
      {"Downloads/printer-driver-4.2.run", 38912, At(2025, 3, 11, 14, 20)},
      {"Downloads/Camera manual.pdf", 6246, At(2026, 7, 19, 11, 5)},
      {"Downloads/invoice-2026-11.pdf", 212, At(2026, 11, 30, 16, 44)},
      {"Downloads/boarding-pass.png", 96, At(2026, 12, 3, 7, 12)},
      {"Downloads/notes.txt", 3, At(2026, 12, 6, 22, 58)},
      {"Downloads/Old installers/office-suite-7.4.deb", 183296, At(2024, 5, 6, 10, 0)},
      {"Downloads/Old installers/game-setup.tar.xz", 96256, At(2024, 9, 21, 19, 30)},
      {"Downloads/Phone export/VID_20260612.mp4", 254976, At(2026, 6, 12, 15, 3)},
      {"Downloads/Phone export/IMG_20260612.jpg", 4812, At(2026, 6, 12, 15, 1)},
      {"Videos/Family 2025.mkv", 1468006, At(2025, 12, 28, 21, 15)},
      {"Videos/Talk recording.webm", 312320, At(2026, 4, 9, 13, 40)},
      {"Music/Albums/f.flac", 1895825, At(2026, 2, 1, 12, 0)},
      {"Pictures/2026/f.jpg", 752640, At(2026, 11, 29, 17, 22)},
      {"Pictures/2025/f.jpg", 530432, At(2025, 12, 31, 23, 10)},
      {"Documents/taxes-2025.pdf", 2150, At(2026, 3, 20, 8, 30)},
      {"Documents/letters/f.odt", 920, At(2026, 9, 4, 10, 12)},
      {".cache/thumbnails/f", 286720, At(2026, 12, 7, 9, 0)},
      {".local/share/Trash/files/f", 61440, At(2026, 11, 2, 18, 0)},
  };
  for (const TFile& file : files) tree.File(file.Name, file.KiB << 10);
  // The folders' own times are older than anything in them: a folder shows its newest file's.
  const int64_t old = At(2024, 1, 15, 12, 0);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(tree.Root()))
    if (entry.is_directory() && !SetTime(entry.path().string(), old)) return false;
  if (!SetTime(tree.Root(), old)) return false;
  for (const TFile& file : files)
    if (!SetTime(tree.Path(file.Name), file.Time)) return false;

  test::TTempStore store;
  store.Open()->setValue("apparentsize", 1);
  TForm1 form({"ostrel", tree.Root()}, desktop);
  QTreeWidget* view = ShownWithItsScan(form);
  if (!view) return false;
  // Only now: the first showing gives the window its design height.
  form.resize(1000, 650);
  QCoreApplication::processEvents();
  auto* across = form.findChild<QSplitter*>("Splitter1");
  auto* down = form.findChild<QSplitter*>("Splitter2");
  if (!across || !down) return false;
  across->setSizes({540, 1000 - 540});
  down->setSizes({350, 170});
  QTreeWidgetItem* root = view->topLevelItem(0)->child(0);
  view->expandItem(root);
  // A first click on Size puts the largest first.
  view->header()->setSortIndicator(ColumnSize, Qt::DescendingOrder);
  QTreeWidgetItem* item = test::ChildNamed(root, "Downloads");
  if (!item) return false;
  view->expandItem(item);
  view->setCurrentItem(item);
  form.TreeViewDirectoriesClick();
  QCoreApplication::processEvents();
  bool ok = Save(&form, dir, "main-files");
  form.findChild<TFilesList*>("FilesList")->SetAllBelow(true);
  QCoreApplication::processEvents();
  ok = Save(&form, dir, "main-files-below") && ok;
  form.findChild<TFilesList*>("FilesList")->SetAllBelow(false);

  // The whole home folder as a treemap, the pointer over the largest video.
  form.findChild<TRadioGroup*>("RadioGroupChartType")->SetItemIndex(3);
  view->setCurrentItem(root);
  form.TreeViewDirectoriesClick();
  auto* map = form.findChild<TTreemapView*>("Treemap");
  if (!map || !QTest::qWaitFor([&] { return map->Ready(); })) return false;
  for (const TTreemapRect& r : map->Rects())
    if (std::string(r.Node->Name) == "Family 2025.mkv") {
      const QPoint at = map->RectOf(r.Node).center();
      QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(map->mapToGlobal(at)), Qt::NoButton, Qt::NoButton,
                       Qt::NoModifier);
      QApplication::sendEvent(map, &move);
    }
  QCoreApplication::processEvents();
  ok = Save(&form, dir, "main-treemap") && ok;
  form.findChild<TRadioGroup*>("RadioGroupChartType")->SetItemIndex(0);
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
  form.show();
  auto* view = form.findChild<QTreeWidget*>("TreeViewDirectories");
  const std::string key = HistoryKey(root);
  auto kept = [&] { return ListKeptScans(ScanHistoryFolder(), key); };
  if (!QTest::qWaitForWindowExposed(&form) ||
      !QTest::qWaitFor([&] { return view->topLevelItemCount() == 1 && kept().size() == 1; }, 30000))
    return false;
  // After the first showing, which gives the window its design height: the chart keeps the
  // height it had before the files list came below it, and the tree shows its Size column.
  form.resize(840, 540);
  QCoreApplication::processEvents();
  form.findChild<QSplitter*>("Splitter1")->setSizes({366, 840 - 366});
  form.findChild<QSplitter*>("Splitter2")->setSizes({330, 90});

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
  const std::pair<int, const char*> kinds[] = {{3, "main-compare-treemap"}, {1, "main-compare-hbar"}, {0, "main-compare"}};
  for (const auto& [type, name] : kinds) {
    form.findChild<TRadioGroup*>("RadioGroupChartType")->SetItemIndex(type);
    auto* map = form.findChild<TTreemapView*>("Treemap");
    if (type == 3 && !QTest::qWaitFor([&] { return map->Ready(); })) return false;
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
  const bool files = Files(desktop, dir);
  const bool comparison = Comparison(desktop, dir);
  return idle && charts && files && comparison ? 0 : 1;
}
