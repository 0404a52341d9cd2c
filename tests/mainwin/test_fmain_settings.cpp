// The ten stored settings: created with their defaults on a first start, read back when
// present, shown in the chart-type choice, and saved when (and only when) the window closes.
#include <QAction>
#include <QRadioButton>
#include <cstring>
#include <memory>

#include "mainwin/fmain.h"
#include "mainwin/radiogroup.h"
#include "mainwin_support.h"
#include "scan/scansettings.h"

using namespace ostrel;

class TestFmainSettings : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void firstStartWritesDefaults();
  void presentStoreIsReadBack();
  void missingValuesKeepDefaults();
  void chartTypeShown_data();
  void chartTypeShown();
  void longLastFileName_data();
  void longLastFileName();
  void changedChartTypeSavedOnClose_data();
  void changedChartTypeSavedOnClose();
  void notSavedWithoutClosing();

 private:
  TForm1* MakeWindow();
  void WriteStore(const std::vector<std::pair<QString, QVariant>>& values);

  std::unique_ptr<test::TTempStore> Store;
  test::TFakeDesktop Desktop;
  std::unique_ptr<TForm1> Form;
};

void TestFmainSettings::init() {
  Store = std::make_unique<test::TTempStore>();
  // Whatever an earlier case left in the record must not hide a missing load.
  ScanSettings.charttype = 99;
  ScanSettings.combineother = 99;
  ScanSettings.apparentsize = 99;
  ScanSettings.keephistory = 99;
  std::strcpy(ScanSettings.lastfilename, "left over");
}

void TestFmainSettings::cleanup() {
  Form.reset();
  Store.reset();
}

TForm1* TestFmainSettings::MakeWindow() {
  Form = std::make_unique<TForm1>(std::vector<std::string>{"ostrel"}, Desktop);
  return Form.get();
}

void TestFmainSettings::WriteStore(const std::vector<std::pair<QString, QVariant>>& values) {
  auto store = Store->Open();
  for (const auto& [name, value] : values) store->setValue(name, value);
  store->sync();
  QCOMPARE(store->status(), QSettings::NoError);
}

void TestFmainSettings::firstStartWritesDefaults() {
  QVERIFY(!Store->Exists());
  MakeWindow();
  // Before the user has done anything, the key holds all ten values.
  QVERIFY(Store->Exists());
  auto store = Store->Open();
  QCOMPARE(store->allKeys().size(), 10);
  QCOMPARE(store->value("lastfilename").toString(), QString::fromLatin1(DefaultLastFileName));
  QCOMPARE(store->value("combineother").toInt(), 1);
  QCOMPARE(store->value("keephistory").toInt(), 1);
  for (const char* name :
       {"shrinktotaskbar", "autoload", "includefloppy", "includecd", "includenet", "charttype", "apparentsize"})
    QCOMPARE(store->value(name).toString(), QStringLiteral("0"));
  QCOMPARE(QString::fromLatin1(ScanSettings.lastfilename), QString::fromLatin1(DefaultLastFileName));
  QCOMPARE(ScanSettings.combineother, 1);
  QCOMPARE(ScanSettings.charttype, 0);
  QCOMPARE(ScanSettings.apparentsize, 0);
  QCOMPARE(ScanSettings.keephistory, 1);
  QCOMPARE(test::View(*Form).RadioGroupChartType->ItemIndex(), 0);
}

void TestFmainSettings::presentStoreIsReadBack() {
  WriteStore({{"lastfilename", "/home/user/data"},
              {"shrinktotaskbar", 1},
              {"autoload", 1},
              {"includefloppy", 1},
              {"includecd", 1},
              {"includenet", 1},
              {"combineother", 0},
              {"charttype", 1},
              {"apparentsize", 1},
              {"keephistory", 0}});
  MakeWindow();
  QCOMPARE(QString::fromLatin1(ScanSettings.lastfilename), QStringLiteral("/home/user/data"));
  QCOMPARE(ScanSettings.shrinktotaskbar, 1);
  QCOMPARE(ScanSettings.autoload, 1);
  QCOMPARE(ScanSettings.includefloppy.load(), 1);
  QCOMPARE(ScanSettings.includecd.load(), 1);
  QCOMPARE(ScanSettings.includenet.load(), 1);
  QCOMPARE(ScanSettings.combineother, 0);
  QCOMPARE(ScanSettings.charttype, 1);
  QCOMPARE(ScanSettings.apparentsize, 1);
  QCOMPARE(ScanSettings.keephistory, 0);
  QCOMPARE(ScanSettings.autominimize, 0);
  QVERIFY(test::View(*Form).RadioGroupChartType->Button(1)->isChecked());
}

void TestFmainSettings::missingValuesKeepDefaults() {
  // A key with only some values: the others keep the constructor's defaults and are not added
  // until the next save.
  WriteStore({{"includecd", 1}});
  MakeWindow();
  QCOMPARE(ScanSettings.includecd.load(), 1);
  QCOMPARE(ScanSettings.combineother, 1);
  QCOMPARE(ScanSettings.charttype, 0);
  QCOMPARE(ScanSettings.apparentsize, 0);
  QCOMPARE(QString::fromLatin1(ScanSettings.lastfilename), QString::fromLatin1(DefaultLastFileName));
  QCOMPARE(Store->Open()->allKeys().size(), 1);
  Form->close();
  auto store = Store->Open();
  QCOMPARE(store->allKeys().size(), 10);
  QCOMPARE(store->value("apparentsize").toInt(), 0);
  QCOMPARE(store->value("combineother").toInt(), 1);
  QCOMPARE(store->value("includecd").toInt(), 1);
}

void TestFmainSettings::chartTypeShown_data() {
  QTest::addColumn<int>("stored");
  QTest::addColumn<int>("shownIndex");
  QTest::addColumn<QString>("shown");
  QTest::newRow("pie") << 0 << 0 << "Pie";
  QTest::newRow("horizontal") << 1 << 1 << "Horiz Bar";
  QTest::newRow("vertical") << 2 << 2 << "Vert Bar";
  QTest::newRow("7 is no chart type") << 7 << 0 << "Pie";
  QTest::newRow("negative") << -1 << 0 << "Pie";
}

void TestFmainSettings::chartTypeShown() {
  QFETCH(int, stored);
  QFETCH(int, shownIndex);
  QFETCH(QString, shown);
  WriteStore({{"charttype", stored}});
  MakeWindow();
  TRadioGroup* group = test::View(*Form).RadioGroupChartType;
  QCOMPARE(group->ItemIndex(), shownIndex);
  QCOMPARE(group->Button(shownIndex)->text(), shown);
  QVERIFY(group->Button(shownIndex)->isChecked());
  // What is shown is what the chart uses, and what is saved.
  QCOMPARE(ScanSettings.charttype, shownIndex);
  Form->close();
  QCOMPARE(Store->Open()->value("charttype").toInt(), shownIndex);
}

void TestFmainSettings::longLastFileName_data() {
  QTest::addColumn<int>("storedLength");
  QTest::addColumn<int>("readLength");
  QTest::newRow("1022 read whole") << 1022 << 1022;
  QTest::newRow("5000 cut to 1022") << 5000 << 1022;
}

void TestFmainSettings::longLastFileName() {
  QFETCH(int, storedLength);
  QFETCH(int, readLength);
  QString path = QStringLiteral("/");
  while (path.size() < storedLength) path += QStringLiteral("abcdefghi/");
  path.truncate(storedLength);
  WriteStore({{"lastfilename", path}});
  MakeWindow();
  QCOMPARE(int(std::strlen(ScanSettings.lastfilename)), readLength);
  QCOMPARE(QString::fromLatin1(ScanSettings.lastfilename), path.left(readLength));
  // The record's buffer is never overrun: the rest of the record is intact.
  QCOMPARE(ScanSettings.charttype, 0);
  QCOMPARE(ScanSettings.combineother, 1);
  // And a text of that length goes back whole.
  Form->close();
  QCOMPARE(Store->Open()->value("lastfilename").toString(), path.left(readLength));
}

void TestFmainSettings::changedChartTypeSavedOnClose_data() {
  QTest::addColumn<bool>("viaQuit");
  QTest::newRow("close box") << false;
  QTest::newRow("menu Quit") << true;
}

void TestFmainSettings::changedChartTypeSavedOnClose() {
  QFETCH(bool, viaQuit);
  MakeWindow();
  Form->show();
  QVERIFY(QTest::qWaitForWindowExposed(Form.get()));
  QTest::mouseClick(test::View(*Form).RadioGroupChartType->Button(2), Qt::LeftButton);
  QCOMPARE(ScanSettings.charttype, 2);
  QCOMPARE(Store->Open()->value("charttype").toInt(), 0);  // nothing saved yet
  std::strcpy(ScanSettings.lastfilename, "/srv/chosen");
  ScanSettings.includenet.store(1);
  ScanSettings.apparentsize = 1;

  if (viaQuit)
    test::View(*Form).Quit1->trigger();
  else
    Form->close();
  QVERIFY(!Form->isVisible());
  auto store = Store->Open();
  QCOMPARE(store->value("charttype").toInt(), 2);
  QCOMPARE(store->value("lastfilename").toString(), QStringLiteral("/srv/chosen"));
  QCOMPARE(store->value("includenet").toInt(), 1);
  QCOMPARE(store->value("apparentsize").toInt(), 1);

  // The next start shows it.
  Form.reset();
  MakeWindow();
  QCOMPARE(test::View(*Form).RadioGroupChartType->ItemIndex(), 2);
  QCOMPARE(ScanSettings.apparentsize, 1);
}

void TestFmainSettings::notSavedWithoutClosing() {
  MakeWindow();
  Form->show();
  QVERIFY(QTest::qWaitForWindowExposed(Form.get()));
  QTest::mouseClick(test::View(*Form).RadioGroupChartType->Button(1), Qt::LeftButton);
  QCOMPARE(ScanSettings.charttype, 1);
  Form.reset();  // the process ends without the window being closed
  QCOMPARE(Store->Open()->value("charttype").toInt(), 0);
}

OSTREL_MAINWIN_TEST_MAIN(TestFmainSettings, ostrel::TApplication)
#include "test_fmain_settings.moc"
