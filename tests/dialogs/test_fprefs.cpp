// The preferences dialog: "combineother" in and out, the keys that must not close it, and the
// help panel's text and look.
#include <QCheckBox>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <QtTest>

#include <functional>

#include "dialogs/fprefs.h"
#include "scan/scansettings.h"
#include "tests/dialogs/screenshot.h"

using namespace ostrel;

namespace {

int AskWith(TScanSettings& settings, std::function<void(TFormPreferences&)> act) {
  SetModalHook([act](QDialog& dialog) {
    auto* prefs = qobject_cast<TFormPreferences*>(&dialog);
    if (!prefs) return -1;
    prefs->show();
    act(*prefs);
    return prefs->isVisible() ? -1 : prefs->result();
  });
  const int result = TFormPreferences::Ask(nullptr, settings);
  SetModalHook({});
  return result;
}

}  // namespace

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
    QTest::newRow("5, unchanged, Cancel") << 5 << false << false << true << 5;
  }
  void combineOtherInAndOut() {
    QFETCH(int, stored);
    QFETCH(bool, toggle);
    QFETCH(bool, ok);
    QFETCH(bool, shownChecked);
    QFETCH(int, expected);
    TScanSettings settings;
    settings.combineother = stored;
    settings.charttype = 2;
    const int result = AskWith(settings, [&](TFormPreferences& prefs) {
      QCOMPARE(prefs.CheckBoxCombineOther->isChecked(), shownChecked);
      if (toggle) QTest::mouseClick(prefs.CheckBoxCombineOther, Qt::LeftButton);
      QTest::mouseClick(ok ? prefs.ButtonOk : prefs.ButtonCancel, Qt::LeftButton);
    });
    QCOMPARE(result, ok ? ModalOk : ModalCancel);
    QCOMPARE(settings.combineother, expected);
    QCOMPARE(settings.charttype, 2);
  }

  void enterAndEscapePressNeitherButton() {
    TFormPreferences prefs(nullptr);
    prefs.show();
    for (QWidget* focus : {static_cast<QWidget*>(prefs.CheckBoxCombineOther), static_cast<QWidget*>(prefs.ButtonOk)}) {
      focus->setFocus();
      QTest::keyClick(focus, Qt::Key_Return);
      QTest::keyClick(focus, Qt::Key_Escape);
    }
    QVERIFY(prefs.isVisible());
    QCOMPARE(prefs.result(), 0);
    prefs.close();
    QCOMPARE(prefs.result(), ModalCancel);
  }

  void helpPanelShowsTheBoldTitleThenTheExplanation() {
    TFormPreferences prefs(nullptr);
    const QString text = prefs.RichEditHelp->toPlainText();
    QVERIFY(!text.contains("RichEditHelp"));
    QVERIFY(text.startsWith("Combine small items into \"(other)\"\nThis will combine some of the smaller items"));
    QVERIFY(text.endsWith("the pie chart is getting cluttered.\n\n"));
    QTextCursor cursor(prefs.RichEditHelp->document());
    cursor.setPosition(1);
    QCOMPARE(cursor.charFormat().fontWeight(), int(QFont::Bold));
    cursor.setPosition(int(text.indexOf("This")) + 1);
    QVERIFY(cursor.charFormat().fontWeight() < QFont::Bold);

    TFormPreferences::ShowHelp(prefs.RichEditHelp);
    QCOMPARE(prefs.RichEditHelp->toPlainText(), text);
  }

  void looksRight() {
    TFormPreferences prefs(nullptr);
    prefs.CheckBoxCombineOther->setChecked(true);
    prefs.show();
    QCOMPARE(prefs.windowTitle(), QString("Preferences"));
    QVERIFY(prefs.CheckBoxCombineOther->width() >= prefs.CheckBoxCombineOther->sizeHint().width());
    QVERIFY(prefs.CheckBoxCombineOther->geometry().right() < prefs.RichEditHelp->geometry().left());
    QVERIFY(test::SaveScreenshot(prefs, "fprefs"));
  }
};

QTEST_MAIN(TestFormPreferences)
#include "test_fprefs.moc"
