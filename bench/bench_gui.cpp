// ostrel-bench-gui: the main window's speed on a large scan, offscreen. It scans a generated
// tree with the real window and prints, beside each target:
//   - the longest gap between 10 ms timer ticks on the GUI thread while the walk runs;
//   - the time from the completion notice to the tree being shown (ScanCompleted returning);
//   - the redraw after a click on a folder of 10,000 subfolders, for each chart kind, with the
//     small folders combined and not;
//   - the same for a folder of 1,000,000 subfolders, read from a scan file made once;
//   - the file list showing a folder of 100,000 files, and the 1,000 largest files below a tree
//     of 1,000,000 entries (both trees made in memory, first, before the scan);
//   - the treemap's first picture of that tree and of a folder of 1,000,000 files, its picture
//     after a resize, the longest the GUI thread was kept meanwhile, and the longest Halt
//     (made in memory too).
//
// usage: ostrel-bench-gui [--tree DIR] [--rounds R] [--shots DIR] [--files-only]
//   --tree DIR  scan DIR as it is (default: a tree of 90,000 folders and 500,000 files made by
//               ostrel-gentree, plus a folder "wide" of 10,000 subfolders, kept under the
//               build folder and made only once)
//   --rounds R  timed rounds of each redraw (default 5)
//   --shots DIR save the window after each kind of redraw as DIR/bench-<kind>-<combine>.png
//   --files-only time the file list and the treemap alone, then stop
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QChartView>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "docs/desktop.h"
#include "mainwin/chartview.h"
#include "mainwin/fileslist.h"
#include "mainwin/fmain.h"
#include "mainwin/radiogroup.h"
#include "mainwin/treemapview.h"
#include "scan/dirnode.h"
#include "scan/scansettings.h"
#include "scan/tloader.h"
#include "scanfile/fileloader.h"

namespace {

using ostrel::TForm1;

constexpr int WideFolders = 10000;
constexpr int HugeFolders = 1000000;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// The default tree, made once: ostrel-gentree's folders and files, then "wide" with 10,000
// subfolders holding one file each, of sizes 1 to 1000 KB.
std::string DefaultTree() {
  const std::string dir = std::string(OSTREL_BUILD_DIR) + "/bench-gui/tree-d90000-f500000-w10000";
  if (Exists(dir)) return dir;
  const std::string partial = dir + ".partial";
  std::fprintf(stderr, "generating %s (once) ...\n", dir.c_str());
  const std::string make = "rm -rf '" + partial + "' && mkdir -p '" + std::string(OSTREL_BUILD_DIR) +
                           "/bench-gui' && '" + OSTREL_GENTREE + "' --folders 90000 --files 500000 --seed 1 '" +
                           partial + "' >/dev/null";
  if (std::system(make.c_str()) != 0) {
    std::fprintf(stderr, "ostrel-bench-gui: ostrel-gentree failed\n");
    std::exit(1);
  }
  const std::string wide = partial + "/wide";
  mkdir(wide.c_str(), 0755);
  for (int i = 0; i < WideFolders; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/w%05d", i);
    const std::string folder = wide + name;
    mkdir(folder.c_str(), 0755);
    const int fd = open((folder + "/f").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>((i % 1000 + 1) * 1024)) != 0) {
      std::fprintf(stderr, "ostrel-bench-gui: cannot write %s\n", folder.c_str());
      std::exit(1);
    }
    close(fd);
  }
  if (std::rename(partial.c_str(), dir.c_str()) != 0) std::exit(1);
  return dir;
}

// A scan file of a folder "huge" of 1,000,000 subfolders holding one file each, of sizes 1 to
// 1000 KB, made once.
std::string HugeScanFile() {
  const std::string path = std::string(OSTREL_BUILD_DIR) + "/bench-gui/huge-" + std::to_string(HugeFolders) + ".json";
  if (Exists(path)) return path;
  mkdir((std::string(OSTREL_BUILD_DIR) + "/bench-gui").c_str(), 0755);
  const std::string partial = path + ".partial";
  std::FILE* out = std::fopen(partial.c_str(), "w");
  if (!out) std::exit(1);
  std::fputs(R"([1,2,{"progname":"ostrel-bench-gui"},[{"name":"/bench-huge","dsize":4096,"dev":1,"ino":1},)", out);
  std::fputs(R"([{"name":"huge","dsize":4096,"ino":2})", out);
  for (int i = 0; i < HugeFolders; ++i)
    std::fprintf(out, R"(,[{"name":"h%07d","dsize":4096,"ino":%d},{"name":"f","asize":%d,"dsize":%d}])", i, i + 3,
                 (i % 1000 + 1) * 1024, (i % 1000 + 1) * 1024);
  std::fputs("]]]", out);
  if (std::fclose(out) != 0 || std::rename(partial.c_str(), path.c_str()) != 0) std::exit(1);
  return path;
}

// Times the completion notice's handling.
class TBenchForm : public TForm1 {
 public:
  explicit TBenchForm(ostrel::TDesktop& desktop) : TForm1({"ostrel"}, desktop) {}
  std::intptr_t Dispatch(uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override {
    QElapsedTimer t;
    t.start();
    const std::intptr_t result = TForm1::Dispatch(msg, wParam, lParam);
    if (msg == ostrel::ScanDoneMessage || msg == ostrel::ScanFileDoneMessage) {
      CompletionSeconds = t.nsecsElapsed() / 1e9;
      Done = true;
      if (Loop) Loop->quit();
    }
    return result;
  }
  double CompletionSeconds = 0;
  bool Done = false;
  QEventLoop* Loop = nullptr;
};

// A node of a tree made in memory, linked after `last` (the parent's last child so far).
ostrel::DirNode* MadeNode(ostrel::TNodeArena& arena, const char* name, ostrel::DirNode* parent, ostrel::DirNode*& last,
                          int32_t kind, uint64_t size, uint32_t mtime) {
  ostrel::DirNode* node = arena.NewNode();
  node->Name = arena.CopyString(name);
  node->Parent = parent;
  node->Kind = kind;
  node->Depth = parent ? parent->Depth + 1 : 0;
  node->OwnSize = node->TotalSize = node->ApparentSize = size;
  node->MTime = mtime;
  ostrel::LinkChild(parent, last, node);
  return node;
}

// 100 folders of 100 subfolders of 99 files, of sizes from 512 bytes to 500 MB, "f00.bin" on:
// 1,000,100 entries below the top, counted in `entries`.
ostrel::DirNode* DeepTree(ostrel::TNodeArena& arena, long& entries) {
  uint64_t seed = 2;
  auto next = [&seed] {
    seed = seed * 6364136223846793005u + 1442695040888963407u;
    return seed >> 33;
  };
  // A few kinds of files, so that a picture of the treemap shows its colours.
  const char* const kinds[] = {"bin", "mp4", "jpg", "zip", "pdf", "cpp", "dat"};
  char name[32];
  ostrel::DirNode* none = nullptr;
  ostrel::DirNode* deep = MadeNode(arena, "/bench-deep", nullptr, none, ostrel::NodeFolder, 4096, 0);
  entries = 0;
  ostrel::DirNode* lastTop = nullptr;
  for (int a = 0; a < 100; ++a) {
    std::snprintf(name, sizeof name, "d%03d", a);
    ostrel::DirNode* top = MadeNode(arena, name, deep, lastTop, ostrel::NodeFolder, 4096, 0);
    ostrel::DirNode* lastSub = nullptr;
    for (int b = 0; b < 100; ++b) {
      std::snprintf(name, sizeof name, "s%03d", b);
      ostrel::DirNode* sub = MadeNode(arena, name, top, lastSub, ostrel::NodeFolder, 4096, 0);
      ostrel::DirNode* lastFile = nullptr;
      for (int c = 0; c < 99; ++c) {
        std::snprintf(name, sizeof name, "f%02d.%s", c, kinds[(a + c) % 7]);
        MadeNode(arena, name, sub, lastFile, ostrel::NodeFile, (next() % 1000000 + 1) * 512, 1600000000);
      }
      entries += 100;
    }
    ++entries;
  }
  ostrel::AddUpTotals(deep, nullptr);
  return deep;
}

// The file list's two cases, each shown `rounds` times from an empty list: a folder of 100,000
// files, and the largest files below 100 folders of 100 subfolders of 99 files (1,000,100 entries).
void FilesListFigures(int rounds) {
  ostrel::TNodeArena arena;
  uint64_t seed = 1;
  auto next = [&seed] {
    seed = seed * 6364136223846793005u + 1442695040888963407u;
    return seed >> 33;
  };
  char name[32];
  ostrel::DirNode* none = nullptr;
  ostrel::DirNode* flat = MadeNode(arena, "/bench-flat", nullptr, none, ostrel::NodeFolder, 4096, 0);
  ostrel::DirNode* last = nullptr;
  constexpr int FlatFiles = 100000;
  for (int i = 0; i < FlatFiles; ++i) {
    std::snprintf(name, sizeof name, "file%06d.dat", i);
    MadeNode(arena, name, flat, last, ostrel::NodeFile, (next() % 100000 + 1) * 512, 1600000000 + i);
  }
  ostrel::AddUpTotals(flat, nullptr);
  long entries = 0;
  ostrel::DirNode* deep = DeepTree(arena, entries);

  ostrel::TFilesList list;
  list.resize(700, 500);
  list.show();
  QCoreApplication::processEvents();
  auto time = [&](const ostrel::DirNode* folder, bool allBelow) {
    list.SetAllBelow(allBelow);
    std::vector<double> times;
    for (int r = 0; r < rounds; ++r) {
      list.Clear();
      QCoreApplication::processEvents();
      QElapsedTimer t;
      t.start();
      list.ShowFolder(folder, ostrel::TMeasure::DiskUsage);
      QCoreApplication::processEvents();
      list.ListFiles->viewport()->repaint();
      times.push_back(t.nsecsElapsed() / 1e9);
    }
    return times;
  };
  std::vector<double> times = time(flat, false);
  std::printf("file list, a folder of %d files: %d rows; shown %.3f s median of %d, max %.3f s   (target: at most 0.3 s)\n",
              FlatFiles, list.ListFiles->model()->rowCount(), Median(times), rounds,
              *std::max_element(times.begin(), times.end()));
  times = time(deep, true);
  std::printf("file list, all below a tree of %ld entries: the %d largest files; shown %.3f s median of %d, "
              "max %.3f s   (target: at most 0.3 s)\n",
              entries, list.ListFiles->model()->rowCount(), Median(times), rounds,
              *std::max_element(times.begin(), times.end()));
  std::fflush(stdout);
}

// The treemap of the tree of 1,000,100 entries and of a folder of 1,000,000 files (4 GB / n and 4 KB
// more for the n-th largest), `rounds`
// times each: from an empty view to the first picture shown, then a resize to the next
// picture, with the GUI thread's 10 ms ticks watched all along. `shots` saves the first.
void TreemapFigures(int rounds, const std::string& shots) {
  ostrel::TNodeArena arena;
  long entries = 0;
  ostrel::DirNode* deep = DeepTree(arena, entries);
  ostrel::DirNode* none = nullptr;
  ostrel::DirNode* flat = MadeNode(arena, "/bench-flat", nullptr, none, ostrel::NodeFolder, 4096, 0);
  {
    ostrel::DirNode* last = nullptr;
    char name[32];
    for (int i = 0; i < 1000000; ++i) {
      std::snprintf(name, sizeof name, "file%07d.dat", i);
      // A few large files and a long tail of small ones, as a download or cache folder has, in
      // no order of size.
      const uint64_t rank = static_cast<uint64_t>(i) * 7919 % 1000000 + 1;
      MadeNode(arena, name, flat, last, ostrel::NodeFile, (uint64_t{1} << 32) / rank + 4096, 0);
    }
    ostrel::AddUpTotals(flat, nullptr);
  }

  ostrel::TTreemapView view;
  view.resize(640, 400);
  view.show();
  QCoreApplication::processEvents();
  QElapsedTimer sinceTick;
  qint64 maxGapNs = 0;
  QTimer tick;
  tick.setInterval(10);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    maxGapNs = std::max(maxGapNs, sinceTick.nsecsElapsed());
    sinceTick.restart();
  });
  auto shown = [&view] {
    while (!view.Ready()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    view.repaint();
  };
  for (const auto& [folder, what] : {std::pair{deep, "a tree of 1000100 entries"}, std::pair{flat, "a folder of 1000000 files"}}) {
    std::vector<double> first, resized;
    maxGapNs = 0;
    for (int r = 0; r < rounds; ++r) {
      view.ShowFolder(nullptr, ostrel::TMeasure::DiskUsage);
      view.resize(640, 400);
      QCoreApplication::processEvents();
      sinceTick.start();
      tick.start();
      QElapsedTimer t;
      t.start();
      view.ShowFolder(folder, ostrel::TMeasure::DiskUsage);
      shown();
      first.push_back(t.nsecsElapsed() / 1e9);
      t.restart();
      view.resize(800, 500);
      shown();
      resized.push_back(t.nsecsElapsed() / 1e9);
      tick.stop();
    }
    if (!shots.empty() && folder == deep) view.grab().save(QString::fromStdString(shots + "/bench-treemap.png"));
    std::printf("treemap of %s: %zu rectangles; first picture %.3f s median of %d, max %.3f s   (target: at most 0.5 s)\n",
                what, view.Rects().size(), Median(first), rounds, *std::max_element(first.begin(), first.end()));
    std::printf("treemap of %s: resized to 800 x 500, picture again %.3f s median of %d, max %.3f s   "
                "(target: at most 0.2 s)\n",
                what, Median(resized), rounds, *std::max_element(resized.begin(), resized.end()));
    std::printf("treemap of %s: longest gap between 10 ms GUI ticks meanwhile %.1f ms   (target: the GUI thread "
                "blocks at most 50 ms)\n",
                what, maxGapNs / 1e6);
    // Halt (before a tree edit) waits for the drawing under way: asked at points spread over
    // a drawing, the GUI thread spinning meanwhile as a busy handler would.
    double longestHalt = 0;
    for (int delayMs = 0; delayMs <= 200; delayMs += 10) {
      view.resize(delayMs % 20 ? 700 : 640, 400);
      view.ShowFolder(folder, ostrel::TMeasure::DiskUsage);
      QElapsedTimer spin;
      spin.start();
      while (spin.elapsed() < delayMs) {
      }
      QElapsedTimer t;
      t.start();
      view.Halt();
      longestHalt = std::max(longestHalt, t.nsecsElapsed() / 1e6);
    }
    std::printf("treemap of %s: Halt during a drawing waited at most %.1f ms over 21 tries   (target: at most 50 ms)\n",
                what, longestHalt);
    std::fflush(stdout);
  }
  view.Halt();
}

QTreeWidgetItem* Child(QTreeWidgetItem* item, const QString& text) {
  for (int i = 0; item && i < item->childCount(); ++i)
    if (item->child(i)->text(0) == text) return item->child(i);
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  std::string tree;
  std::string shots;
  int rounds = 5;
  bool filesOnly = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--tree" && i + 1 < argc)
      tree = argv[++i];
    else if (arg == "--shots" && i + 1 < argc)
      shots = argv[++i];
    else if (arg == "--rounds" && i + 1 < argc)
      rounds = std::max(1, std::atoi(argv[++i]));
    else if (arg == "--files-only")
      filesOnly = true;
    else {
      std::fprintf(stderr, "usage: ostrel-bench-gui [--tree DIR] [--rounds R] [--shots DIR] [--files-only]\n");
      return 2;
    }
  }
  // Offscreen, and never the user's own settings.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  QApplication app(argc, argv);
  FilesListFigures(rounds);
  TreemapFigures(rounds, shots);
  if (filesOnly) return 0;
  if (tree.empty()) tree = DefaultTree();

  ostrel::TSystemDesktop desktop;
  TBenchForm form(desktop);
  form.findChild<QTimer*>("TimerLoad")->stop();
  form.show();
  // The window's controls, by their names.
  auto* treeView = form.findChild<QTreeWidget*>("TreeViewDirectories");
  auto* chart = form.findChild<ostrel::TChartView*>("ChartPie");
  QCoreApplication::processEvents();

  // The walk, with the GUI thread's ticks watched all along.
  QElapsedTimer wall, sinceTick;
  qint64 maxGapNs = 0;
  long ticks = 0;
  QTimer tick;
  tick.setInterval(10);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    if (!form.Done) {
      maxGapNs = std::max(maxGapNs, sinceTick.nsecsElapsed());
      ++ticks;
    }
    sinceTick.restart();
  });
  QEventLoop loop;
  form.Loop = &loop;
  wall.start();
  sinceTick.start();
  tick.start();
  form.StartScan(tree);
  loop.exec();
  tick.stop();
  const double scanSeconds = wall.nsecsElapsed() / 1e9 - form.CompletionSeconds;

  QTreeWidgetItem* root = treeView->topLevelItem(0)->child(0);
  long items = 0;
  for (QTreeWidgetItemIterator it(treeView); *it; ++it) ++items;
  std::printf("tree: %s: %d folders, %d files; %ld tree items\n", tree.c_str(), form.AttachedScan()->FoldersSoFar(),
              form.AttachedScan()->Outcome().Files, items);
  std::printf("scan: %.2f s; longest gap between 10 ms GUI ticks while it ran: %.1f ms over %ld ticks"
              "   (target: the GUI thread never waits on the walk)\n",
              scanSeconds, maxGapNs / 1e6, ticks);

  // ScanCompleted again on the same finished scan: each call adds one more "My Computer".
  std::vector<double> completion{form.CompletionSeconds};
  for (int r = 1; r < std::min(rounds, 3); ++r) {
    QElapsedTimer t;
    t.start();
    form.ScanCompleted(reinterpret_cast<std::intptr_t>(form.AttachedScan()));
    completion.push_back(t.nsecsElapsed() / 1e9);
  }
  QElapsedTimer shown;
  shown.start();
  QCoreApplication::processEvents();
  form.repaint();
  const double paint = shown.nsecsElapsed() / 1e9;
  std::printf("completion notice to tree shown (ScanCompleted): %.3f s median of %zu, max %.3f s; "
              "then the first paint %.3f s   (target: at most 1.5 s)\n",
              Median(completion), completion.size(), *std::max_element(completion.begin(), completion.end()), paint);

  QTreeWidgetItem* wide = Child(root, QStringLiteral("wide"));
  if (!wide) {
    std::printf("click: the tree has no folder \"wide\"; no click measured\n");
    return 0;
  }
  // Clicks on `folder`, coming from `other` each time, as a user clicking through the tree would.
  auto clicks = [&](QTreeWidgetItem* folder, QTreeWidgetItem* other, int count, double target) {
    for (int combine : {1, 0}) {
      for (int type : {0, 1, 2}) {
        ostrel::ScanSettings.combineother = combine;
        form.findChild<ostrel::TRadioGroup*>("RadioGroupChartType")->SetItemIndex(type);
        std::vector<double> times;
        for (int r = 0; r < count; ++r) {
          treeView->setCurrentItem(other);
          form.TreeViewDirectoriesClick();
          QCoreApplication::processEvents();
          treeView->setCurrentItem(folder);
          QElapsedTimer t;
          t.start();
          form.TreeViewDirectoriesClick();
          QCoreApplication::processEvents();
          chart->viewport()->repaint();
          times.push_back(t.nsecsElapsed() / 1e9);
        }
        static const char* const kinds[] = {"pie", "horizontal bars", "vertical bars"};
        std::printf("click on a folder of %d subfolders, %s, combine %s: %zu points; redraw %.3f s median of %d, "
                    "max %.3f s   (target: at most %.1f s)\n",
                    folder->childCount(), kinds[type], combine ? "on " : "off", chart->Points().size(), Median(times),
                    count, *std::max_element(times.begin(), times.end()), target);
        std::fflush(stdout);
        static const char* const names[] = {"pie", "hbar", "vbar"};
        if (!shots.empty())
          form.grab().save(QString::fromStdString(shots + "/bench-" + folder->text(0).toStdString() + "-" + names[type] +
                                                  (combine ? "-combined" : "") + ".png"));
      }
    }
  };
  clicks(wide, root, rounds, 0.3);

  // A folder of a million subfolders, from a scan file: no walk would make one quickly.
  form.Done = false;
  form.OpenScanFile(HugeScanFile());
  if (!form.Done) loop.exec();
  QTreeWidgetItem* huge = Child(treeView->topLevelItem(treeView->topLevelItemCount() - 1)->child(0), QStringLiteral("huge"));
  if (!huge) {
    std::printf("click: the scan file has no folder \"huge\"; no click measured\n");
    return 1;
  }
  clicks(huge, huge->parent(), std::min(rounds, 3), 1.0);
  // The walk's threads are done; the window and its trees go normally.
  return 0;
}
