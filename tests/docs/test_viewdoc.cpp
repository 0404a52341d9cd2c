// The manual launcher: joining paths, the search order over real files in temporary folders
// (start-up folder, current folder, program folder, installed doc folder), the message when
// nothing is found, and the URLs handed to the desktop (recorded, never opened).
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <memory>
#include <string>

#include "docs/viewdoc.h"
#include "tests/support/fakedesktop.h"

using namespace ostrel;

namespace {

QByteArray Bytes(const QString& path) { return QFile::encodeName(path); }

bool WriteFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write("<html></html>") > 0;
}

// The local path bytes behind a file: URL, percent-decoded byte for byte.
QByteArray PathBytes(const QUrl& url) {
  return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
}

}  // namespace

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
      QTemporaryDir root;
      QDir dir(root.path());
      for (const char* folder : {"start", "cwd", "prefix/bin", "prefix/share/doc/ostrel"}) QVERIFY(dir.mkpath(folder));
      QVERIFY(WriteFile(dir.filePath("prefix/bin/ostrel")));
      for (const QString& entry : entries)
        QVERIFY(entry.endsWith('/') ? dir.mkpath(entry) : WriteFile(dir.filePath(entry)));
      QVERIFY(QDir::setCurrent(dir.filePath("cwd")));
      const QByteArray start = Bytes(dir.filePath("start"));
      const std::string program = Bytes(dir.filePath("prefix/bin/ostrel")).toStdString();
      Desktop->Opened.clear();
      QCOMPARE(ViewDocument(*Desktop, "ostrel", start.constData(), 0, program), 1);
      QCOMPARE(Opened(), QStringList{dir.filePath(opened)});
      QVERIFY(Desktop->BoxTexts().isEmpty());
    }
  }

  void nothingFoundShowsTheMessageUnlessQuiet() {
    QTemporaryDir root;
    QDir dir(root.path());
    QVERIFY(dir.mkpath("start/ostrel.html") && dir.mkpath("bin"));
    QVERIFY(WriteFile(dir.filePath("ostrel.txt")));
    QVERIFY(QDir::setCurrent(root.path()));
    const QByteArray start = Bytes(dir.filePath("start"));
    const std::string program = Bytes(dir.filePath("bin/ostrel")).toStdString();

    QCOMPARE(ViewDocument(*Desktop, "ostrel", start.constData(), 1, program), 0);
    QVERIFY(Desktop->BoxTexts().isEmpty());
    QCOMPARE(ViewDocument(*Desktop, "ostrel", start.constData(), 0, program), 0);
    QCOMPARE(ViewDocument(*Desktop, "ostrel", nullptr, 0, ""), 0);
    QCOMPARE(Desktop->BoxTexts(), QStringList(2, "error|Unable to find documentation"));
    for (const auto& box : Desktop->Boxes) QVERIFY(!box.Owner && !box.Question);
    QVERIFY(Opened().isEmpty());
  }

  void fileUrlsKeepEveryByte() {
    QTemporaryDir root;
    const QByteArray odd = Bytes(root.path()) + "/a b#?%;\xff\xfe\xc3\xa9.html";
    QVERIFY(WriteFile(root.path() + "/plain.html"));
    // Made with the raw bytes: QFile would see the decoded, lossy name.
    FILE* f = std::fopen(odd.constData(), "w");
    QVERIFY(f);
    std::fclose(f);
    QCOMPARE(OpenIfExists(*Desktop, odd.constData()), 1);
    QCOMPARE(Desktop->Opened.size(), 1);
    QCOMPARE(Desktop->Opened[0].scheme(), QString("file"));
    QCOMPARE(PathBytes(Desktop->Opened[0]), odd);
    QVERIFY(Desktop->Opened[0].toEncoded().endsWith("/a%20b%23%3F%25%3B%FF%FE%C3%A9.html"));

    // Valid names give the desktop's own file URL, and a relative path starts at the current folder.
    QVERIFY(QDir::setCurrent(root.path()));
    QCOMPARE(OpenIfExists(*Desktop, "plain.html"), 1);
    QCOMPARE(Desktop->Opened[1], QUrl::fromLocalFile(root.path() + "/plain.html"));
    QCOMPARE(LocalFileUrl("/home/ann/caf\xc3\xa9 menu"), QUrl::fromLocalFile(QString::fromUtf8("/home/ann/café menu")));

    ExploreFolder(*Desktop, odd.left(odd.size() - 5).constData());
    QCOMPARE(PathBytes(Desktop->Opened.value(2)), odd.left(odd.size() - 5));
    QCOMPARE(OpenIfExists(*Desktop, Bytes(root.path()).constData()), 0);  // a folder is no document
    QCOMPARE(Desktop->Opened.size(), 3);
    std::remove(odd.constData());  // QTemporaryDir would look for it under its decoded name
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
