#include "mainwin/statusbar.h"

#include <QLabel>

namespace ostrel {

TStatusBar::TStatusBar(std::initializer_list<int> widths, QWidget* parent) : QStatusBar(parent) {
  size_t left = widths.size();
  for (int width : widths) {
    auto* panel = new QLabel(this);
    // Folder names are shown as they are: "<b>" is a name, not markup.
    panel->setTextFormat(Qt::PlainText);
    if (--left > 0) {
      // The design width at least; a longer text widens its panel rather than being cut.
      panel->setMinimumWidth(width);
      panel->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
    } else {
      // The last one takes the room the others leave; its whole text is in its tooltip.
      panel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setIndent(2);
    // A line of text in full: cut at the bottom, underscores vanish.
    panel->setMinimumHeight(panel->fontMetrics().height() + 2 * panel->frameWidth());
    // Added as normal (left-hand) items; showMessage is never used, so they stay in view.
    addWidget(panel, left == 0 ? 1 : 0);
    Panels.push_back(panel);
  }
}

QLabel* TStatusBar::Panel(int index) const {
  if (index < 0 || index >= PanelCount()) return nullptr;
  return Panels[static_cast<size_t>(index)];
}

void TStatusBar::SetPanelText(int index, const QString& text) {
  if (QLabel* panel = Panel(index)) panel->setText(text);
}

QString TStatusBar::PanelText(int index) const {
  QLabel* panel = Panel(index);
  return panel ? panel->text() : QString();
}

}  // namespace ostrel
