#include "controls/elidedlabel.h"

#include <QPainter>

namespace ostrel {

TElidedLabel::TElidedLabel(QWidget* parent) : QLabel(parent) { setTextFormat(Qt::PlainText); }

QString TElidedLabel::ShownText() const {
  return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
}

QSize TElidedLabel::minimumSizeHint() const { return QSize(0, QLabel::minimumSizeHint().height()); }

void TElidedLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(foregroundRole()));
  painter.drawText(contentsRect(), static_cast<int>(alignment()) | Qt::TextSingleLine, ShownText());
}

}  // namespace ostrel
