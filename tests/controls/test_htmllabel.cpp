#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include "controls/htmllabel.h"

using ostrel::HtmlCaptionLimit;
using ostrel::ParseHtmlCaption;
using ostrel::THtmlLabel;
using ostrel::THtmlPiece;

namespace {

// One piece as flags (b i u s c = bold italic underline strike blue) followed by {word} or _.
QString Encode(const std::vector<THtmlPiece>& pieces) {
  QStringList out;
  for (const THtmlPiece& p : pieces) {
    QString s;
    if (p.Bold) s += 'b';
    if (p.Italic) s += 'i';
    if (p.Underline) s += 'u';
    if (p.Strike) s += 's';
    if (p.Blue) s += 'c';
    s += p.Kind == THtmlPiece::pkSpace ? QStringLiteral("_") : '{' + p.Text + '}';
    out << s;
  }
  return out.join('|');
}

int Advance(const QWidget& w, const QString& text, bool bold = false) {
  QFont f = w.font();
  if (bold) f.setBold(true);
  return QFontMetrics(f, &w).horizontalAdvance(text);
}

// Word pieces of the last pass as "text@x,y", spaces as "_@x,y".
QString Placed(const THtmlLabel& label) {
  QStringList out;
  for (const auto& p : label.LastPlacements()) {
    const QString name = p.Piece.Kind == THtmlPiece::pkSpace ? QStringLiteral("_") : p.Piece.Text;
    out << QStringLiteral("%1@%2,%3").arg(name).arg(p.Pen.x()).arg(p.Pen.y());
  }
  return out.join(' ');
}

void Send(QWidget* w, QEvent::Type type, Qt::MouseButton button, QPoint at,
          Qt::KeyboardModifiers mods = Qt::NoModifier) {
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
  QMouseEvent e(type, at, w->mapToGlobal(at), button, held, mods);
  QApplication::sendEvent(w, &e);
}

const QString Hint = QStringLiteral(
    "<b>Hint:</b> Click any item in the tree (or any slice/bar in the chart) to see a breakdown "
    "of that directory. Hover the mouse over the chart to see details in the status bar below. "
    "<b><Explore-Dir></b> will open an explorer window.");
const QString Visit = QStringLiteral(
    "Visit <blue><u>https://www.pelworth.example/</blue></u> for more shareware and freeware "
    "programs!");

}  // namespace

class TestHtmlLabel : public QObject {
  Q_OBJECT

 private slots:
  void parse() {
    const struct {
      QString caption, pieces;
    } cases[] = {
        {"", ""},
        {"<b></b><blue></blue>", ""},
        {"ab  cd", "{ab}|_|_|{cd}"},
        {" a", "_|{a}"},  // a leading space is kept for the layout to drop
        {"a<b>b</b>c", "{a}|b{b}|{c}"},
        {"<StRiKe>x</sTrIkE><BlUe>y</bLuE>", "s{x}|c{y}"},
        {"<i>a</i><u>b</u><strike>c</strike><blue>d</blue>e", "i{a}|u{b}|s{c}|c{d}|{e}"},
        {"Visit <blue><u>x</blue></u> y", "{Visit}|_|uc{x}|_|{y}"},  // crossed closing
        {"<b><i><u>x</i>y", "biu{x}|bu{y}"},
        {"<b><b>x</b>y", "b{x}|{y}"},  // one close undoes two opens
        {"<blue><blue>x</blue>y</blue>z", "c{x}|c{y}|c{z}"},  // the second blue overwrites the slot
        {"</blue>x<blue>y</blue>z", "{x}|c{y}|{z}"},
        {"<b><Explore-Dir></b> will", "b{<Explore-Dir>}|_|{will}"},  // an unknown tag is text
        {"a < b", "{a}|_|{<}|_|{b}"},
        {"<<b>x", "{<}|b{x}"},
        {"x<", "{x<}"},
        {"x</blu", "{x</blu}"},
        {"< b>x", "{<}|_|{b>x}"},
        {"<u>a b</u> c", "u{a}|u_|u{b}|_|{c}"},  // spaces carry the style
        {"a\tb", "{a\tb}"},  // a tab is no space
        {QString::fromUtf8("<\u0131>x</\u0131>"), QString::fromUtf8("{<\u0131>x</\u0131>}")},  // only a-z fold
    };
    for (const auto& c : cases) QCOMPARE(Encode(ParseHtmlCaption(c.caption)), c.pieces);
  }

  void parseStartsFromOwnStyle() {
    THtmlPiece start;
    start.Bold = true;
    start.Blue = true;
    QCOMPARE(Encode(ParseHtmlCaption("a</b>b<b>c</blue>d", start)), QString("bc{a}|c{b}|bc{c}|bc{d}"));

    // A label in a bold font: "</b>" really gives regular text.
    THtmlLabel label;
    QFont f = label.font();
    f.setBold(true);
    label.setFont(f);
    label.SetCaption("a</b>b");
    const auto& placed = label.LastPlacements();
    QCOMPARE(placed.size(), size_t(2));
    QVERIFY(placed[0].Piece.Bold);
    QVERIFY(!placed[1].Piece.Bold);
    QFont regular = f;
    regular.setBold(false);
    QCOMPARE(placed[1].Width, QFontMetrics(regular, &label).horizontalAdvance("b"));
    QCOMPARE(placed[0].Width, Advance(label, "a"));
  }

  void longCaptionsAreCut() {
    QCOMPARE(Encode(ParseHtmlCaption(QString(1023, 'a'))).size(), 1023 + 2);
    QCOMPARE(ParseHtmlCaption(QString(5000, 'a')).front().Text, QString(1023, 'a'));

    // A tag that straddles the cut is left as a literal "<".
    const auto straddling = ParseHtmlCaption(QString(1022, 'a') + "<b>x");
    QCOMPARE(straddling.size(), size_t(1));
    QCOMPARE(straddling[0].Text, QString(1022, 'a') + '<');
    QVERIFY(!straddling[0].Bold);

    // Never half a surrogate pair.
    const auto emoji = ParseHtmlCaption(QString(1022, 'a') + QString::fromUtf8("\U0001F600") + "b");
    QCOMPARE(emoji.front().Text, QString(1022, 'a'));

    // The label keeps the whole caption but lays out and paints only the kept part.
    THtmlLabel label;
    const QString huge = QString("word ").repeated(1000) + "<b>tail</b>";
    label.SetCaption(huge);
    QCOMPARE(label.GetCaption(), huge);
    int words = 0;
    for (const auto& p : label.LastPlacements()) {
      if (p.Piece.Kind == THtmlPiece::pkWord) ++words;
      QVERIFY(!p.Piece.Bold);
    }
    QCOMPARE(words, 1023 / 5 + 1);  // 204 whole words and the "wor" of the 205th
    label.resize(200, 40);
    QVERIFY(!label.grab().isNull());
  }

  void extentSumsWordPieces() {
    THtmlLabel label;
    QSize size(-1, -1);
    label.GetExtent(&size);
    QCOMPARE(size, QSize(0, 0));

    // Each piece measured in its own font; spaces never counted.
    label.SetCaption("a<b>b</b>c  d");
    label.GetExtent(&size);
    QFont bold = label.font();
    bold.setBold(true);
    const int tallest = qMax(label.fontMetrics().height(), QFontMetrics(bold, &label).height());
    QCOMPARE(size, QSize(Advance(label, "a") + Advance(label, "b", true) + Advance(label, "c") +
                             Advance(label, "d"),
                         tallest));
    // No gaps between the pieces of one word; spaces advance the pen.
    int x = 0;
    for (const auto& p : label.LastPlacements()) {
      QCOMPARE(p.Pen, QPoint(x, 0));
      x += p.Width;
    }
    QCOMPARE(label.LastPlacements().size(), size_t(6));
    QCOMPARE(label.LastPlacements()[4].Width, Advance(label, " "));

    // Wrapping moves pieces, not the extent.
    label.resize(5, 13);
    label.SetWordWrap1(1);
    QSize wrapped;
    label.GetExtent(&wrapped);
    QCOMPARE(wrapped, size);
  }

  // Each case: the caption, WordWrap, the control's width less the one-line width of "aaa aaa",
  // and the placements with A the width of "aaa", S that of a space and H the line height.
  void wrapping() {
    const struct {
      QString caption;
      int wordWrap, slack;
      QString expected;
    } cases[] = {
        {"aaa aaa", 1, 0, "aaa@0,0 _@A,0 aaa@A+S,0"},  // an exact fit stays
        {"aaa aaa", 1, -1, "aaa@0,0 _@A,0 aaa@0,H"},
        {"aaa aaa aaa", 0, -1, "aaa@0,0 _@A,0 aaa@A+S,0 _@2A+S,0 aaa@2A+2S,0"},
        {"aaa aaa aaa", 1, 0, "aaa@0,0 _@A,0 aaa@A+S,0 _@2A+S,0 aaa@0,H"},  // a trailing space past the edge
        {"aaa aaa aaa aaa aaa", 1, 0,
         "aaa@0,0 _@A,0 aaa@A+S,0 _@2A+S,0 aaa@0,H _@A,H aaa@A+S,H _@2A+S,H aaa@0,2H"},
        {"  aaa", 1, 0, "aaa@0,0"},  // leading spaces dropped
        {"aaaaaaaaaaaaaaaaaaaaaa", 1, -1, "aaaaaaaaaaaaaaaaaaaaaa@0,0"},  // too wide, first on the first line
        {"aaa aaaaaaaaaaaaaaaaaaaaaa", 1, -1, "aaa@0,0 _@A,0 aaaaaaaaaaaaaaaaaaaaaa@0,H"},
        {"aaa aa<b></b>a", 1, -1, "aaa@0,0 _@A,0 aa@A+S,0 a@0,H"},  // pieces of a word wrap alone
    };
    for (const auto& c : cases) {
      THtmlLabel label;
      const int a = Advance(label, "aaa");
      const int s = Advance(label, " ");
      const int h = label.fontMetrics().height();
      // A font whose split pieces are narrower than the whole word cannot show the last case.
      if (c.caption.contains("aa<b>") && Advance(label, "aa") + Advance(label, "a") < a) continue;
      label.resize(2 * a + s + c.slack, 13);
      label.SetWordWrap1(c.wordWrap);
      label.SetCaption(c.caption);
      QString expected = c.expected;
      expected.replace("2A+2S", QString::number(2 * a + 2 * s))
          .replace("2A+S", QString::number(2 * a + s))
          .replace("A+S", QString::number(a + s))
          .replace("@A,", QStringLiteral("@%1,").arg(a))
          .replace(",2H", QStringLiteral(",%1").arg(2 * h))
          .replace(",H", QStringLiteral(",%1").arg(h));
      QCOMPARE(Placed(label), expected);
    }
  }

  // Each case: the alignment, the caption, the control's width less the text's, and the origin's x.
  void alignment() {
    const int left = THtmlLabel::taLeftJustify, right = THtmlLabel::taRightJustify, centre = THtmlLabel::taCenter;
    const struct {
      int alignment;
      QString caption;
      int widthOverText, originX;
    } cases[] = {
        {left, "abc", 100, 0},       {right, "abc", 100, 100},   {centre, "abc", 100, 50},
        {centre, "abc abc", 100, 50},  // spaces count as nothing
        {centre, "abc", 101, 50},    {centre, "abc", -15, -7},   {right, "abc", -15, -15},
    };
    for (const auto& c : cases) {
      THtmlLabel label;
      label.SetCaption(c.caption);
      QSize text;
      label.GetExtent(&text);
      label.resize(text.width() + c.widthOverText, 13);
      label.SetAlignment(static_cast<THtmlLabel::TAlignment>(c.alignment));
      QCOMPARE(label.Origin(), QPoint(c.originX, 0));
      label.GetExtent(nullptr);
      QCOMPARE(label.LastPlacements().front().Pen, QPoint(c.originX, 0));
      // Only the property writers move the origin, a resize does not.
      label.resize(label.width() + 40, 13);
      QCOMPARE(label.Origin(), QPoint(c.originX, 0));
    }
  }

  void autoSize() {
    QWidget parent;
    THtmlLabel label(&parent);
    QCOMPARE(label.size(), QSize(30, 13));
    label.resize(300, 50);
    label.SetAlignment(THtmlLabel::taCenter);
    label.SetCaption("<b>Hint:</b> two  words");
    QVERIFY(label.Origin().x() > 0);

    label.SetAutoSize1(1);
    QSize text;
    label.GetExtent(&text);
    QCOMPARE(label.size(), text);
    QCOMPARE(label.Origin(), QPoint(0, 0));
    QCOMPARE(label.LastPlacements().back().Pen.y(), 0);

    label.SetAlignment(THtmlLabel::taRightJustify);
    QCOMPARE(label.Origin(), QPoint(0, 0));

    // The label follows its parent's font, and a change arrives as a font change.
    const QSize before = label.size();
    QFont big = parent.font();
    big.setPixelSize(40);
    parent.setFont(big);
    QCOMPARE(label.font().pixelSize(), 40);
    label.GetExtent(&text);
    QCOMPARE(label.size(), text);
    QVERIFY(label.width() > before.width());
    QCOMPARE(label.height(), QFontMetrics(big, &label).height());

    label.SetCaption("");
    QCOMPARE(label.size(), QSize(0, 0));
  }

  void clicks() {
    THtmlLabel label;
    label.resize(100, 20);
    QSignalSpy clicked(&label, &THtmlLabel::OnClick);
    QSignalSpy down(&label, &THtmlLabel::OnMouseDown);

    // Anywhere in the rectangle counts, text or not (the caption is empty).
    Send(&label, QEvent::MouseButtonPress, Qt::LeftButton, {90, 15}, Qt::ShiftModifier);
    Send(&label, QEvent::MouseButtonRelease, Qt::LeftButton, {90, 15}, Qt::ShiftModifier);
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(down.count(), 1);
    QCOMPARE(down[0], (QVariantList{QVariant::fromValue(Qt::LeftButton),
                                    QVariant::fromValue(Qt::KeyboardModifiers(Qt::ShiftModifier)), 90, 15}));

    // Released outside: no click.
    Send(&label, QEvent::MouseButtonPress, Qt::LeftButton, {10, 10});
    Send(&label, QEvent::MouseButtonRelease, Qt::LeftButton, {150, 10});
    QCOMPARE(clicked.count(), 1);

    // Right button: a mouse-down, never a click.
    Send(&label, QEvent::MouseButtonPress, Qt::RightButton, {10, 10});
    Send(&label, QEvent::MouseButtonRelease, Qt::RightButton, {10, 10});
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(down.count(), 3);
    QCOMPARE(down[2][0].value<Qt::MouseButton>(), Qt::RightButton);

    // A double click as Qt delivers it opens the link once, not twice.
    clicked.clear();
    down.clear();
    Send(&label, QEvent::MouseButtonPress, Qt::LeftButton, {10, 10});
    Send(&label, QEvent::MouseButtonRelease, Qt::LeftButton, {10, 10});
    Send(&label, QEvent::MouseButtonPress, Qt::LeftButton, {10, 10});
    Send(&label, QEvent::MouseButtonDblClick, Qt::LeftButton, {10, 10});
    Send(&label, QEvent::MouseButtonRelease, Qt::LeftButton, {10, 10});
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(down.count(), 2);
  }

  void renderHintPanel() {
    // The main window's hint panel: tool-tip coloured, two labels that set neither colour nor font.
    QWidget panel;
    panel.resize(560, 65);
    panel.setAutoFillBackground(true);
    panel.setBackgroundRole(QPalette::ToolTipBase);
    THtmlLabel label1(&panel);
    label1.setGeometry(8, 8, 513, 33);
    label1.SetWordWrap1(1);
    label1.SetCaption(Hint);
    THtmlLabel label2(&panel);
    label2.setGeometry(8, 40, 513, 13);
    label2.setCursor(Qt::PointingHandCursor);
    label2.SetCaption(Visit);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));

    const QImage shot1 = label1.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage shot2 = label2.grab().toImage().convertToFormat(QImage::Format_RGB32);

    QCOMPARE(shot1.pixelColor(shot1.width() - 1, 0), panel.palette().color(QPalette::ToolTipBase));

    // The link painted blue with a blue underline as wide as the link, other text not blue
    // (which pieces are marked is the window's layout test's).
    int linkX = -1, linkW = 0;
    for (const auto& p : label2.LastPlacements())
      if (p.Piece.Text.startsWith("https:")) linkX = p.Pen.x(), linkW = p.Width;
    QVERIFY(linkX > 0);
    int bestRow = 0;
    for (int y = 0; y < shot2.height(); ++y) {
      int blue = 0;
      for (int x = linkX; x < linkX + linkW; ++x) blue += shot2.pixelColor(x, y) == QColor(0, 0, 255);
      bestRow = qMax(bestRow, blue);
    }
    QVERIFY2(bestRow >= linkW * 9 / 10, "no blue underline under the link");
    for (int y = 0; y < shot2.height(); ++y)
      for (int x = 0; x < linkX; ++x) QVERIFY(shot2.pixelColor(x, y) != QColor(0, 0, 255));
  }
};

QTEST_MAIN(TestHtmlLabel)
#include "test_htmllabel.moc"
