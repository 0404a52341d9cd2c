// Dialog placement (pure geometry, then one real dialog) and the help-text panel.
#include <QTextCursor>
#include <QTextEdit>
#include <QtTest>

#include "dialogs/formutil.h"

using namespace ostrel;

namespace {

QTextCharFormat FormatAt(QTextEdit& edit, int position) {
  QTextCursor cursor(edit.document());
  cursor.setPosition(position + 1);  // the format of the character before the cursor
  return cursor.charFormat();
}

bool IsBold(const QTextCharFormat& format) { return format.fontWeight() >= QFont::Bold; }
bool IsBlack(const QTextCharFormat& format) { return format.foreground().color() == QColor(Qt::black); }

}  // namespace

class TestFormUtil : public QObject {
  Q_OBJECT

 private slots:
  void placedPosition_data() {
    QTest::addColumn<QRect>("owner");
    QTest::addColumn<QSize>("dialog");
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QPoint>("expected");
    const QSize xga(1024, 768);
    QTest::newRow("same size: shifted right and down") << QRect(100, 100, 400, 300) << QSize(400, 300) << xga << QPoint(115, 115);
    QTest::newRow("20 narrower: centred only") << QRect(100, 100, 400, 300) << QSize(380, 200) << xga << QPoint(110, 150);
    QTest::newRow("9 narrower: centred and shifted") << QRect(100, 100, 400, 300) << QSize(391, 200) << xga << QPoint(119, 150);
    QTest::newRow("9 lower: centred and shifted down") << QRect(100, 100, 400, 300) << QSize(200, 291) << xga << QPoint(200, 119);
    QTest::newRow("larger: halves truncate toward zero") << QRect(100, 100, 400, 300) << QSize(415, 331) << xga << QPoint(93, 85);
    QTest::newRow("below the bottom margin") << QRect(100, 700, 400, 400) << QSize(200, 200) << xga << QPoint(200, 518);
    QTest::newRow("bottom exactly at the margin") << QRect(0, 418, 400, 400) << QSize(200, 200) << xga << QPoint(100, 518);
    QTest::newRow("two above the margin stays") << QRect(0, 416, 400, 400) << QSize(200, 200) << xga << QPoint(100, 516);
    QTest::newRow("taller than the screen: negative top") << QRect(0, 0, 1024, 768) << QSize(300, 800) << xga << QPoint(362, -82);
    QTest::newRow("wider than the screen: negative left") << QRect(0, 0, 1024, 768) << QSize(1100, 200) << xga << QPoint(-76, 284);
    QTest::newRow("owner off the left edge") << QRect(-300, 100, 400, 300) << QSize(200, 100) << xga << QPoint(0, 200);
    QTest::newRow("owner off the left edge, near width") << QRect(-300, 100, 400, 300) << QSize(395, 100) << xga << QPoint(15, 200);
    QTest::newRow("owner above the top") << QRect(100, -400, 400, 300) << QSize(200, 100) << xga << QPoint(200, 0);
    QTest::newRow("past the right edge") << QRect(800, 100, 400, 300) << QSize(200, 100) << xga << QPoint(824, 200);
    QTest::newRow("right edge exactly at the screen") << QRect(724, 100, 400, 300) << QSize(200, 100) << xga << QPoint(824, 200);
  }
  void placedPosition() {
    QFETCH(QRect, owner);
    QFETCH(QSize, dialog);
    QFETCH(QSize, screen);
    QFETCH(QPoint, expected);
    QCOMPARE(PlacedPosition(owner, QRect(QPoint(3, 4), dialog), screen), expected);
  }

  void placeDialogMovesARealDialogAndShowingKeepsIt() {
    QWidget owner;
    owner.setGeometry(100, 100, 400, 300);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    const QRect frame = owner.frameGeometry();
    TDialogForm dialog(&owner, QSize(200, 100));
    PlaceDialog(&owner, &dialog);
    const QPoint placed = dialog.pos();
    QCOMPARE(placed, QPoint(frame.left() + (frame.width() - dialog.frameGeometry().width()) / 2,
                            frame.top() + (frame.height() - dialog.frameGeometry().height()) / 2));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.pos(), placed);
    QCOMPARE(dialog.size(), QSize(200, 100));

    PlaceDialog(nullptr, &dialog);
    PlaceDialog(&owner, nullptr);
    QCOMPARE(dialog.pos(), placed);
  }

  void dialogFrameResults() {
    TDialogForm dialog(nullptr, QSize(100, 50));
    dialog.show();
    dialog.close();
    QCOMPARE(dialog.result(), ModalCancel);

    dialog.setResult(0);
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);  // no cancel button: Escape does nothing
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), 0);
  }

  void helpTextOnAnEmptyBox() {
    QTextEdit edit;
    AddHelpText(&edit, "A", "B");
    QCOMPARE(edit.toPlainText(), QString("A\nB\n\n"));
    QVERIFY(IsBold(FormatAt(edit, 0)));
    QVERIFY(IsBlack(FormatAt(edit, 0)));
    QVERIFY(!IsBold(FormatAt(edit, 2)));
    QVERIFY(IsBlack(FormatAt(edit, 2)));
  }

  void helpTextStacksParagraphs() {
    QTextEdit edit;
    AddHelpText(&edit, "Title one", "Body one");
    AddHelpText(&edit, "T2", "B2");
    const QString text = edit.toPlainText();
    QCOMPARE(text, QString("Title one\nBody one\n\nT2\nB2\n\n"));
    QVERIFY(IsBold(FormatAt(edit, int(text.indexOf("T2")))));
    QVERIFY(!IsBold(FormatAt(edit, int(text.indexOf("B2")))));
    QVERIFY(!IsBold(FormatAt(edit, int(text.indexOf("Body")))));
  }

  void helpTextKeepsThePreviousStyleAndMakesItBlack() {
    QTextEdit edit;
    edit.setFontItalic(true);
    edit.setFontUnderline(true);
    edit.setTextColor(Qt::red);
    AddHelpText(&edit, "T", "B");
    const QTextCharFormat title = FormatAt(edit, 0);
    const QTextCharFormat body = FormatAt(edit, 2);
    QVERIFY(IsBold(title));
    QVERIFY(title.fontItalic());
    QVERIFY(IsBlack(title));
    QVERIFY(!IsBold(body));
    QVERIFY(body.fontItalic());
    QVERIFY(body.fontUnderline());
    QVERIFY(IsBlack(body));
  }

  void helpTextBeyondTheFormattingBufferIsKeptWhole() {
    QTextEdit edit;
    const QByteArray title(5000, 't');
    const QByteArray body(9000, 'b');
    AddHelpText(&edit, title.constData(), body.constData());
    const QString text = edit.toPlainText();
    QCOMPARE(text, QString(title) + "\n" + QString(body) + "\n\n");
    QVERIFY(IsBold(FormatAt(edit, 4999)));
    QVERIFY(!IsBold(FormatAt(edit, 5001)));
    QVERIFY(!IsBold(FormatAt(edit, 5000 + 9000)));
  }

  void helpTextWithNullTexts() {
    QTextEdit edit;
    AddHelpText(&edit, nullptr, nullptr);
    QCOMPARE(edit.toPlainText(), QString("\n\n\n"));
    AddHelpText(nullptr, "x", "y");
  }
};

QTEST_MAIN(TestFormUtil)
#include "test_formutil.moc"
