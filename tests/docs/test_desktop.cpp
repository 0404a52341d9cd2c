// The real desktop's boxes and modal runs, answered from inside their own modal loops: the
// boxes' look, their owner, and which answer counts as Yes.
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>
#include <tuple>

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
  // How the box ends: 0 Yes, 1 No, 2 closed without a button, 3 ended by the program for its
  // owner, 4 ended for another window and then answered Yes. Case 1 asks with No as the default.
  void askYesNoIsTrueOnlyForYes() {
    for (int how = 0; how < 5; ++how) {
      const bool noByDefault = how == 1;
      TSystemDesktop desktop;
      QWidget owner;
      QString seen;
      WhenModal(this, [&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) return modal->close(), void();
        seen = box->windowTitle() + '|' + box->text();
        if (box->icon() != QMessageBox::Question || box->standardButtons() != (QMessageBox::Yes | QMessageBox::No) ||
            box->parentWidget() != &owner ||
            box->defaultButton() != box->button(noByDefault ? QMessageBox::No : QMessageBox::Yes))
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
      QCOMPARE(desktop.AskYesNo(&owner, "Are you sure?", "Abort", noByDefault), how == 0 || how == 4);
      QCOMPARE(seen, QString("Abort|Are you sure?"));
    }
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

  void runModalReturnsTheDialogsResult() {
    TSystemDesktop desktop;
    QDialog dialog;
    WhenModal(this, [&](QWidget* modal) {
      if (modal == &dialog) dialog.done(5);
    });
    QCOMPARE(desktop.RunModal(dialog), 5);
  }

  // A path is pasted as its bytes, whatever they are; programs that take files get its URL.
  // A relative path gets no URL.
  void aPathGoesOnTheClipboardAsItsBytesAndItsUrl() {
    const std::tuple<QByteArray, QByteArray, bool> cases[] = {  // path, URI list, valid UTF-8
        {"/srv/caf\xe9 x", "file:///srv/caf%E9%20x\r\n", false},
        {"/srv/a\nb", "file:///srv/a%0Ab\r\n", true},
        {"/srv/caf\xc3\xa9", "file:///srv/caf%C3%A9\r\n", true},
        {"data/x", "", true},
    };
    for (const auto& [path, uris, utf8] : cases) {
      const std::unique_ptr<QMimeData> data(PathMimeData(path));
      QCOMPARE(data->data("text/plain"), path);
      QCOMPARE(data->hasFormat("text/plain;charset=utf-8"), utf8);
      QCOMPARE(data->hasFormat("text/uri-list"), !uris.isEmpty());
      QCOMPARE(data->data("text/uri-list"), uris);
      TSystemDesktop().SetClipboardPath(path);
      QCOMPARE(QGuiApplication::clipboard()->mimeData()->data("text/plain"), path);
      if (utf8) QCOMPARE(QGuiApplication::clipboard()->text().toUtf8(), path);
    }
  }
};

QTEST_MAIN(TestDesktop)
#include "test_desktop.moc"
