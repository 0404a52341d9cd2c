// The per-user settings key: first-start creation, round trips, cut texts, and stores that are
// corrupt, unreadable or not writable. Every test uses its own temporary store.
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "dialogs/formutil.h"
#include "tests/support/fixture.h"

using namespace ostrel;

namespace {

QByteArray ReadString(const char* valueName, const char* def, int size = 1024) {
  SettingsKey key;
  OpenSettingsKey(key, "OSTREL");
  QByteArray buffer(size, '\x7f');
  ReadSettingString(key, valueName, def, buffer.data(), size);
  CloseSettingsKey(key);
  return QByteArray(buffer.constData(), static_cast<qsizetype>(strnlen(buffer.constData(), size)));
}

}  // namespace

class TestSettings : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> Store;
  QString FilePath() const { return Store->path() + "/Harwen/OSTREL.conf"; }
  void WriteFile(const QByteArray& content) {
    QDir().mkpath(Store->path() + "/Harwen");
    QFile file(FilePath());
    QVERIFY(file.open(QFile::WriteOnly | QFile::Truncate));
    file.write(content);
  }
  QByteArray FileContent() const {
    QFile file(FilePath());
    return file.open(QFile::ReadOnly) ? file.readAll() : QByteArray();
  }

 private slots:
  void init() {
    Store = std::make_unique<QTemporaryDir>();
    QVERIFY(Store->isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Store->path());
  }
  void cleanup() {
    if (QFile::exists(FilePath())) QFile::setPermissions(FilePath(), QFile::ReadOwner | QFile::WriteOwner);
    QFile::setPermissions(Store->path() + "/Harwen",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    Store.reset();
  }

  void firstOpeningCreatesTheKeyWithEveryDefault() {
    SettingsKey key;
    OpenSettingsKey(key, "OSTREL");
    QVERIFY(key.Created);
    char path[1024] = "c:\\";
    ReadSettingString(key, "lastfilename", path, path, sizeof path);
    QCOMPARE(ReadSettingInt(key, "combineother", 1), 1);
    QCOMPARE(ReadSettingInt(key, "charttype", 0), 0);
    CloseSettingsKey(key);
    QCOMPARE(QByteArray(path), QByteArray("c:\\"));
    QVERIFY(QFile::exists(FilePath()));

    OpenSettingsKey(key, "OSTREL");
    QVERIFY(!key.Created);
    QCOMPARE(ReadSettingInt(key, "combineother", 7), 1);
    QCOMPARE(ReadSettingInt(key, "charttype", 7), 0);
    char again[1024];
    ReadSettingString(key, "lastfilename", "other", again, sizeof again);
    QCOMPARE(QByteArray(again), QByteArray("c:\\"));
    CloseSettingsKey(key);
  }

  void anEmptyStoreCountsAsNoKey() {
    WriteFile("");
    SettingsKey key;
    OpenSettingsKey(key, "OSTREL");
    QVERIFY(key.Created);
    CloseSettingsKey(key);
  }

  void aMissingValueKeepsTheDefaultAndIsNotWritten() {
    WriteFile("[General]\ncharttype=2\n");
    SettingsKey key;
    OpenSettingsKey(key, "OSTREL");
    QVERIFY(!key.Created);
    QCOMPARE(ReadSettingInt(key, "charttype", 0), 2);
    QCOMPARE(ReadSettingInt(key, "includecd", 9), 9);
    char text[16];
    ReadSettingString(key, "lastfilename", "dflt", text, sizeof text);
    QCOMPARE(QByteArray(text), QByteArray("dflt"));
    CloseSettingsKey(key);
    QVERIFY(!FileContent().contains("includecd"));
    QVERIFY(!FileContent().contains("lastfilename"));
  }

  void integersRoundTrip_data() {
    QTest::addColumn<int>("value");
    QTest::newRow("zero") << 0;
    QTest::newRow("one") << 1;
    QTest::newRow("negative") << -5;
    QTest::newRow("min") << int(INT32_MIN);
    QTest::newRow("max") << int(INT32_MAX);
  }
  void integersRoundTrip() {
    QFETCH(int, value);
    SettingsKey key;
    OpenSettingsKey(key, "OSTREL");
    WriteSettingInt(key, "charttype", value);
    CloseSettingsKey(key);
    OpenSettingsKey(key, "OSTREL");
    QCOMPARE(ReadSettingInt(key, "charttype", 12345), value);
    CloseSettingsKey(key);
  }

  void textsRoundTripByteExact_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("empty") << QByteArray("");
    QTest::newRow("drive root") << QByteArray("c:\\");
    QTest::newRow("comma and quotes") << QByteArray("/a, b/\"q\"/;x=y");
    QTest::newRow("utf-8") << QByteArray("/home/j\xc3\xb6rg/\xe2\x82\xac");
    QTest::newRow("not utf-8") << QByteArray("/data/caf\xe9/\xff\x80");
    QTest::newRow("1022 characters") << QByteArray(1022, 'p');
  }
  void textsRoundTripByteExact() {
    QFETCH(QByteArray, text);
    SettingsKey key;
    OpenSettingsKey(key, "OSTREL");
    WriteSettingString(key, "lastfilename", text.constData());
    CloseSettingsKey(key);
    QCOMPARE(ReadString("lastfilename", "default"), text);
  }

  void aLongStoredTextIsCutAndTheLastByteNeverWritten_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("size");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("1023 into 1024") << QByteArray(1023, 'a') << 1024 << QByteArray(1022, 'a');
    QTest::newRow("5000 into 1024") << QByteArray(5000, 'b') << 1024 << QByteArray(1022, 'b');
    QTest::newRow("fits exactly") << QByteArray("abc") << 5 << QByteArray("abc");
    QTest::newRow("one too many") << QByteArray("abcd") << 5 << QByteArray("abc");
    QTest::newRow("size 2 reads nothing") << QByteArray("abcd") << 2 << QByteArray("");
    // "x" then a two-byte character: a cut after "x\xc3" would leave half a character.
    QTest::newRow("utf-8 boundary") << QByteArray("x\xc3\xa9y") << 4 << QByteArray("x");
  }
  void aLongStoredTextIsCutAndTheLastByteNeverWritten() {
    QFETCH(QByteArray, stored);
    QFETCH(int, size);
    QFETCH(QByteArray, expected);
    SettingsKey key;
    OpenSettingsKey(key, "OSTREL");
    WriteSettingString(key, "lastfilename", stored.constData());
    CloseSettingsKey(key);

    QByteArray buffer(size + 1, '#');  // one guard byte past the buffer
    OpenSettingsKey(key, "OSTREL");
    char* destination = buffer.data();
    destination[size - 1] = '!';
    ReadSettingString(key, "lastfilename", "", destination, size);
    CloseSettingsKey(key);
    QCOMPARE(QByteArray(destination), expected);
    QCOMPARE(destination[size - 1], size - 1 == expected.size() ? '\0' : '!');
    QCOMPARE(buffer[size], '#');
  }

  void aDefaultThatIsTheDestinationIsKept() {
    WriteFile("[General]\nother=1\n");
    char text[8] = "keep";
    SettingsKey key;
    OpenSettingsKey(key, "OSTREL");
    ReadSettingString(key, "lastfilename", text, text, sizeof text);
    CloseSettingsKey(key);
    QCOMPARE(QByteArray(text), QByteArray("keep"));
  }

  void aDefaultLongerThanTheBufferIsCut() {
    char text[4];
    SettingsKey key;
    OpenSettingsKey(key, "OSTREL");
    ReadSettingString(key, "lastfilename", "abcdefgh", text, sizeof text);
    CloseSettingsKey(key);
    QCOMPARE(QByteArray(text), QByteArray("abc"));
  }

  void aValueOfTheWrongKindReadsAsTheDefault_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("text") << QByteArray("charttype=abc");
    QTest::newRow("number and text") << QByteArray("charttype=12abc");
    QTest::newRow("wider than 32 bits") << QByteArray("charttype=99999999999");
    QTest::newRow("empty") << QByteArray("charttype=");
    QTest::newRow("list") << QByteArray("charttype=1, 2");
    QTest::newRow("byte array") << QByteArray("charttype=@ByteArray(\\0\\x1)");
  }
  void aValueOfTheWrongKindReadsAsTheDefault() {
    QFETCH(QByteArray, line);
    WriteFile("[General]\n" + line + "\nlastfilename=a, b\n");
    SettingsKey key;
    OpenSettingsKey(key, "OSTREL");
    QCOMPARE(ReadSettingInt(key, "charttype", 42), 42);
    char text[16];
    ReadSettingString(key, "lastfilename", "dflt", text, sizeof text);  // a list is no text
    QCOMPARE(QByteArray(text), QByteArray("dflt"));
    CloseSettingsKey(key);
  }

  void aCorruptFileLeavesTheDefaultsAndIsRepairedBySaving() {
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i) garbage.append(static_cast<char>((i * 7919 + 13) % 256));
    garbage.prepend("[General]\ncharttype=2\n[broken\n");
    WriteFile(garbage);
    SettingsKey key;
    OpenSettingsKey(key, "OSTREL");
    QVERIFY(!key.Created);
    QCOMPARE(ReadSettingInt(key, "charttype", 0), 0);
    QCOMPARE(ReadString("lastfilename", "dflt"), QByteArray("dflt"));
    CloseSettingsKey(key);

    OpenSettingsKey(key, "OSTREL");
    WriteSettingInt(key, "charttype", 1);
    WriteSettingString(key, "lastfilename", "/saved");
    CloseSettingsKey(key);
    OpenSettingsKey(key, "OSTREL");
    QCOMPARE(ReadSettingInt(key, "charttype", 0), 1);
    CloseSettingsKey(key);
    QCOMPARE(ReadString("lastfilename", "dflt"), QByteArray("/saved"));
  }

  void anUnreadableFileLeavesTheDefaultsAndIsLeftAlone() {
    if (test::PermissionsBypassed()) QSKIP("running as root: a mode-000 file is still readable");
    WriteFile("[General]\ncharttype=2\n");
    QVERIFY(chmod(FilePath().toLocal8Bit().constData(), 0) == 0);
    SettingsKey key;
    OpenSettingsKey(key, "OSTREL");
    QVERIFY(!key.Created);
    QCOMPARE(ReadSettingInt(key, "charttype", 1), 1);
    WriteSettingInt(key, "charttype", 0);
    WriteSettingString(key, "lastfilename", "/x");
    CloseSettingsKey(key);
    QVERIFY(chmod(FilePath().toLocal8Bit().constData(), 0600) == 0);
    QCOMPARE(FileContent(), QByteArray("[General]\ncharttype=2\n"));
  }

  void aStoreThatCannotBeWrittenStillReadsDefaults() {
    if (test::PermissionsBypassed()) QSKIP("running as root: a read-only folder is still writable");
    QDir().mkpath(Store->path() + "/Harwen");
    QVERIFY(chmod((Store->path() + "/Harwen").toLocal8Bit().constData(), 0500) == 0);
    SettingsKey key;
    OpenSettingsKey(key, "OSTREL");
    QVERIFY(key.Created);
    char text[16] = "c:\\";
    ReadSettingString(key, "lastfilename", text, text, sizeof text);
    QCOMPARE(ReadSettingInt(key, "combineother", 1), 1);
    CloseSettingsKey(key);
    QCOMPARE(QByteArray(text), QByteArray("c:\\"));
    QVERIFY(!QFile::exists(FilePath()));
  }

  void aClosedKeyIgnoresEverything() {
    SettingsKey key;
    QCOMPARE(ReadSettingInt(key, "charttype", 3), 3);
    WriteSettingInt(key, "charttype", 1);
    char text[8];
    ReadSettingString(key, "lastfilename", "d", text, sizeof text);
    QCOMPARE(QByteArray(text), QByteArray("d"));
    ReadSettingString(key, "lastfilename", "d", nullptr, 8);
    CloseSettingsKey(key);
    QVERIFY(!QFile::exists(FilePath()));
  }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
