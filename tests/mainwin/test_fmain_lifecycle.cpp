// The main window's lifecycle: the command line, the members at construction, the delayed
// first tick, the completion message sent from another thread, and exceptions in handlers.
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <thread>

#include "mainwin/fmain.h"
#include "mainwin/formreceiver.h"
#include "mainwin_support.h"
#include "platform/files.h"
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

class TestFmainLifecycle : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void autoMinimizeSwitch_data();
  void autoMinimizeSwitch();
  void membersAtConstruction();
  void timerLoadTicksOnceAfterTheLoopStarts();
  void messagesAreHandledOnTheGuiThread();
  void destroyedWindowReleasesAWaitingSender();
  void detachedReceiverAnswersALateSend();
  void exceptionInHandlerIsShownAndLoopGoesOn();

 private:
  void ShowScanningLook(TForm1* form);
  std::unique_ptr<test::TTempStore> Store;
  test::TFakeDesktop Desktop;
};

void TestFmainLifecycle::init() {
  Store = std::make_unique<test::TTempStore>();
  App()->Shown.clear();
}

void TestFmainLifecycle::cleanup() { Store.reset(); }

void TestFmainLifecycle::ShowScanningLook(TForm1* form) {
  test::View(*form).LabelStandBy->show();
  test::View(*form).LabelScanned->show();
  test::View(*form).LabelCount->show();
  test::View(*form).ButtonStop->show();
}

void TestFmainLifecycle::autoMinimizeSwitch_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<bool>("set");
  QTest::newRow("no arguments") << QStringList{"ostrel"} << false;
  QTest::newRow("argument 1") << QStringList{"ostrel", "-autominimize"} << true;
  QTest::newRow("after a path") << QStringList{"ostrel", "/data", "-autominimize"} << true;
  QTest::newRow("upper case") << QStringList{"ostrel", "-AUTOMINIMIZE"} << true;
  QTest::newRow("mixed case") << QStringList{"ostrel", "/data", "-AutoMinimize"} << true;
  QTest::newRow("longer") << QStringList{"ostrel", "-autominimizex"} << false;
  QTest::newRow("shorter") << QStringList{"ostrel", "-autominimiz"} << false;
  QTest::newRow("no dash") << QStringList{"ostrel", "autominimize"} << false;
  QTest::newRow("argument 0 is the program") << QStringList{"-autominimize"} << false;
  // Only a-z fold: a dotless or dotted I of another script is not an i.
  QTest::newRow("non-ASCII letter") << QStringList{"ostrel", "-autom\xc4\xb0nimize"} << false;
}

void TestFmainLifecycle::autoMinimizeSwitch() {
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

void TestFmainLifecycle::membersAtConstruction() {
  ScanSettings.autominimize = 1;
  ScanSettings.combineother = 0;
  ScanSettings.includecd.store(1);
  TForm1 form({"ostrel"}, Desktop);
  QVERIFY(form.AttachedScan() == nullptr);
  QVERIFY(form.CurrentPath().empty());
  QVERIFY(form.Handle() != NoWindow);
  // The constructor reset the record before loading an empty (first-start) store.
  QCOMPARE(ScanSettings.autominimize, 0);
  QCOMPARE(ScanSettings.combineother, 1);
  QCOMPARE(ScanSettings.includecd.load(), 0);
}

void TestFmainLifecycle::timerLoadTicksOnceAfterTheLoopStarts() {
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
  QVERIFY(test::View(form).TimerUpdate->isActive());
  update.clear();
  QVERIFY(update.wait(5000));
  QCOMPARE(load.count(), 1);
  QCOMPARE(Desktop.Dialogs, 1);
}

void TestFmainLifecycle::messagesAreHandledOnTheGuiThread() {
  TDispatchLog log;
  log.ReplyTag = 1000;
  TProbeForm form(log, Desktop);
  ShowScanningLook(&form);
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
  for (QWidget* w : {static_cast<QWidget*>(test::View(form).LabelStandBy), static_cast<QWidget*>(test::View(form).LabelScanned),
                     static_cast<QWidget*>(test::View(form).LabelCount), static_cast<QWidget*>(test::View(form).ButtonStop)})
    QVERIFY(w->isHidden());

  // No deadlock: on the GUI thread the message is handled at once.
  ShowScanningLook(&form);
  QCOMPARE(SendMessageSync(form.Handle(), ScanDoneMessage, 0, 5), std::intptr_t(1000));
  QCOMPARE(log.Calls.load(), 6);
  QVERIFY(test::View(form).LabelStandBy->isHidden());
}

void TestFmainLifecycle::destroyedWindowReleasesAWaitingSender() {
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
}

void TestFmainLifecycle::detachedReceiverAnswersALateSend() {
  // A sender that looked the receiver up just before its window went still holds it and calls
  // it: the detached receiver answers without reaching the window.
  TDispatchLog log;
  auto form = std::make_unique<TProbeForm>(log, Desktop);
  auto late = std::make_shared<TFormReceiver>(form.get());
  late->Detach();
  form.reset();
  std::intptr_t result = -1;
  std::thread sender([&] { result = late->HandleMessage(ScanDoneMessage, 0, 1); });
  sender.join();
  QCOMPARE(result, std::intptr_t(0));
  QCOMPARE(log.Calls.load(), 0);
}

void TestFmainLifecycle::exceptionInHandlerIsShownAndLoopGoesOn() {
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

OSTREL_MAINWIN_TEST_MAIN(TestFmainLifecycle, TRecordingApp)
#include "test_fmain_lifecycle.moc"
