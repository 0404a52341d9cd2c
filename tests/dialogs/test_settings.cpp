// The per-user settings key: round trips, cut texts, wrong kinds of value, and stores that are
// corrupt or unreadable (what a first start writes, and that a present key gets nothing added,
// is the window's lifecycle test's). Every test uses its own temporary store.
#include <QtTest>

#include <sys/stat.h>

#include <tuple>

#include "dialogs/formutil.h"
#include "tests/support/fixture.h"

using namespace ostrel;

namespace {

// The program's key, open until the end of the statement or scope that made it.
struct TOpenKey : SettingsKey {
  TOpenKey() { OpenSettingsKey(*this, "OSTREL"); }
  ~TOpenKey() { CloseSettingsKey(*this); }
  SettingsKey& Open() { return *this; }
};

}  // namespace

class TestSettings : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::TempTree> Store;
  // Writes the store's file as another program would; its path.
  std::string WriteFile(const std::string& content) { return Store->Write("Harwen/OSTREL.conf", content); }
  // Reads "lastfilename" into a buffer of `size` bytes followed by a guard byte.
  QByteArray ReadText(const char* def, int size = 1024, bool* lastByteKept = nullptr) {
    QByteArray buffer(size + 1, '#');
    buffer[size - 1] = '!';
    ReadSettingString(TOpenKey().Open(), "lastfilename", def, buffer.data(), size);
    if (buffer[size] != '#') qFatal("written past the buffer");
    if (lastByteKept) *lastByteKept = buffer[size - 1] == '!';
    return QByteArray(buffer.constData());
  }
  void WriteText(const QByteArray& text) { WriteSettingString(TOpenKey().Open(), "lastfilename", text.constData()); }

 private slots:
  void init() {
    Store = std::make_unique<test::TempTree>();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(Store->Root()));
  }

  void valuesRoundTrip() {
    for (const QByteArray& text : {QByteArray(""), QByteArray("/a, b/\"q\"/;x=y\\"),
                                   QByteArray("/data/caf\xe9/\xff\x80"), QByteArray(1022, 'p')}) {
      WriteText(text);
      QCOMPARE(ReadText("default"), text);
    }
    for (int32_t value : {0, -5, INT32_MIN, INT32_MAX}) {
      WriteSettingInt(TOpenKey().Open(), "charttype", value);
      QCOMPARE(ReadSettingInt(TOpenKey().Open(), "charttype", 12345), value);
    }
  }

  // Stored text, buffer size, what is read; the size 2 reads nothing, and no half character.
  void aLongTextIsCutAndTheLastByteNeverWritten() {
    const std::tuple<QByteArray, int, QByteArray> cases[] = {
        {QByteArray(1023, 'a'), 1024, QByteArray(1022, 'a')},
        {"abcd", 2, ""},
        {"x\xc3\xa9y", 4, "x"},
    };
    for (const auto& [stored, size, expected] : cases) {
      WriteText(stored);
      bool lastByteKept = false;
      QCOMPARE(ReadText("", size, &lastByteKept), expected);
      QVERIFY(lastByteKept);
    }
  }

  // Text, wider than 32 bits, empty, a list.
  void aValueOfTheWrongKindReadsAsTheDefault() {
    for (const char* value : {"12abc", "99999999999", "", "1, 2"}) {
      WriteFile(std::string("[General]\ncharttype=") + value + "\nlastfilename=a, b\n");
      QVERIFY(!TOpenKey().Created);
      QCOMPARE(ReadSettingInt(TOpenKey().Open(), "charttype", 42), 42);
      QCOMPARE(ReadText("dflt"), QByteArray("dflt"));  // a list is no text
    }
  }

  void aCorruptFileKeepsWhatParsesAndSavingRepairsIt() {
    QByteArray garbage("[General]\ncharttype=2\n[broken\n");
    for (int i = 0; i < 4096; ++i) garbage.append(static_cast<char>((i * 7919 + 13) % 256));
    WriteFile(garbage.toStdString());
    {
      TOpenKey key;
      QVERIFY(!key.Created);
      // The line that parses is read; only what is missing gets its default.
      QCOMPARE(ReadSettingInt(key, "charttype", 0), 2);
      QCOMPARE(ReadSettingInt(key, "combineother", 7), 7);
      WriteSettingInt(key, "charttype", 1);
    }
    QCOMPARE(ReadSettingInt(TOpenKey().Open(), "charttype", 0), 1);
  }

  void anUnreadableFileReadsAsDefaultsAndIsLeftAlone() {
    if (test::PermissionsBypassed()) QSKIP("running as root: a mode-000 file is still readable");
    const std::string content = "[General]\ncharttype=2\n";
    const std::string path = WriteFile(content);
    QVERIFY(chmod(path.c_str(), 0) == 0);
    {
      TOpenKey key;
      QVERIFY(!key.Created);
      QCOMPARE(ReadSettingInt(key, "charttype", 1), 1);
      WriteSettingInt(key, "charttype", 0);
    }
    QVERIFY(chmod(path.c_str(), 0600) == 0);
    QCOMPARE(test::ReadFile(path), content);
  }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
