// THtmlLabel: a label that draws its caption word by word and understands a few inline tags
// (<b>, <i>, <u>, <strike>, <blue> and their closing forms, any letter case). Tags only switch
// an attribute on or off, so they need not nest ("<blue><u>x</blue></u>" is fine); anything
// else that starts with "<" is drawn literally. Words can wrap onto further lines, the label
// can size itself to its text, and the text can be aligned left, right or centred.
//
// One routine, ProcessCaption, lays the caption out; it paints in a painting pass and only
// measures in a measuring pass, so what is measured is exactly what is drawn.
#pragma once
#include <QColor>
#include <QFont>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QWidget>
#include <vector>

class QPainter;

namespace ostrel {

// The caption is laid out from at most this many characters (UTF-16 units); the rest is cut.
// A cut never splits a surrogate pair, so the kept text may be one unit shorter.
inline constexpr int HtmlCaptionLimit = 1023;

// One piece of a caption as the tag scanner produces it: a word piece (the characters between
// two spaces or tags) or a single space, with the attributes in force where it stands.
struct THtmlPiece {
  enum TKind { pkWord, pkSpace };
  TKind Kind = pkWord;
  QString Text;            // the word piece; " " for a space
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool Strike = false;
  bool Blue = false;       // drawn in pure blue (0, 0, 255) instead of the font colour
  bool operator==(const THtmlPiece&) const = default;
};

// The first HtmlCaptionLimit characters of `caption` (all of it when shorter).
QString CutHtmlCaption(const QString& caption);

// Scans `caption` (cut with CutHtmlCaption) into pieces, in caption order. At each position
// the tags are tried in the order <b> </b> <u> </u> <i> </i> <strike> </strike> <blue> </blue>,
// ignoring the case of the letters a-z only. A closing tag removes its attribute however many
// opening tags came before. "<blue>" remembers the colour in force and "</blue>" brings back
// the remembered one; with no "<blue>" before it, "</blue>" gives the starting colour. Each
// space is a piece of its own; empty word pieces never appear.
// `start` gives the attributes in force before the first tag (its Kind and Text are ignored):
// a label passes its own font's style, so "</b>" in a bold label's caption makes text regular.
// Pure: needs no widget or application.
std::vector<THtmlPiece> ParseHtmlCaption(const QString& caption, const THtmlPiece& start = {});

// Where the last pass put a piece: Pen is the top-left corner of its text cell in client
// coordinates, Width its measured advance.
struct THtmlPlacement {
  THtmlPiece Piece;
  QPoint Pen;
  int Width = 0;
};

class THtmlLabel : public QWidget {
  Q_OBJECT
  Q_PROPERTY(int AutoSize READ AutoSize WRITE SetAutoSize1)
  Q_PROPERTY(int WordWrap READ WordWrap WRITE SetWordWrap1)
  Q_PROPERTY(QString Caption READ GetCaption WRITE SetCaption)
  Q_PROPERTY(QColor Color READ Color WRITE SetColor)
  Q_PROPERTY(TAlignment Alignment READ Alignment WRITE SetAlignment)

 public:
  enum TAlignment { taLeftJustify, taRightJustify, taCenter };
  Q_ENUM(TAlignment)

  // 30 × 13, empty caption, AutoSize 0, WordWrap 0, left-justified, origin (0, 0).
  explicit THtmlLabel(QWidget* parent = nullptr);
  ~THtmlLabel() override;

  // Non-zero: every property change resizes the label to the measured text (FTextWidth wide,
  // FLineHeight high). Stored as given.
  int AutoSize() const { return FAutoSize; }
  void SetAutoSize1(int value);

  // Non-zero: a word piece that would end past width() starts a new line.
  int WordWrap() const { return FWordWrap; }
  void SetWordWrap1(int value);

  // The caption exactly as set; only its first HtmlCaptionLimit characters are laid out.
  QString GetCaption() const { return FCaption; }
  void SetCaption(const QString& text);

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment value);

  // Background colour: the palette colour of backgroundRole(), so it follows the parent's
  // (for example a tool-tip coloured panel) until set here. The text uses foregroundRole().
  // Font and cursor are QWidget's own font()/setFont() and cursor()/setCursor().
  QColor Color() const;
  void SetColor(const QColor& value);

  // Runs a measuring pass. When `size` is not null it receives (FTextWidth, FLineHeight): the
  // sum of the word pieces' widths (spaces not counted) and the tallest piece's height. Both
  // are 0 for an empty caption.
  void GetExtent(QSize* size);

  // Measures, resizes when AutoSize is set, and recomputes the origin from Alignment and the
  // width after that resize. Run by every property writer and by a font change; a plain
  // resize() does not move the origin.
  void AutoResize();

  // Where each line starts: x for every line, y for the first one.
  QPoint Origin() const { return FOrigin; }

  // The pieces of the last pass (painting or measuring) with their positions.
  const std::vector<THtmlPlacement>& LastPlacements() const { return FPlaced; }

 signals:
  // A left-button press and release, both inside the client rectangle. The whole rectangle
  // counts, not only the text. A double click gives one OnClick (for its first click).
  void OnClick();
  // Every button press (the second press of a double click too, once), in client coordinates.
  void OnMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void ProcessCaption();
  void DumpText();
  void DumpSpace();
  void CMFontChanged();
  void Changed();
  void SelectFont(const THtmlPiece& piece);

  QString FCaption;
  int FAutoSize = 0;
  int FWordWrap = 0;
  TAlignment FAlignment = taLeftJustify;

  // State of one pass; rebuilt from the caption and FOrigin every time.
  QPoint FPen;
  QPoint FOrigin;
  int FTextWidth = 0;
  int FLineHeight = 0;
  THtmlPiece FWord;          // the word piece being flushed, with its attributes
  int FPainting = 0;
  QPainter* FCanvas = nullptr;  // set only during a painting pass
  QFont FCanvasFont;         // the control's font with the attributes of FStyle
  QColor FCanvasColor;       // foreground colour, or pure blue
  THtmlPiece FStyle;         // attributes in force on the canvas
  std::vector<THtmlPlacement> FPlaced;

  bool FClickArmed = false;
};

}  // namespace ostrel
