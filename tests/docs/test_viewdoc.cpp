// The manual launcher: joining paths, the search order over real files in temporary folders
// (start-up folder, current folder, program folder, installed doc folder), the message when
// nothing is found, and the URLs handed to the desktop (recorded, never opened).
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <memory>
#include <string>

#include "docs/viewdoc.h"
#include "platform/files.h"
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
  void init();
  void cleanup();

  void joinPath_data();
  void joinPath();
  void programFolderAndInstalledDocFolder();
  void searchOrder_data();
  void searchOrder();
  void nothingFoundShowsTheMessageUnlessQuiet();
  void findsTheManualBesideTheRunningProgram();
  void fileUrlsKeepEveryByte();

 private:
  // Local paths or URLs handed to the desktop.
  QStringList Opened() const {
    QStringList opened;
    for (const QUrl& url : Desktop->Opened) opened << (url.isLocalFile() ? url.toLocalFile() : url.toString());
    return opened;
  }
  QStringList Boxes() const { return Desktop->BoxTexts(); }

  std::unique_ptr<test::TFakeDesktop> Desktop;
  QString OldCurrent;
};

void TestViewDoc::init() {
  Desktop = std::make_unique<test::TFakeDesktop>();
  OldCurrent = QDir::currentPath();
}

void TestViewDoc::cleanup() {
  QDir::setCurrent(OldCurrent);
}

void TestViewDoc::joinPath_data() {
  QTest::addColumn<QString>("directory");
  QTest::addColumn<bool>("driveLetters");
  QTest::addColumn<QString>("joined");
  QTest::newRow("folder") << "/home/ann" << false << "/home/ann/ostrel.html";
  QTest::newRow("trailing separator") << "/home/ann/" << false << "/home/ann/ostrel.html";
  QTest::newRow("empty: relative to the current folder") << "" << false << "ostrel.html";
  QTest::newRow("colon means nothing here") << "/mnt/d:" << false << "/mnt/d:/ostrel.html";
  QTest::newRow("bare drive") << "D:" << true << "D:ostrel.html";
  QTest::newRow("drive root") << "D:\\" << true << "D:\\ostrel.html";
  QTest::newRow("drive folder") << "C:\\Tools" << true << "C:\\Tools\\ostrel.html";
}

void TestViewDoc::joinPath() {
  QFETCH(QString, directory);
  QFETCH(bool, driveLetters);
  QFETCH(QString, joined);
  std::string out = "old text";
  const std::string dir = directory.toStdString();
  std::string& result = JoinPath(dir.c_str(), "ostrel.html", out,
                                 driveLetters ? TPathStyle::DriveLetters : TPathStyle::Posix);
  QCOMPARE(&result, &out);
  QCOMPARE(QString::fromStdString(out), joined);
  QCOMPARE(QString::fromStdString(JoinPath(nullptr, nullptr, out)), QString());
}

void TestViewDoc::programFolderAndInstalledDocFolder() {
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
void TestViewDoc::searchOrder_data() {
  QTest::addColumn<QStringList>("entries");
  QTest::addColumn<QString>("opened");
  const QString docs = QStringLiteral("prefix/share/doc/ostrel/");
  QTest::newRow("both extensions in the start-up folder")
      << QStringList{"start/ostrel.htm", "start/ostrel.html", "cwd/ostrel.html"} << "start/ostrel.html";
  QTest::newRow("start-up .htm before the program folder's .html")
      << QStringList{"start/ostrel.htm", "prefix/bin/ostrel.html"} << "start/ostrel.htm";
  QTest::newRow("a folder named like the manual is skipped")
      << QStringList{"start/ostrel.html/", "cwd/ostrel.html"} << "cwd/ostrel.html";
  QTest::newRow("folder skipped, .htm beside it")
      << QStringList{"start/ostrel.html/", "start/ostrel.htm", "cwd/ostrel.html"} << "start/ostrel.htm";
  QTest::newRow("bare start-up folder: the current folder")
      << QStringList{"cwd/ostrel.htm", "prefix/bin/ostrel.html"} << "cwd/ostrel.htm";
  QTest::newRow("current folder, both extensions")
      << QStringList{"cwd/ostrel.htm", "cwd/ostrel.html"} << "cwd/ostrel.html";
  QTest::newRow("program folder .htm")
      << QStringList{"cwd/ostrel.html/", "prefix/bin/ostrel.htm", docs + "ostrel.html"} << "prefix/bin/ostrel.htm";
  QTest::newRow("installed doc folder")
      << QStringList{"prefix/bin/ostrel.html/", docs + "ostrel.htm", docs + "ostrel.html"}
      << docs + "ostrel.html";
  QTest::newRow("installed doc folder, .htm") << QStringList{docs + "ostrel.htm"} << docs + "ostrel.htm";
}

void TestViewDoc::searchOrder() {
  QFETCH(QStringList, entries);
  QFETCH(QString, opened);
  QTemporaryDir root;
  QDir dir(root.path());
  for (const char* folder : {"start", "cwd", "prefix/bin", "prefix/share/doc/ostrel"}) QVERIFY(dir.mkpath(folder));
  QVERIFY(WriteFile(dir.filePath("prefix/bin/ostrel")));
  for (const QString& entry : entries)
    QVERIFY(entry.endsWith('/') ? dir.mkpath(entry) : WriteFile(dir.filePath(entry)));
  QVERIFY(QDir::setCurrent(dir.filePath("cwd")));

  const QByteArray start = Bytes(dir.filePath("start"));
  const std::string program = Bytes(dir.filePath("prefix/bin/ostrel")).toStdString();
  QCOMPARE(ViewDocument(*Desktop, "ostrel", start.constData(), 0, program), 1);
  QCOMPARE(Opened(), QStringList{dir.filePath(opened)});
  QVERIFY(Boxes().isEmpty());
}

void TestViewDoc::nothingFoundShowsTheMessageUnlessQuiet() {
  QTemporaryDir root;
  QDir dir(root.path());
  QVERIFY(dir.mkpath("start/ostrel.html") && dir.mkpath("bin"));
  QVERIFY(WriteFile(dir.filePath("ostrel.txt")));
  QVERIFY(QDir::setCurrent(root.path()));
  const QByteArray start = Bytes(dir.filePath("start"));
  const std::string program = Bytes(dir.filePath("bin/ostrel")).toStdString();

  QCOMPARE(ViewDocument(*Desktop, "ostrel", start.constData(), 1, program), 0);
  QVERIFY(Boxes().isEmpty());
  QCOMPARE(ViewDocument(*Desktop, "ostrel", start.constData(), 0, program), 0);
  QCOMPARE(ViewDocument(*Desktop, "ostrel", nullptr, 0, ""), 0);
  QCOMPARE(Boxes(), QStringList(2, "error|Unable to find documentation"));
  for (const auto& box : Desktop->Boxes) QVERIFY(!box.Owner && !box.Question);
  QVERIFY(Opened().isEmpty());
}

// ProgramFilePath names the running executable, whose folder is searched.
void TestViewDoc::findsTheManualBesideTheRunningProgram() {
  const QString name = QStringLiteral("viewdoc-probe-%1").arg(QCoreApplication::applicationPid());
  const QString beside = QCoreApplication::applicationDirPath() + QLatin1Char('/') + name + ".htm";
  QVERIFY(WriteFile(beside));
  QTemporaryDir elsewhere;
  QVERIFY(QDir::setCurrent(elsewhere.path()));
  const int found =
      ViewDocument(*Desktop, name.toUtf8().constData(), Bytes(elsewhere.path()).constData(), 0, ProgramFilePath());
  QFile::remove(beside);
  QCOMPARE(found, 1);
  QCOMPARE(Opened(), QStringList{beside});
}

void TestViewDoc::fileUrlsKeepEveryByte() {
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

QTEST_MAIN(TestViewDoc)
#include "test_viewdoc.moc"
