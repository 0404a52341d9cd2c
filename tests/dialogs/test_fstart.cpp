// The scan wizard through its caller's exchange: which button, what goes back into the
// settings, and the Browse button's round trip through the select-directory dialog.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <cstdlib>
#include <cstring>
#include <functional>

#include "controls/dirlistbox.h"
#include "dialogs/fbrowse.h"
#include "dialogs/fstart.h"
#include "scan/scansettings.h"
#include "tests/dialogs/dialogtest.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/fixture.h"

using namespace ostrel;

namespace {

// Runs the wizard's exchange on settings with "includecd" 1 and "lastfilename" "/data", with
// `act` standing in for the user.
int AskWith(TScanSettings& settings, std::string& root, std::function<void(TFormStart&)> act) {
  settings.includecd = 1;
  std::strcpy(settings.lastfilename, "/data");
  test::TFakeDesktop desktop;
  desktop.AnswerDialog = [act](QDialog& dialog) {
    auto* wizard = qobject_cast<TFormStart*>(&dialog);
    if (!wizard) return -1;
    wizard->show();
    act(*wizard);
    return wizard->isVisible() ? -1 : wizard->result();
  };
  return TFormStart::Ask(desktop, nullptr, settings, root);
}

}  // namespace

class TestFormStart : public QObject {
  Q_OBJECT

 private slots:
  // All drives even with a path typed, a specific path, a specific empty path; Enter in the path
  // field presses the lower "Scan Now!", Enter on the upper one presses that.
  void theButtonDecidesTheRootAndEverythingIsReadBack() {
    enum { ClickAll, ClickSpecific, EnterInPath, EnterOnAll };
    const std::pair<int, QString> cases[] = {
        {ClickAll, "/home/x"}, {ClickSpecific, "/home/x"}, {ClickSpecific, ""}, {EnterInPath, "/typed"}, {EnterOnAll, "/x"}};
    for (const auto& [how, typed] : cases) {
      const bool specific = how == ClickSpecific || how == EnterInPath;
      TScanSettings settings;
      std::string root = "unchanged";
      const int result = AskWith(settings, root, [&, how = how, typed = typed](TFormStart& wizard) {
        QVERIFY(wizard.CheckBoxCD->isChecked() && !wizard.CheckBoxFloppy->isChecked());
        QCOMPARE(wizard.EditPath->text(), QString("/data"));
        QTest::mouseClick(wizard.CheckBoxFloppy, Qt::LeftButton);
        QTest::mouseClick(wizard.CheckBoxCD, Qt::LeftButton);
        wizard.EditPath->clear();
        QTest::keyClicks(wizard.EditPath, typed);
        if (how == ClickAll || how == ClickSpecific)
          QTest::mouseClick(specific ? wizard.ButtonSpecific : wizard.ButtonAll, Qt::LeftButton);
        if (how == EnterInPath) QTest::keyClick(wizard.EditPath, Qt::Key_Return);
        if (how == EnterOnAll) {
          wizard.ButtonAll->setFocus();
          QTest::keyClick(wizard.ButtonAll, Qt::Key_Return);
        }
        QCOMPARE(wizard.Specific, specific ? 1 : 0);
      });
      QCOMPARE(result, ModalOk);
      QCOMPARE(root, specific ? typed.toStdString() : std::string());
      QCOMPARE(settings.includefloppy.load(), 1);
      QCOMPARE(settings.includecd.load(), 0);
      QCOMPARE(QByteArray(settings.lastfilename), typed.toUtf8());
    }
  }

  void cancelEscapeAndCloseReadNothingBack() {
    for (int how : {0, 1, 2}) {  // Cancel, Escape, close
      TScanSettings settings;
      std::string root = "unchanged";
      const int result = AskWith(settings, root, [&](TFormStart& wizard) {
        QTest::mouseClick(wizard.CheckBoxNet, Qt::LeftButton);
        QTest::keyClicks(wizard.EditPath, "/typed");
        if (how == 0) QTest::mouseClick(wizard.ButtonCancel, Qt::LeftButton);
        if (how == 1) QTest::keyClick(wizard.EditPath, Qt::Key_Escape);
        if (how == 2) wizard.close();
      });
      QCOMPARE(result, ModalCancel);
      QCOMPARE(root, std::string("unchanged"));
      QCOMPARE(settings.includenet.load(), 0);
      QCOMPARE(QByteArray(settings.lastfilename), QByteArray("/data"));
    }
  }

  void browseOkReplacesThePathAndCancelKeepsIt() {
    test::TempTree tree;
    tree.Dir("pick/here");
    char* real = realpath(tree.Path("pick").c_str(), nullptr);
    const QString start = QString::fromUtf8(real);
    std::free(real);
    test::TFakeDesktop desktop;
    TFormStart wizard(desktop, nullptr);
    wizard.show();
    wizard.EditPath->setText(start);
    for (bool ok : {false, true}) {
      QString seen;
      desktop.AnswerDialog = [&](QDialog& dialog) {
        auto* browse = qobject_cast<TFormBrowse*>(&dialog);
        seen = browse->EditBrowseName->text();
        browse->DirListBrowse->SetDirectory((start + "/here").toStdString());
        QTest::mouseClick(ok ? browse->Button2 : browse->Button3, Qt::LeftButton);
        return browse->result();
      };
      QTest::mouseClick(wizard.ButtonBrowse, Qt::LeftButton);
      QCOMPARE(seen, start);
      QCOMPARE(wizard.EditPath->text(), ok ? start + "/here" : start);
    }
    QVERIFY(wizard.isVisible());
  }

  void looksRight() {
    test::TFakeDesktop desktop;
    TFormStart wizard(desktop, nullptr);
    wizard.show();
    QCOMPARE(wizard.windowTitle(), QString("Select what to scan"));
    QCOMPARE(test::TabOrder(wizard.CheckBoxFloppy),
             (QStringList{"CheckBoxFloppy", "CheckBoxCD", "CheckBoxNet", "ButtonAll", "EditPath", "ButtonBrowse",
                          "ButtonSpecific", "ButtonCancel"}));
    for (QCheckBox* box : {wizard.CheckBoxFloppy, wizard.CheckBoxCD, wizard.CheckBoxNet})
      QVERIFY(box->width() >= box->sizeHint().width() && box->geometry().right() < wizard.Panel1->width());
  }
};

QTEST_MAIN(TestFormStart)
#include "test_fstart.moc"
