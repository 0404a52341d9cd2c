#include "mainwin/radiogroup.h"

#include <QButtonGroup>
#include <QEvent>
#include <QRadioButton>
#include <algorithm>

namespace ostrel {

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), Group(new QButtonGroup(this)) {
  for (int i = 0; i < items.size(); ++i) {
    auto* button = new QRadioButton(items[i], this);
    Group->addButton(button, i);
    Buttons.push_back(button);
  }
  connect(Group, &QButtonGroup::idToggled, this, [this](int, bool checked) {
    if (checked) emit Click();
  });
  ArrangeButtons();
}

int TRadioGroup::ItemIndex() const { return Group->checkedId(); }

void TRadioGroup::SetItemIndex(int index) {
  if (index >= 0 && index < Count()) {
    Buttons[static_cast<size_t>(index)]->setChecked(true);
    return;
  }
  // An exclusive group keeps one button checked; lift that for the moment of clearing.
  Group->setExclusive(false);
  for (QRadioButton* button : Buttons) button->setChecked(false);
  Group->setExclusive(true);
}

void TRadioGroup::resizeEvent(QResizeEvent* event) {
  QGroupBox::resizeEvent(event);
  ArrangeButtons();
}

void TRadioGroup::changeEvent(QEvent* event) {
  QGroupBox::changeEvent(event);
  if (event->type() == QEvent::FontChange) ArrangeButtons();
}

void TRadioGroup::ArrangeButtons() {
  if (Buttons.empty()) return;
  // Equal rows inside the frame, below the caption; the remainder split above and below.
  const QRect area = contentsRect();
  const int count = Count();
  const int rowHeight = std::max(area.height(), 0) / count;
  const int top = area.top() + (std::max(area.height(), 0) % count) / 2;
  const int left = area.left() + 6;
  const int buttonWidth = std::max(area.right() + 1 - left, 0);
  for (int i = 0; i < count; ++i)
    Buttons[static_cast<size_t>(i)]->setGeometry(left, top + i * rowHeight, buttonWidth, rowHeight);
}

}  // namespace ostrel
