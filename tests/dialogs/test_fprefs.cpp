// The preferences dialog: "combineother" in and out, the keys that must not close it, and the
// help panel.
#include <QCheckBox>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <QtTest>

#include "dialogs/fprefs.h"
#include "scan/scansettings.h"
#include "tests/dialogs/dialogtest.h"

using namespace ostrel;

class TestFormPreferences : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { SetModalHook({}); }

  void combineOtherInAndOut_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<bool>("toggle");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("shownChecked");
    QTest::addColumn<int>("expected");
    QTest::newRow("on, unchecked, Cancel") << 1 << true << false << true << 1;
    QTest::newRow("on, unchecked, Ok") << 1 << true << true << true << 0;
    QTest::newRow("off, checked, Ok") << 0 << true << true << false << 1;
    QTest::newRow("5, unchanged, Ok") << 5 << false << true << true << 1;
  }
  void combineOtherInAndOut() {
    QFETCH(int, stored);
    QFETCH(bool, toggle);
    QFETCH(bool, ok);
    QFETCH(bool, shownChecked);
    QFETCH(int, expected);
    TScanSettings settings;
    settings.combineother = stored;
    SetModalHook([&](QDialog& dialog) {
      auto& prefs = static_cast<TFormPreferences&>(dialog);
      prefs.show();
      if (prefs.CheckBoxCombineOther->isChecked() != shownChecked) return -1;
      if (toggle) QTest::mouseClick(prefs.CheckBoxCombineOther, Qt::LeftButton);
      QTest::mouseClick(ok ? prefs.ButtonOk : prefs.ButtonCancel, Qt::LeftButton);
      return prefs.result();
    });
    QCOMPARE(TFormPreferences::Ask(nullptr, settings), ok ? ModalOk : ModalCancel);
    QCOMPARE(settings.combineother, expected);
  }

  void enterAndEscapePressNeitherButton() {
    TFormPreferences prefs(nullptr);
    prefs.show();
    for (QWidget* focus : std::initializer_list<QWidget*>{prefs.CheckBoxCombineOther, prefs.ButtonOk}) {
      focus->setFocus();
      QTest::keyClick(focus, Qt::Key_Return);
      QTest::keyClick(focus, Qt::Key_Escape);
    }
    QVERIFY(prefs.isVisible());
    prefs.close();
    QCOMPARE(prefs.result(), ModalCancel);
  }

  void helpPanelShowsTheBoldTitleThenTheExplanation() {
    TFormPreferences prefs(nullptr);
    prefs.show();
    const QString text = prefs.RichEditHelp->toPlainText();
    QVERIFY(text.startsWith("Combine small items into \"(other)\"\nThis will combine some of the smaller items"));
    QVERIFY(text.endsWith("the pie chart is getting cluttered.\n\n"));
    QTextCursor cursor(prefs.RichEditHelp->document());
    cursor.setPosition(1);
    QCOMPARE(cursor.charFormat().fontWeight(), int(QFont::Bold));
    cursor.setPosition(int(text.indexOf("This")) + 1);
    QVERIFY(cursor.charFormat().fontWeight() < QFont::Bold);
    QVERIFY(prefs.CheckBoxCombineOther->width() >= prefs.CheckBoxCombineOther->sizeHint().width());
    QVERIFY(prefs.CheckBoxCombineOther->geometry().right() < prefs.RichEditHelp->geometry().left());
    QVERIFY(test::SaveScreenshot(prefs, "fprefs"));
  }
};

QTEST_MAIN(TestFormPreferences)
#include "test_fprefs.moc"
