// The main window's lifecycle: the command line, the members at construction, the ten stored
// settings (created with their defaults on a first start, read back when present, shown in the
// chart-type choice, and saved when, and only when, the window closes), the delayed first
// tick, the completion message sent from another thread, and exceptions in handlers.
#include <QRadioButton>
#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <stdexcept>
#include <thread>

#include "mainwin/formreceiver.h"
#include "mainwin_support.h"
#include "scan/scansettings.h"
#include "scan/tloader.h"

using namespace ostrel;
using namespace std::chrono_literals;

namespace {

// Records every exception display instead of opening a box.
class TRecordingApp : public TApplication {
 public:
  using TApplication::TApplication;
  void ShowException(const QString& message) override { Shown << message; }
  QStringList Shown;
};

TRecordingApp* App() { return static_cast<TRecordingApp*>(qApp); }

// What the probe window's Dispatch saw. Kept outside the window, which a case may delete.
struct TDispatchLog {
  std::atomic<int> Calls{0};
  std::atomic<uint32_t> Msg{0};
  std::atomic<std::intptr_t> LParam{0};
  std::atomic<bool> OnGuiThread{false};
  // Added to the window's answer: a sender can only hand it back by waiting for Dispatch.
  std::intptr_t ReplyTag = 0;
};

class TProbeForm : public TForm1 {
 public:
  TProbeForm(TDispatchLog& log, TDesktop& desktop) : TForm1({"ostrel"}, desktop), Log(log) {}
  std::intptr_t Dispatch(uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override {
    Log.Msg = msg;
    Log.LParam = lParam;
    Log.OnGuiThread = QThread::currentThread() == qApp->thread();
    ++Log.Calls;
    return TForm1::Dispatch(msg, wParam, lParam) + Log.ReplyTag;
  }
  TDispatchLog& Log;
};

}  // namespace

class TestFmainLifecycle : public test::TFormTest {
  Q_OBJECT

 private slots:
  void init() {
    StartCase();
    App()->Shown.clear();
    // Whatever an earlier case left in the record must not hide a missing load.
    ScanSettings.charttype = 99;
    ScanSettings.combineother = 99;
    ScanSettings.apparentsize = 99;
    ScanSettings.keephistory = 99;
    std::strcpy(ScanSettings.lastfilename, "left over");
  }

  void cleanup() { EndCase(); }

  void autoMinimizeSwitch_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("set");
    QTest::newRow("no arguments") << QStringList{"ostrel"} << false;
    QTest::newRow("after a path") << QStringList{"ostrel", "/data", "-autominimize"} << true;
    QTest::newRow("argument 1, upper case") << QStringList{"ostrel", "-AUTOMINIMIZE"} << true;
    QTest::newRow("mixed case") << QStringList{"ostrel", "/data", "-AutoMinimize"} << true;
    QTest::newRow("longer") << QStringList{"ostrel", "-autominimizex"} << false;
    QTest::newRow("shorter") << QStringList{"ostrel", "-autominimiz"} << false;
    QTest::newRow("no dash") << QStringList{"ostrel", "autominimize"} << false;
    QTest::newRow("argument 0 is the program") << QStringList{"-autominimize"} << false;
    // Only a-z fold: a dotless or dotted I of another script is not an i.
    QTest::newRow("non-ASCII letter") << QStringList{"ostrel", "-autom\xc4\xb0nimize"} << false;
  }
  void autoMinimizeSwitch() {
    QFETCH(QStringList, args);
    QFETCH(bool, set);
    std::vector<std::string> argv;
    for (const QString& a : args) argv.push_back(a.toStdString());
    QCOMPARE(HasAutoMinimizeSwitch(argv), set);
    // The window records it, and shows itself all the same.
    TForm1 form(argv, Desktop);
    QCOMPARE(ScanSettings.autominimize, set ? 1 : 0);
    QCOMPARE(form.Arguments(), argv);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(!form.isMinimized());
  }

  void timerLoadTicksOnceAfterTheLoopStarts() {
    TForm1 form({"ostrel"}, Desktop);
    QTimer* timerLoad = test::View(form).TimerLoad;
    QSignalSpy load(timerLoad, &QTimer::timeout);
    QSignalSpy update(test::View(form).TimerUpdate, &QTimer::timeout);
    QVERIFY(timerLoad->isActive());
    // Nothing asked during construction. The timer belongs to this thread, so it ticks only
    // when this thread handles events, however long that takes.
    QCOMPARE(Desktop.Dialogs, 0);
    QCOMPARE(timerLoad->thread(), QThread::currentThread());
    QVERIFY(load.wait(5000));
    QCOMPARE(Desktop.Dialogs, 1);  // the wizard, opened by the tick
    // Stopped for good: it cannot tick again.
    QVERIFY(!timerLoad->isActive());
    // The progress timer goes on ticking.
    QVERIFY(update.wait(5000));
    QCOMPARE(load.count(), 1);
    QCOMPARE(Desktop.Dialogs, 1);
  }

  void messagesAreHandledOnTheGuiThread() {
    TDispatchLog log;
    log.ReplyTag = 1000;
    TProbeForm form(log, Desktop);
    for (QWidget* w : test::ScanningLookControls(form)) w->show();
    // Other messages reach Dispatch, which ignores them: the scanning look stays.
    for (uint32_t msg : {ScanDoneMessage - 1, ScanDoneMessage + 1, WmUser, uint32_t(0)}) {
      std::thread sender([&] { SendMessageSync(form.Handle(), msg, 0, 0); });
      QTRY_COMPARE(log.Msg.load(), msg);
      sender.join();
    }
    QCOMPARE(log.Calls.load(), 4);
    QVERIFY(!test::View(form).LabelStandBy->isHidden() && !test::View(form).ButtonStop->isHidden());

    std::intptr_t result = -1;
    std::thread sender([&] { result = SendMessageSync(form.Handle(), ScanDoneMessage, 7, 1234); });
    QTRY_COMPARE(log.Calls.load(), 5);
    sender.join();
    QCOMPARE(log.Msg.load(), uint32_t(1125));
    QCOMPARE(log.LParam.load(), std::intptr_t(1234));
    QVERIFY(log.OnGuiThread);
    // The window answered 0, and the sender waited for that answer.
    QCOMPARE(result, std::intptr_t(1000));
    // The completion ended in the idle look.
    for (QWidget* w : test::ScanningLookControls(form)) QVERIFY(w->isHidden());

    // No deadlock: on the GUI thread the message is handled at once.
    for (QWidget* w : test::ScanningLookControls(form)) w->show();
    QCOMPARE(SendMessageSync(form.Handle(), ScanDoneMessage, 0, 5), std::intptr_t(1000));
    QCOMPARE(log.Calls.load(), 6);
    QVERIFY(test::View(form).LabelStandBy->isHidden());
  }

  void destroyedWindowReleasesAWaitingSender() {
    // A scan that ends while the window goes must neither hang nor reach the dead window.
    TDispatchLog log;
    auto form = std::make_unique<TProbeForm>(log, Desktop);
    const THandle handle = form->Handle();
    std::promise<std::intptr_t> done;
    std::future<std::intptr_t> result = done.get_future();
    std::thread sender([&] { done.set_value(SendMessageSync(handle, ScanDoneMessage, 0, 1)); });
    // The GUI thread processes no events meanwhile, so the message can only wait. Nothing marks
    // the moment the sender has posted it, so a bounded pause shows that it does not return on
    // its own, and gives it the time to post before the window goes.
    QCOMPARE(result.wait_for(150ms), std::future_status::timeout);
    form.reset();
    const bool released = result.wait_for(5s) == std::future_status::ready;
    if (!released) sender.detach();  // keep the runner alive to report the failure
    QVERIFY(released);
    sender.join();
    QCOMPARE(result.get(), std::intptr_t(0));
    QCoreApplication::processEvents();
    QCOMPARE(log.Calls.load(), 0);
    // The handle now names nobody.
    QCOMPARE(SendMessageSync(handle, ScanDoneMessage, 0, 1), std::intptr_t(0));

    // A sender that looked the receiver up just before its window went still holds it and calls
    // it: the detached receiver answers without reaching the window.
    form = std::make_unique<TProbeForm>(log, Desktop);
    auto late = std::make_shared<TFormReceiver>(form.get());
    late->Detach();
    form.reset();
    std::intptr_t answer = -1;
    std::thread lateSender([&] { answer = late->HandleMessage(ScanDoneMessage, 0, 1); });
    lateSender.join();
    QCOMPARE(answer, std::intptr_t(0));
    QCOMPARE(log.Calls.load(), 0);
  }

  void exceptionInHandlerIsShownAndLoopGoesOn() {
    TForm1 form({"ostrel"}, Desktop);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    int clicks = 0;
    connect(test::View(form).ButtonCopy, &QPushButton::clicked, &form, [&clicks] {
      if (++clicks == 1) throw std::runtime_error("Cannot read the folder.");
    });
    QTest::mouseClick(test::View(form).ButtonCopy, Qt::LeftButton);
    QCOMPARE(App()->Shown, QStringList{"Cannot read the folder."});
    QVERIFY(form.isVisible());

    // A timer's handler throwing something else; events after it are still handled.
    bool later = false;
    QTimer::singleShot(0, &form, [] { throw 42; });
    QTimer::singleShot(20, &form, [&later] { later = true; });
    QTRY_VERIFY(later);
    QCOMPARE(App()->Shown.size(), 2);
    QCOMPARE(App()->Shown[1], QStringLiteral("An unknown error occurred."));
    QTest::mouseClick(test::View(form).ButtonCopy, Qt::LeftButton);
    QCOMPARE(clicks, 2);
    QCOMPARE(App()->Shown.size(), 2);
  }

  void firstStartWritesDefaults() {
    QVERIFY(!Store->Exists());
    ScanSettings.autominimize = 1;
    ScanSettings.includecd.store(1);
    OpenWindow();
    // The constructor reset the record before loading an empty (first-start) store.
    QCOMPARE(ScanSettings.autominimize, 0);
    QCOMPARE(ScanSettings.includecd.load(), 0);
    // Before the user has done anything, the key holds all ten values.
    QVERIFY(Store->Exists());
    QCOMPARE(StoreText(), Defaults);
    QCOMPARE(Record(), Defaults + " autominimize=0");
    QCOMPARE(V().RadioGroupChartType->ItemIndex(), 0);
  }

  void presentStoreIsReadBack() {
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
    OpenWindow();
    QCOMPARE(Record(), QStringLiteral("lastfilename=/home/user/data shrinktotaskbar=1 autoload=1 includefloppy=1 includecd=1 "
                                      "includenet=1 combineother=0 charttype=1 apparentsize=1 keephistory=0 autominimize=0"));
    QVERIFY(V().RadioGroupChartType->Button(1)->isChecked());
  }

  void missingValuesKeepDefaults() {
    // A key with only some values: the others keep the constructor's defaults and are not added
    // until the next save. The window reads into the record's own buffer: 5000 bytes come in as
    // 1022, the defaults behind the buffer intact, and go back so.
    const QString path = QStringLiteral("/abcdefghi").repeated(500);
    WriteStore({{"lastfilename", path}, {"includecd", 1}});
    OpenWindow();
    const QString record = QStringLiteral("lastfilename=") + path.left(1022) +
                           QString(Defaults).mid(Defaults.indexOf(' ')).replace(" includecd=0", " includecd=1");
    QCOMPARE(Record(), record + " autominimize=0");
    QCOMPARE(StoreText(), "lastfilename=" + path + " includecd=1");
    Form->close();
    QCOMPARE(StoreText(), record);
  }

  void chartTypeShown_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("shownIndex");
    QTest::addColumn<QString>("shown");
    QTest::newRow("horizontal") << 1 << 1 << "Horiz Bar";
    QTest::newRow("vertical") << 2 << 2 << "Vert Bar";
    QTest::newRow("treemap") << 3 << 3 << "Treemap";
    QTest::newRow("7 is no chart type") << 7 << 0 << "Pie";
    QTest::newRow("negative") << -1 << 0 << "Pie";
  }
  void chartTypeShown() {
    QFETCH(int, stored);
    QFETCH(int, shownIndex);
    QFETCH(QString, shown);
    WriteStore({{"charttype", stored}});
    OpenWindow();
    TRadioGroup* group = V().RadioGroupChartType;
    QCOMPARE(group->ItemIndex(), shownIndex);
    QCOMPARE(group->Button(shownIndex)->text(), shown);
    QVERIFY(group->Button(shownIndex)->isChecked());
    // What is shown is what the chart uses, and what is saved.
    QCOMPARE(ScanSettings.charttype, shownIndex);
    Form->close();
    QCOMPARE(Store->Open()->value("charttype").toInt(), shownIndex);
  }

  void changedChartTypeSavedOnClose_data() {
    QTest::addColumn<int>("end");
    QTest::newRow("close box") << 0;
    QTest::newRow("menu Quit") << 1;
    QTest::newRow("never closed: nothing saved") << 2;
  }
  void changedChartTypeSavedOnClose() {
    QFETCH(int, end);
    OpenWindow();
    ShowActive();
    QTest::mouseClick(V().RadioGroupChartType->Button(2), Qt::LeftButton);
    QCOMPARE(ScanSettings.charttype, 2);
    QCOMPARE(Store->Open()->value("charttype").toInt(), 0);  // nothing saved yet
    std::strcpy(ScanSettings.lastfilename, "/srv/chosen");
    ScanSettings.includenet.store(1);
    ScanSettings.apparentsize = 1;

    if (end == 2) {
      Form.reset();  // the process ends without the window being closed
      QCOMPARE(Store->Open()->value("charttype").toInt(), 0);
      return;
    }
    if (end == 1)
      V().Quit1->trigger();
    else
      Form->close();
    QVERIFY(!Form->isVisible());
    QCOMPARE(StoreText(), QStringLiteral("lastfilename=/srv/chosen shrinktotaskbar=0 autoload=0 includefloppy=0 includecd=0 "
                                         "includenet=1 combineother=1 charttype=2 apparentsize=1 keephistory=1"));

    // The next start shows it.
    Form.reset();
    OpenWindow();
    QCOMPARE(V().RadioGroupChartType->ItemIndex(), 2);
    QCOMPARE(ScanSettings.apparentsize, 1);
  }

 private:
  void WriteStore(const std::vector<std::pair<QString, QVariant>>& values) {
    auto store = Store->Open();
    for (const auto& [name, value] : values) store->setValue(name, value);
    store->sync();
    QCOMPARE(store->status(), QSettings::NoError);
  }

  // The record's ten stored settings and the switch, as "name=value" in the record's order.
  static QString Record() {
    const TScanSettings& s = ScanSettings;
    QString text = QStringLiteral("lastfilename=") + QString::fromLatin1(s.lastfilename);
    for (const auto& [name, value] : std::initializer_list<std::pair<const char*, int>>{
             {"shrinktotaskbar", s.shrinktotaskbar}, {"autoload", s.autoload}, {"includefloppy", s.includefloppy},
             {"includecd", s.includecd}, {"includenet", s.includenet}, {"combineother", s.combineother},
             {"charttype", s.charttype}, {"apparentsize", s.apparentsize}, {"keephistory", s.keephistory},
             {"autominimize", s.autominimize}})
      text += QStringLiteral(" %1=%2").arg(QLatin1String(name)).arg(value);
    return text;
  }
  // The stored values in the same order, those that are there.
  QString StoreText() const {
    auto store = Store->Open();
    QStringList values;
    for (const QString& setting : Record().split(' '))
      if (const QString name = setting.section('=', 0, 0); store->contains(name))
        values << name + '=' + store->value(name).toString();
    return values.join(' ');
  }
  // The settings of a first start, in that order.
  const QString Defaults = QStringLiteral("lastfilename=") + QString::fromLatin1(DefaultLastFileName) +
                           QStringLiteral(" shrinktotaskbar=0 autoload=0 includefloppy=0 includecd=0 includenet=0 "
                                          "combineother=1 charttype=0 apparentsize=0 keephistory=1");

};

OSTREL_MAINWIN_TEST_MAIN(TestFmainLifecycle, TRecordingApp)
#include "test_fmain_lifecycle.moc"
