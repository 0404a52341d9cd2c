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
#include "tests/dialogs/screenshot.h"
#include "tests/support/fixture.h"

using namespace ostrel;

namespace {

// How the user answers a select-directory dialog that the wizard opens.
std::function<int(TFormBrowse&)> BrowseAnswer;

// Runs the wizard's exchange with `act` standing in for the user.
int AskWith(TScanSettings& settings, std::string& root, std::function<void(TFormStart&)> act) {
  SetModalHook([act](QDialog& dialog) {
    if (auto* browse = qobject_cast<TFormBrowse*>(&dialog)) return BrowseAnswer ? BrowseAnswer(*browse) : -1;
    auto* wizard = qobject_cast<TFormStart*>(&dialog);
    if (!wizard) return -1;
    wizard->show();
    act(*wizard);
    return wizard->isVisible() ? -1 : wizard->result();
  });
  const int result = TFormStart::Ask(nullptr, settings, root);
  SetModalHook({});
  return result;
}

void Prepare(TScanSettings& settings) {
  settings.includefloppy = 0;
  settings.includecd = 1;
  settings.includenet = 0;
  std::strcpy(settings.lastfilename, "/data");
}

}  // namespace

class TestFormStart : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() {
    SetModalHook({});
    BrowseAnswer = nullptr;
  }

  void scanAllReturnsOkWithoutThePath() {
    TScanSettings settings;
    Prepare(settings);
    std::string root = "unchanged";
    int specific = -1;
    const int result = AskWith(settings, root, [&](TFormStart& wizard) {
      QVERIFY(wizard.CheckBoxCD->isChecked());
      QVERIFY(!wizard.CheckBoxFloppy->isChecked());
      QCOMPARE(wizard.EditPath->text(), QString("/data"));
      QTest::mouseClick(wizard.CheckBoxFloppy, Qt::LeftButton);
      QTest::mouseClick(wizard.CheckBoxCD, Qt::LeftButton);
      QTest::keyClicks(wizard.EditPath, "/more");
      QTest::mouseClick(wizard.ButtonAll, Qt::LeftButton);
      specific = wizard.Specific;
    });
    QCOMPARE(result, ModalOk);
    QCOMPARE(specific, 0);
    QCOMPARE(root, std::string());
    QCOMPARE(settings.includefloppy.load(), 1);
    QCOMPARE(settings.includecd.load(), 0);
    QCOMPARE(settings.includenet.load(), 0);
    QCOMPARE(QByteArray(settings.lastfilename), QByteArray("/data/more"));
  }

  void scanSpecificReturnsThePathEvenWhenEmpty_data() {
    QTest::addColumn<QString>("typed");
    QTest::newRow("a path") << QString("/home/x");
    QTest::newRow("empty") << QString();
  }
  void scanSpecificReturnsThePathEvenWhenEmpty() {
    QFETCH(QString, typed);
    TScanSettings settings;
    Prepare(settings);
    std::string root = "unchanged";
    const int result = AskWith(settings, root, [&](TFormStart& wizard) {
      wizard.EditPath->clear();
      QTest::keyClicks(wizard.EditPath, typed);
      QTest::mouseClick(wizard.ButtonSpecific, Qt::LeftButton);
      QCOMPARE(wizard.Specific, 1);
    });
    QCOMPARE(result, ModalOk);
    QCOMPARE(root, typed.toStdString());
    QCOMPARE(QByteArray(settings.lastfilename), typed.toUtf8());
    QCOMPARE(settings.includecd.load(), 1);
  }

  void cancelEscapeAndCloseReadNothingBack_data() {
    QTest::addColumn<int>("how");
    QTest::newRow("Cancel") << 0;
    QTest::newRow("Escape") << 1;
    QTest::newRow("close") << 2;
  }
  void cancelEscapeAndCloseReadNothingBack() {
    QFETCH(int, how);
    TScanSettings settings;
    Prepare(settings);
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

  void enterPressesNoButton() {
    TFormStart wizard(nullptr);
    wizard.show();
    QTest::keyClick(wizard.EditPath, Qt::Key_Return);
    wizard.ButtonAll->setFocus();
    QTest::keyClick(wizard.ButtonAll, Qt::Key_Return);
    QVERIFY(wizard.isVisible());
    QCOMPARE(wizard.result(), 0);
  }

  void browseOkReplacesThePathAndCancelKeepsIt() {
    test::TempTree tree;
    tree.Dir("pick/here");
    char* real = realpath(tree.Path("pick").c_str(), nullptr);
    const QString start = QString::fromUtf8(real);
    std::free(real);

    TFormStart wizard(nullptr);
    wizard.show();
    wizard.EditPath->setText(start);
    QString seenInBrowse;
    auto browseAnswer = [&](bool ok) {
      return [&, ok](QDialog& dialog) {
        auto* browse = qobject_cast<TFormBrowse*>(&dialog);
        if (!browse) return -1;
        browse->show();
        seenInBrowse = browse->EditBrowseName->text();
        browse->DirListBrowse->SetDirectory((start + "/here").toStdString());
        QTest::mouseClick(ok ? browse->Button2 : browse->Button3, Qt::LeftButton);
        return browse->result();
      };
    };
    SetModalHook(browseAnswer(false));
    QTest::mouseClick(wizard.ButtonBrowse, Qt::LeftButton);
    QCOMPARE(seenInBrowse, start);
    QCOMPARE(wizard.EditPath->text(), start);

    SetModalHook(browseAnswer(true));
    QTest::mouseClick(wizard.ButtonBrowse, Qt::LeftButton);
    QCOMPARE(wizard.EditPath->text(), start + "/here");
    QVERIFY(wizard.isVisible());
  }

  void aLongPathIsCutForBrowseAndLastFileNameButNotForTheRoot() {
    TScanSettings settings;
    Prepare(settings);
    std::string root;
    const QString longPath = "/" + QString(1500, 'L');
    const int result = AskWith(settings, root, [&](TFormStart& wizard) {
      wizard.EditPath->setText(longPath);
      BrowseAnswer = [](TFormBrowse& browse) {
        QTest::mouseClick(browse.Button3, Qt::LeftButton);
        return browse.result();
      };
      QTest::mouseClick(wizard.ButtonBrowse, Qt::LeftButton);
      QTest::mouseClick(wizard.ButtonSpecific, Qt::LeftButton);
    });
    QCOMPARE(result, ModalOk);
    QCOMPARE(root, longPath.toStdString());
    QCOMPARE(std::strlen(settings.lastfilename), sizeof settings.lastfilename - 1);
  }

  void aPathThatIsNotUtf8GoesBackByteExact() {
    TScanSettings settings;
    Prepare(settings);
    std::strcpy(settings.lastfilename, "/caf\xe9");
    std::string root;
    AskWith(settings, root, [&](TFormStart& wizard) { QTest::mouseClick(wizard.ButtonSpecific, Qt::LeftButton); });
    QCOMPARE(root, std::string("/caf\xe9"));
    QCOMPARE(QByteArray(settings.lastfilename), QByteArray("/caf\xe9"));
  }

  void looksRight() {
    TScanSettings settings;
    Prepare(settings);
    TFormStart wizard(nullptr);
    wizard.FillFromSettings(settings);
    wizard.show();
    QCOMPARE(wizard.windowTitle(), QString("Select what to scan"));
    for (QCheckBox* box : {wizard.CheckBoxFloppy, wizard.CheckBoxCD, wizard.CheckBoxNet}) {
      QVERIFY(box->width() >= box->sizeHint().width());
      QVERIFY(box->geometry().right() < wizard.Panel1->width());
    }
    QVERIFY(test::SaveScreenshot(wizard, "fstart"));
  }
};

QTEST_MAIN(TestFormStart)
#include "test_fstart.moc"
