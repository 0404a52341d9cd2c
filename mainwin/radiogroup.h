// TRadioGroup: a captioned box of radio buttons, one per item, of which at most one is selected.
// The buttons are spread over the box in equal rows, one column, as the desktop system's radio
// group does, so the box keeps its design size whatever the font. They are placed whenever the
// box is resized or its font changes (a hidden box gets its resize when it is first shown).
#pragma once
#include <QGroupBox>
#include <QStringList>
#include <vector>

class QButtonGroup;
class QRadioButton;

namespace ostrel {

class TRadioGroup : public QGroupBox {
  Q_OBJECT
 public:
  TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent);

  // The selected item, or -1 when none is.
  int ItemIndex() const;
  // Selects item `index`; any value outside 0..count-1 clears the selection. Emits Click when
  // the selected item changes, as a click by the user would.
  void SetItemIndex(int index);

  int Count() const { return static_cast<int>(Buttons.size()); }
  QRadioButton* Button(int index) const { return Buttons.at(static_cast<size_t>(index)); }

 signals:
  // The selected item changed (by the user or by SetItemIndex).
  void Click();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void ArrangeButtons();

  QButtonGroup* Group;
  std::vector<QRadioButton*> Buttons;
};

}  // namespace ostrel
