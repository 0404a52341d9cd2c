// The preferences dialog: "combineother" and "apparentsize" in and out, the keys that must not
// close it, and the help panel.
#include <QCheckBox>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <QtTest>

#include "dialogs/fprefs.h"
#include "scan/scansettings.h"
#include "tests/support/fakedesktop.h"

using namespace ostrel;

class TestFormPreferences : public QObject {
  Q_OBJECT

 private slots:
  // Each check box shows its value and sets it on Ok only, leaving the other value alone.
  void switchesInAndOut_data() {
    QTest::addColumn<bool>("apparent");  // the box under test: apparentsize, else combineother
    QTest::addColumn<int>("stored");
    QTest::addColumn<bool>("toggle");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("shownChecked");
    QTest::addColumn<int>("expected");
    for (bool apparent : {false, true}) {
      const QByteArray box = apparent ? "apparentsize: " : "combineother: ";
      QTest::newRow(box + "on, unchecked, Cancel") << apparent << 1 << true << false << true << 1;
      QTest::newRow(box + "on, unchecked, Ok") << apparent << 1 << true << true << true << 0;
      QTest::newRow(box + "off, checked, Ok") << apparent << 0 << true << true << false << 1;
      QTest::newRow(box + "5, unchanged, Ok") << apparent << 5 << false << true << true << 1;
    }
  }
  void switchesInAndOut() {
    QFETCH(bool, apparent);
    QFETCH(int, stored);
    QFETCH(bool, toggle);
    QFETCH(bool, ok);
    QFETCH(bool, shownChecked);
    QFETCH(int, expected);
    TScanSettings settings;
    int& value = apparent ? settings.apparentsize : settings.combineother;
    int& other = apparent ? settings.combineother : settings.apparentsize;
    value = stored;
    other = 7;
    test::TFakeDesktop desktop;
    desktop.AnswerDialog = [&](QDialog& dialog) {
      auto& prefs = static_cast<TFormPreferences&>(dialog);
      prefs.show();
      QCheckBox* box = apparent ? prefs.CheckBoxApparentSize : prefs.CheckBoxCombineOther;
      if (box->isChecked() != shownChecked) return -1;
      if (toggle) QTest::mouseClick(box, Qt::LeftButton);
      QTest::mouseClick(ok ? prefs.ButtonOk : prefs.ButtonCancel, Qt::LeftButton);
      return prefs.result();
    };
    QCOMPARE(TFormPreferences::Ask(desktop, nullptr, settings), ok ? ModalOk : ModalCancel);
    QCOMPARE(desktop.Dialogs, 1);
    QCOMPARE(value, expected);
    QCOMPARE(other, ok ? 1 : 7);  // shown checked, saved as 1 on Ok
  }

  void enterPressesNeitherButtonEscapeCancels() {
    TFormPreferences prefs(nullptr);
    prefs.LoadSettings(TScanSettings{});
    prefs.show();
    prefs.CheckBoxCombineOther->setFocus();
    QTest::keyClick(prefs.CheckBoxCombineOther, Qt::Key_Space);  // a change that Cancel drops
    for (QWidget* focus :
         std::initializer_list<QWidget*>{prefs.CheckBoxCombineOther, prefs.CheckBoxApparentSize, prefs.ButtonOk}) {
      focus->setFocus();
      QTest::keyClick(focus, Qt::Key_Return);
    }
    QVERIFY(prefs.isVisible());
    QTest::keyClick(prefs.CheckBoxApparentSize, Qt::Key_Escape);
    QVERIFY(!prefs.isVisible());
    QCOMPARE(prefs.result(), ModalCancel);
  }

  void helpPanelShowsTheBoldTitleThenTheExplanation() {
    TFormPreferences prefs(nullptr);
    prefs.show();
    const QString text = prefs.RichEditHelp->toPlainText();
    QVERIFY(text.startsWith("Combine small items into \"(other)\"\nThis will combine some of the smaller items"));
    const QString apparent = QStringLiteral(
        "Apparent sizes\nShow the length of each file as listed instead of the space it takes on disk. Sparse "
        "files can look far larger than the space they use; a file with several names counts once either way.\n\n");
    QVERIFY(text.contains("the pie chart is getting cluttered.\n\n" + apparent));
    QVERIFY(text.endsWith(apparent));
    QTextCursor cursor(prefs.RichEditHelp->document());
    for (qsizetype title : {qsizetype(0), text.indexOf(apparent)}) {
      cursor.setPosition(int(title) + 1);
      QCOMPARE(cursor.charFormat().fontWeight(), int(QFont::Bold));
      cursor.setPosition(int(text.indexOf('\n', title)) + 2);
      QVERIFY(cursor.charFormat().fontWeight() < QFont::Bold);
    }
    // Both captions whole, left of the help panel, and everything inside the dialog.
    QCOMPARE(prefs.CheckBoxApparentSize->text(),
             QStringLiteral("Show apparent sizes (file lengths) instead of disk usage"));
    for (QCheckBox* box : {prefs.CheckBoxCombineOther, prefs.CheckBoxApparentSize}) {
      QVERIFY(box->width() >= box->sizeHint().width());
      QVERIFY(box->geometry().right() < prefs.RichEditHelp->geometry().left());
    }
    QVERIFY(!prefs.CheckBoxCombineOther->geometry().intersects(prefs.CheckBoxApparentSize->geometry()));
    for (QWidget* control : std::initializer_list<QWidget*>{prefs.RichEditHelp, prefs.ButtonOk, prefs.ButtonCancel})
      QVERIFY(prefs.rect().contains(control->geometry()));
  }
};

QTEST_MAIN(TestFormPreferences)
#include "test_fprefs.moc"
