// The manual launcher: joining paths, the search order over real files in temporary folders
// (start-up folder, current folder, program folder, installed doc folder), the message when
// nothing is found, and the URLs handed to the desktop (recorded, never opened).
#include <QDir>
#include <QtTest>

#include <memory>
#include <string>

#include "docs/viewdoc.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/fixture.h"

using namespace ostrel;

class TestViewDoc : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    Desktop = std::make_unique<test::TFakeDesktop>();
    OldCurrent = QDir::currentPath();
  }

  void cleanup() {
    QDir::setCurrent(OldCurrent);
  }

  void joinPath() {
    const struct {
      const char* directory;
      TPathStyle style;
      const char* joined;
    } cases[] = {
        {"/home/ann", TPathStyle::Posix, "/home/ann/ostrel.html"},
        {"/home/ann/", TPathStyle::Posix, "/home/ann/ostrel.html"},
        {"", TPathStyle::Posix, "ostrel.html"},  // relative to the current folder
        {"/mnt/d:", TPathStyle::Posix, "/mnt/d:/ostrel.html"},  // a colon means nothing here
        {"D:", TPathStyle::DriveLetters, "D:ostrel.html"},
        {"D:\\", TPathStyle::DriveLetters, "D:\\ostrel.html"},
        {"C:\\Tools", TPathStyle::DriveLetters, "C:\\Tools\\ostrel.html"},
    };
    for (const auto& c : cases) {
      std::string out = "old text";
      QCOMPARE(&JoinPath(c.directory, "ostrel.html", out, c.style), &out);
      QCOMPARE(out, std::string(c.joined));
    }
    std::string out = "old text";
    QCOMPARE(JoinPath(nullptr, nullptr, out), std::string());
  }

  void programFolderAndInstalledDocFolder() {
    QCOMPARE(ProgramFolder("/usr/local/bin/ostrel"), std::string("/usr/local/bin"));
    QCOMPARE(ProgramFolder("/ostrel"), std::string("/"));
    QCOMPARE(ProgramFolder("ostrel"), std::string());
    QCOMPARE(ProgramFolder(""), std::string());
    QCOMPARE(ResolveRelative("/usr/local/bin", InstalledDocFolder), std::string("/usr/local/share/doc/ostrel"));
    QCOMPARE(ResolveRelative("/opt/x/bin", "./../../y//z/"), std::string("/opt/y/z"));
    QCOMPARE(ResolveRelative("/", "../share"), std::string("/share"));
    QCOMPARE(ResolveRelative("/bin", ".."), std::string("/"));
  }

  // Layout under one temporary folder: start/ is the start-up folder, cwd/ the folder that is
  // current at the call, prefix/bin/ostrel the program file and prefix/share/doc/ostrel the
  // installed doc folder. A name ending in "/" is made as a folder.
  void searchOrder() {
    const QString docs = QStringLiteral("prefix/share/doc/ostrel/");
    const std::pair<QStringList, QString> cases[] = {  // what there is, what is opened
        {{"start/ostrel.htm", "start/ostrel.html", "cwd/ostrel.html"}, "start/ostrel.html"},
        {{"start/ostrel.htm", "prefix/bin/ostrel.html"}, "start/ostrel.htm"},
        {{"start/ostrel.html/", "cwd/ostrel.html"}, "cwd/ostrel.html"},  // a folder named like it is skipped
        {{"start/ostrel.html/", "start/ostrel.htm", "cwd/ostrel.html"}, "start/ostrel.htm"},
        {{"cwd/ostrel.htm", "prefix/bin/ostrel.html"}, "cwd/ostrel.htm"},
        {{"cwd/ostrel.htm", "cwd/ostrel.html"}, "cwd/ostrel.html"},
        {{"cwd/ostrel.html/", "prefix/bin/ostrel.htm", docs + "ostrel.html"}, "prefix/bin/ostrel.htm"},
        {{"prefix/bin/ostrel.html/", docs + "ostrel.htm", docs + "ostrel.html"}, docs + "ostrel.html"},
        {{docs + "ostrel.htm"}, docs + "ostrel.htm"},
    };
    for (const auto& [entries, opened] : cases) {
      test::TempTree tree;
      for (const char* folder : {"start", "cwd", "prefix/share/doc/ostrel"}) tree.Dir(folder);
      const std::string program = tree.Write("prefix/bin/ostrel", "");
      for (const QString& entry : entries)
        entry.endsWith('/') ? tree.Dir(entry.toStdString()) : tree.Write(entry.toStdString(), "<html></html>");
      QVERIFY(QDir::setCurrent(QString::fromStdString(tree.Path("cwd"))));
      Desktop->Opened.clear();
      QCOMPARE(ViewDocument(*Desktop, "ostrel", tree.Path("start").c_str(), 0, program), 1);
      QCOMPARE(Opened(), QStringList{QString::fromStdString(tree.Path(opened.toStdString()))});
      QVERIFY(Desktop->BoxTexts().isEmpty());
    }
  }

  void nothingFoundShowsTheMessageUnlessQuiet() {
    test::TempTree tree;
    tree.Dir("start/ostrel.html");  // a folder of the manual's name
    tree.Dir("bin");
    tree.Write("ostrel.txt", "<html></html>");
    QVERIFY(QDir::setCurrent(QString::fromStdString(tree.Root())));
    const std::string program = tree.Path("bin/ostrel");

    QCOMPARE(ViewDocument(*Desktop, "ostrel", tree.Path("start").c_str(), 1, program), 0);
    QVERIFY(Desktop->BoxTexts().isEmpty());
    QCOMPARE(ViewDocument(*Desktop, "ostrel", tree.Path("start").c_str(), 0, program), 0);
    QCOMPARE(ViewDocument(*Desktop, "ostrel", nullptr, 0, ""), 0);
    QCOMPARE(Desktop->BoxTexts(), QStringList(2, "error|Unable to find documentation"));
    for (const auto& box : Desktop->Boxes) QVERIFY(!box.Owner && !box.Question);
    QVERIFY(Opened().isEmpty());
  }

  void fileUrlsKeepEveryByte() {
    test::TempTree tree;
    const QByteArray odd = QByteArray::fromStdString(tree.Write("a b#?%;\xff\xfe\xc3\xa9.html", ""));
    const QString root = QString::fromStdString(tree.Root());
    tree.Write("plain.html", "<html></html>");
    QCOMPARE(OpenIfExists(*Desktop, odd.constData()), 1);
    QCOMPARE(Desktop->Opened.size(), 1);
    QCOMPARE(Desktop->Opened[0].scheme(), QString("file"));
    QCOMPARE(Desktop->OpenedPath(0), odd);
    QVERIFY(Desktop->Opened[0].toEncoded().endsWith("/a%20b%23%3F%25%3B%FF%FE%C3%A9.html"));

    // Valid names give the desktop's own file URL, and a relative path starts at the current folder.
    QVERIFY(QDir::setCurrent(root));
    QCOMPARE(OpenIfExists(*Desktop, "plain.html"), 1);
    QCOMPARE(Desktop->Opened[1], QUrl::fromLocalFile(root + "/plain.html"));
    QCOMPARE(LocalFileUrl("/home/ann/caf\xc3\xa9 menu"), QUrl::fromLocalFile(QString::fromUtf8("/home/ann/café menu")));

    ExploreFolder(*Desktop, odd.left(odd.size() - 5).constData());
    QCOMPARE(Desktop->OpenedPath(2), odd.left(odd.size() - 5));
    QCOMPARE(OpenIfExists(*Desktop, tree.Root().c_str()), 0);  // a folder is no document
    QCOMPARE(Desktop->Opened.size(), 3);
  }

 private:
  // Local paths or URLs handed to the desktop.
  QStringList Opened() const {
    QStringList opened;
    for (const QUrl& url : Desktop->Opened) opened << (url.isLocalFile() ? url.toLocalFile() : url.toString());
    return opened;
  }

  std::unique_ptr<test::TFakeDesktop> Desktop;
  QString OldCurrent;
};

QTEST_MAIN(TestViewDoc)
#include "test_viewdoc.moc"
