// Dialog placement (pure geometry, then one real dialog) and the help-text panel.
#include <QTextCursor>
#include <QTextEdit>
#include <QtTest>

#include <tuple>

#include "dialogs/formutil.h"

using namespace ostrel;

namespace {

QTextCharFormat FormatAt(QTextEdit& edit, qsizetype position) {
  QTextCursor cursor(edit.document());
  cursor.setPosition(int(position) + 1);  // the format of the character before the cursor
  return cursor.charFormat();
}
bool IsBold(const QTextCharFormat& format) { return format.fontWeight() >= QFont::Bold; }
bool IsBlack(const QTextCharFormat& format) { return format.foreground().color() == QColor(Qt::black); }

}  // namespace

class TestFormUtil : public QObject {
  Q_OBJECT

 private slots:
  void placedPosition() {
    const std::tuple<QRect, QSize, QPoint> cases[] = {  // owner, dialog, where it goes
        {QRect(100, 100, 400, 300), QSize(400, 300), QPoint(115, 115)},  // same size: shifted
        {QRect(100, 100, 400, 300), QSize(380, 200), QPoint(110, 150)},  // 20 narrower: centred
        {QRect(100, 100, 400, 300), QSize(391, 200), QPoint(119, 150)},  // 9 narrower: shifted
        {QRect(100, 100, 400, 300), QSize(415, 331), QPoint(93, 85)},    // halves truncate
        {QRect(100, 700, 400, 400), QSize(200, 200), QPoint(200, 518)},  // bottom margin
        {QRect(0, 418, 400, 400), QSize(200, 200), QPoint(100, 518)},    // exactly at the margin
        {QRect(0, 0, 1024, 768), QSize(300, 800), QPoint(362, -82)},     // taller than the screen
        {QRect(0, 0, 1024, 768), QSize(1100, 200), QPoint(-76, 284)},    // wider than the screen
        {QRect(-300, 100, 400, 300), QSize(200, 100), QPoint(0, 200)},   // owner off the left
        {QRect(-300, 100, 400, 300), QSize(395, 100), QPoint(15, 200)},  // off the left, near its width
        {QRect(800, 100, 400, 300), QSize(200, 100), QPoint(824, 200)},  // right edge
    };
    for (const auto& [owner, dialog, expected] : cases)
      QCOMPARE(PlacedPosition(owner, QRect(QPoint(3, 4), dialog), QSize(1024, 768)), expected);
  }

  void aPlacedDialogKeepsItsPlaceWhenShown() {
    QWidget owner;
    owner.setGeometry(100, 100, 400, 300);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    TDialogForm dialog(&owner, QSize(200, 100));
    PlaceDialog(&owner, &dialog);
    const QPoint placed = dialog.pos();
    QCOMPARE(placed, owner.frameGeometry().center() - QPoint(99, 49));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.pos(), placed);
    PlaceDialog(nullptr, &dialog);
    QCOMPARE(dialog.pos(), placed);
  }

  void helpTextStacksBoldTitlesOverBodiesInThePreviousStyle() {
    QTextEdit edit;
    edit.setFontItalic(true);
    edit.setTextColor(Qt::red);
    AddHelpText(&edit, "A", "B");
    AddHelpText(&edit, "T2", "B2");
    const QString text = edit.toPlainText();
    QCOMPARE(text, QString("A\nB\n\nT2\nB2\n\n"));
    for (const char* title : {"A", "T2"}) {
      const QTextCharFormat format = FormatAt(edit, text.indexOf(title));
      QVERIFY(IsBold(format) && format.fontItalic() && IsBlack(format));
    }
    for (const char* body : {"B\n", "B2"}) {
      const QTextCharFormat format = FormatAt(edit, text.indexOf(body));
      QVERIFY(!IsBold(format) && format.fontItalic() && IsBlack(format));
    }
  }

  void helpTextBeyondTheFormattingBufferIsKeptWhole() {
    QTextEdit edit;
    const QByteArray title(5000, 't');
    const QByteArray body(9000, 'b');
    AddHelpText(&edit, title.constData(), body.constData());
    QCOMPARE(edit.toPlainText(), QString(title) + "\n" + QString(body) + "\n\n");
    QVERIFY(IsBold(FormatAt(edit, 4999)));
    QVERIFY(!IsBold(FormatAt(edit, 5001)));
  }
};

QTEST_MAIN(TestFormUtil)
#include "test_formutil.moc"
