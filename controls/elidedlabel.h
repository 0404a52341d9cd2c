// A one-line label that cuts its text with "..." where it does not fit, whatever width its
// layout gives it, instead of growing or being clipped mid-letter.
#pragma once
#include <QLabel>

namespace ostrel {

class TElidedLabel : public QLabel {
 public:
  explicit TElidedLabel(QWidget* parent = nullptr);

  // The text as drawn at the label's present width: text() whole when it fits.
  QString ShownText() const;

  // Any width will do: the text is cut to fit.
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace ostrel
