// The real desktop's boxes and modal runs, answered from inside their own modal loops: the
// boxes' look, their owner, and which answer counts as Yes.
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>

#include "docs/desktop.h"

using namespace ostrel;

namespace {

// Runs `answer` on the modal widget as soon as one shows.
void WhenModal(QObject* context, std::function<void(QWidget*)> answer) {
  auto* poll = new QTimer(context);
  QObject::connect(poll, &QTimer::timeout, context, [poll, answer] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      poll->stop();
      poll->deleteLater();
      answer(modal);
    }
  });
  poll->start(5);
}

}  // namespace

class TestDesktop : public QObject {
  Q_OBJECT

 private slots:
  void askYesNoIsTrueOnlyForYes_data() {
    // 0 Yes, 1 No, 2 closed without a button, 3 ended by the program for its owner, 4 ended for
    // another window and then answered Yes
    QTest::addColumn<int>("how");
    QTest::addColumn<bool>("yes");
    QTest::newRow("Yes") << 0 << true;
    QTest::newRow("No") << 1 << false;
    QTest::newRow("closed") << 2 << false;
    QTest::newRow("ended") << 3 << false;
    QTest::newRow("ended elsewhere, then Yes") << 4 << true;
  }
  void askYesNoIsTrueOnlyForYes() {
    QFETCH(int, how);
    QFETCH(bool, yes);
    TSystemDesktop desktop;
    QWidget owner;
    QString seen;
    WhenModal(this, [&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      if (!box) return modal->close(), void();
      seen = box->windowTitle() + '|' + box->text();
      if (box->icon() != QMessageBox::Question || box->standardButtons() != (QMessageBox::Yes | QMessageBox::No) ||
          box->parentWidget() != &owner)
        seen = "wrong look";
      QWidget other;
      if (how == 4) desktop.EndQuestions(&other);  // not this box's window: it stays
      if (how == 2)
        box->reject();
      else if (how == 3) {
        desktop.EndQuestions(&owner);
        if (box->isVisible()) seen = "still open", box->reject();
      } else
        box->button(how == 0 || how == 4 ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    QCOMPARE(desktop.AskYesNo(&owner, "Are you sure?", "Abort"), yes);
    QCOMPARE(seen, QString("Abort|Are you sure?"));
  }

  void showMessageHasNoIconAndOnlyOk() {
    TSystemDesktop desktop;
    QString seen;
    WhenModal(this, [&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      if (!box) return modal->close(), void();
      seen = box->windowTitle() + '|' + box->text();
      if (box->icon() != QMessageBox::NoIcon || box->standardButtons() != QMessageBox::Ok || box->parentWidget())
        seen = "wrong look";
      box->button(QMessageBox::Ok)->click();
    });
    desktop.ShowMessage(nullptr, "Nothing here", "Error");
    QCOMPARE(seen, QString("Error|Nothing here"));
  }

  void runModalReturnsTheDialogsResultAndClipboardTakesText() {
    TSystemDesktop desktop;
    QDialog dialog;
    WhenModal(this, [&](QWidget* modal) {
      if (modal == &dialog) dialog.done(5);
    });
    QCOMPARE(desktop.RunModal(dialog), 5);
    desktop.SetClipboardText(QString::fromUtf8("caf\xc3\xa9"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromUtf8("caf\xc3\xa9"));
  }
};

QTEST_MAIN(TestDesktop)
#include "test_desktop.moc"
