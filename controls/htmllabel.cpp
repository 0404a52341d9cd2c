#include "controls/htmllabel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

namespace ostrel {

namespace {

enum TAttribute { atBold, atUnderline, atItalic, atStrike, atBlue };

struct TTag {
  const char* Text;
  TAttribute Attribute;
  bool On;
};

// Tried in this order. None is a prefix of another, so the order never changes which matches.
constexpr TTag Tags[] = {
    {"<B>", atBold, true},          {"</B>", atBold, false},
    {"<U>", atUnderline, true},     {"</U>", atUnderline, false},
    {"<I>", atItalic, true},        {"</I>", atItalic, false},
    {"<STRIKE>", atStrike, true},   {"</STRIKE>", atStrike, false},
    {"<BLUE>", atBlue, true},       {"</BLUE>", atBlue, false},
};

// Only a-z fold, so no locale can turn some other letter into a tag.
bool TagAt(const QString& text, qsizetype pos, const char* tag) {
  for (qsizetype i = 0; tag[i] != '\0'; ++i) {
    if (pos + i >= text.size()) return false;
    char16_t c = text[pos + i].unicode();
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    if (c != static_cast<char16_t>(tag[i])) return false;
  }
  return true;
}

const QColor PureBlue(0, 0, 255);

}  // namespace

QString CutHtmlCaption(const QString& caption) {
  if (caption.size() <= HtmlCaptionLimit) return caption;
  qsizetype keep = HtmlCaptionLimit;
  if (caption[keep - 1].isHighSurrogate()) --keep;
  return caption.left(keep);
}

std::vector<THtmlPiece> ParseHtmlCaption(const QString& caption, const THtmlPiece& start) {
  const QString text = CutHtmlCaption(caption);
  std::vector<THtmlPiece> pieces;
  THtmlPiece current = start;
  current.Kind = THtmlPiece::pkWord;
  current.Text.clear();
  bool blueSlot = start.Blue;
  QString word;

  auto flush = [&] {
    if (word.isEmpty()) return;
    THtmlPiece piece = current;
    piece.Text = word;
    pieces.push_back(piece);
    word.clear();
  };

  qsizetype pos = 0;
  while (pos < text.size()) {
    const TTag* found = nullptr;
    for (const TTag& tag : Tags) {
      if (TagAt(text, pos, tag.Text)) {
        found = &tag;
        break;
      }
    }
    if (found != nullptr) {
      flush();
      switch (found->Attribute) {
        case atBold: current.Bold = found->On; break;
        case atUnderline: current.Underline = found->On; break;
        case atItalic: current.Italic = found->On; break;
        case atStrike: current.Strike = found->On; break;
        case atBlue:
          if (found->On) {
            blueSlot = current.Blue;
            current.Blue = true;
          } else {
            current.Blue = blueSlot;
          }
          break;
      }
      pos += static_cast<qsizetype>(qstrlen(found->Text));
    } else if (text[pos] == u' ') {
      flush();
      THtmlPiece space = current;
      space.Kind = THtmlPiece::pkSpace;
      space.Text = QStringLiteral(" ");
      pieces.push_back(space);
      ++pos;
    } else {
      word += text[pos];
      ++pos;
    }
  }
  flush();
  return pieces;
}

THtmlLabel::THtmlLabel(QWidget* parent) : QWidget(parent) {
  resize(30, 13);
}

THtmlLabel::~THtmlLabel() = default;

void THtmlLabel::SetAutoSize1(int value) {
  FAutoSize = value;
  Changed();
}

void THtmlLabel::SetWordWrap1(int value) {
  FWordWrap = value;
  Changed();
}

void THtmlLabel::SetCaption(const QString& text) {
  FCaption = text;
  Changed();
}

void THtmlLabel::SetAlignment(TAlignment value) {
  FAlignment = value;
  Changed();
}

QColor THtmlLabel::Color() const {
  return palette().color(backgroundRole());
}

void THtmlLabel::SetColor(const QColor& value) {
  QPalette pal = palette();
  pal.setColor(backgroundRole(), value);
  setPalette(pal);
}

void THtmlLabel::CMFontChanged() {
  Changed();
}

void THtmlLabel::Changed() {
  AutoResize();
  update();
}

void THtmlLabel::GetExtent(QSize* size) {
  FPainting = 0;
  ProcessCaption();
  if (size != nullptr) *size = QSize(FTextWidth, FLineHeight);
}

void THtmlLabel::AutoResize() {
  GetExtent(nullptr);
  if (FAutoSize != 0) resize(FTextWidth, FLineHeight);
  FOrigin.setY(0);
  switch (FAlignment) {
    case taLeftJustify: FOrigin.setX(0); break;
    case taRightJustify: FOrigin.setX(width() - FTextWidth); break;
    case taCenter: FOrigin.setX((width() - FTextWidth) / 2); break;
  }
}

void THtmlLabel::SelectFont(const THtmlPiece& piece) {
  FStyle = piece;
  FCanvasColor = piece.Blue ? PureBlue : palette().color(foregroundRole());
  const QFont& own = font();
  FCanvasFont = own;
  // Touch the weight only when a tag changed it, so a demi-bold font stays demi-bold.
  if (piece.Bold != own.bold()) FCanvasFont.setBold(piece.Bold);
  FCanvasFont.setItalic(piece.Italic);
  FCanvasFont.setUnderline(piece.Underline);
  FCanvasFont.setStrikeOut(piece.Strike);
}

void THtmlLabel::ProcessCaption() {
  const QFont& own = font();
  THtmlPiece start;
  start.Bold = own.bold();
  start.Italic = own.italic();
  start.Underline = own.underline();
  start.Strike = own.strikeOut();

  SelectFont(start);
  FWord = THtmlPiece();
  FPen = FOrigin;
  FTextWidth = 0;
  FLineHeight = 0;
  FPlaced.clear();

  for (const THtmlPiece& piece : ParseHtmlCaption(FCaption, start)) {
    SelectFont(piece);
    if (piece.Kind == THtmlPiece::pkSpace) {
      DumpSpace();
    } else {
      FWord = piece;
      DumpText();
    }
  }
}

void THtmlLabel::DumpText() {
  if (FWord.Text.isEmpty()) return;
  const QFontMetrics metrics(FCanvasFont, this);
  const int w = metrics.horizontalAdvance(FWord.Text);
  const int h = metrics.height();
  if (FPen.x() + w > width() && FWordWrap != 0) {
    FPen.setX(FOrigin.x());
    FPen.ry() += FLineHeight;
  }
  if (FPainting != 0 && FCanvas != nullptr) {
    FCanvas->setFont(FCanvasFont);
    FCanvas->setPen(FCanvasColor);
    FCanvas->drawText(FPen.x(), FPen.y() + metrics.ascent(), FWord.Text);
  }
  FPlaced.push_back({FWord, FPen, w});
  FPen.rx() += w;
  FTextWidth += w;
  if (h > FLineHeight) FLineHeight = h;
  FWord = THtmlPiece();
}

void THtmlLabel::DumpSpace() {
  if (FPen.x() == FOrigin.x()) return;
  const QFontMetrics metrics(FCanvasFont, this);
  const int w = metrics.horizontalAdvance(QLatin1Char(' '));
  THtmlPiece space = FStyle;
  space.Kind = THtmlPiece::pkSpace;
  space.Text = QStringLiteral(" ");
  if (FPainting != 0 && FCanvas != nullptr) {
    // An underlined or struck space shows its line, in the space's own colour.
    FCanvas->setFont(FCanvasFont);
    FCanvas->setPen(FCanvasColor);
    FCanvas->drawText(FPen.x(), FPen.y() + metrics.ascent(), space.Text);
  }
  FPlaced.push_back({space, FPen, w});
  FPen.rx() += w;
}

void THtmlLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Color());
  FCanvas = &painter;
  FPainting = 1;
  ProcessCaption();
  FPainting = 0;
  FCanvas = nullptr;
}

void THtmlLabel::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) {
    CMFontChanged();
  } else if (event->type() == QEvent::PaletteChange) {
    update();
  }
  QWidget::changeEvent(event);
}

void THtmlLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) FClickArmed = true;
  const QPoint at = event->position().toPoint();
  emit OnMouseDown(event->button(), event->modifiers(), at.x(), at.y());
}

void THtmlLabel::mouseDoubleClickEvent(QMouseEvent* event) {
  // Qt delivers the second press of a double click as a press (already reported) and then
  // this event. The first click already clicked, so the second one must not click again.
  FClickArmed = false;
  event->accept();
}

void THtmlLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !FClickArmed) return;
  FClickArmed = false;
  if (rect().contains(event->position().toPoint())) emit OnClick();
}

}  // namespace ostrel
