// The preferences dialog: "combineother", "apparentsize" and "keephistory" in and out, the keys that must not
// close it, and the help panel.
#include <QCheckBox>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <QtTest>
#include <vector>

#include "dialogs/fprefs.h"
#include "scan/scansettings.h"
#include "tests/support/fakedesktop.h"

using namespace ostrel;

namespace {

// The check boxes of "combineother", "apparentsize" and "keephistory".
std::vector<QCheckBox*> Boxes(const TFormPreferences& prefs) {
  return {prefs.CheckBoxCombineOther, prefs.CheckBoxApparentSize, prefs.CheckBoxKeepHistory};
}

}  // namespace

class TestFormPreferences : public QObject {
  Q_OBJECT

 private slots:
  // Each check box shows its value and sets it on Ok only, leaving the other value alone: on and
  // unchecked then Cancel, on and unchecked then Ok, off and checked then Ok, 5 unchanged then Ok.
  void switchesInAndOut() {
    const struct {
      int stored;
      bool toggle, ok, shownChecked;
      int expected;
    } cases[] = {{1, true, false, true, 1}, {1, true, true, true, 0}, {0, true, true, false, 1}, {5, false, true, true, 1}};
    for (int which : {0, 1, 2})
      for (const auto& c : cases) {
        TScanSettings settings;
        int* values[] = {&settings.combineother, &settings.apparentsize, &settings.keephistory};
        int& value = *values[which];
        for (int* other : values) *other = 7;
        value = c.stored;
        test::TFakeDesktop desktop;
        desktop.AnswerDialog = [&](QDialog& dialog) {
          auto& prefs = static_cast<TFormPreferences&>(dialog);
          prefs.show();
          QCheckBox* box = Boxes(prefs)[which];
          if (box->isChecked() != c.shownChecked) return -1;
          if (c.toggle) QTest::mouseClick(box, Qt::LeftButton);
          QTest::mouseClick(c.ok ? prefs.ButtonOk : prefs.ButtonCancel, Qt::LeftButton);
          return prefs.result();
        };
        QCOMPARE(TFormPreferences::Ask(desktop, nullptr, settings), c.ok ? ModalOk : ModalCancel);
        QCOMPARE(desktop.Dialogs, 1);
        QCOMPARE(value, c.expected);
        for (int* other : values)  // shown checked, saved as 1 on Ok
          if (other != &value) QCOMPARE(*other, c.ok ? 1 : 7);
      }
  }

  void enterPressesNeitherButtonEscapeCancels() {
    TFormPreferences prefs(nullptr);
    prefs.LoadSettings(TScanSettings{});
    prefs.show();
    prefs.CheckBoxCombineOther->setFocus();
    QTest::keyClick(prefs.CheckBoxCombineOther, Qt::Key_Space);  // a change that Cancel drops
    for (QWidget* focus :
         std::initializer_list<QWidget*>{prefs.CheckBoxCombineOther, prefs.CheckBoxApparentSize,
                                         prefs.CheckBoxKeepHistory, prefs.ButtonOk}) {
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
    // The three titles in the order of the boxes, each a line of its own over its explanation.
    const QString text = prefs.RichEditHelp->toPlainText();
    QVERIFY(text.endsWith(".\n\n"));
    QTextCursor cursor(prefs.RichEditHelp->document());
    const QString framed = "\n\n" + text;  // a match of "\n\nTitle\n" here is at the title in text
    qsizetype title = -1;
    for (const char* name : {"Combine small items into \"(other)\"", "Apparent sizes", "Keep scan history"}) {
      title = framed.indexOf(QString("\n\n") + name + '\n', title + 1);
      QVERIFY2(title >= 0, name);
      cursor.setPosition(int(title) + 1);
      QCOMPARE(cursor.charFormat().fontWeight(), int(QFont::Bold));
      cursor.setPosition(int(text.indexOf('\n', title)) + 2);
      QVERIFY(cursor.charFormat().fontWeight() < QFont::Bold);
    }
    // Every caption whole, left of the help panel, one under the other, and everything inside
    // the dialog.
    const std::vector<QCheckBox*> boxes = Boxes(prefs);
    for (size_t i = 0; i < boxes.size(); ++i) {
      QVERIFY(boxes[i]->width() >= boxes[i]->sizeHint().width());
      QVERIFY(boxes[i]->geometry().right() < prefs.RichEditHelp->geometry().left());
      QVERIFY(prefs.rect().contains(boxes[i]->geometry()));
      if (i > 0) QVERIFY(boxes[i]->geometry().top() > boxes[i - 1]->geometry().bottom());
    }
    QVERIFY(boxes.back()->geometry().bottom() < prefs.ButtonOk->geometry().top());
    for (QWidget* control : std::initializer_list<QWidget*>{prefs.RichEditHelp, prefs.ButtonOk, prefs.ButtonCancel})
      QVERIFY(prefs.rect().contains(control->geometry()));
  }
};

QTEST_MAIN(TestFormPreferences)
#include "test_fprefs.moc"
