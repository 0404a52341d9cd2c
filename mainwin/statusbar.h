// TStatusBar: a status bar with plain-text panels from the left, as the desktop system's status
// bar has; each panel is at least its design width and wider when its text needs it, and the
// last one takes the room that is left.
#pragma once
#include <QStatusBar>
#include <initializer_list>
#include <vector>

class QLabel;

namespace ostrel {

class TStatusBar : public QStatusBar {
  Q_OBJECT
 public:
  // One panel per entry of `widths` (the least width in pixels; unused for the last panel),
  // left to right, each empty.
  TStatusBar(std::initializer_list<int> widths, QWidget* parent);

  int PanelCount() const { return static_cast<int>(Panels.size()); }
  // The text of panel `index`; an index outside the panels is ignored (and reads as "").
  void SetPanelText(int index, const QString& text);
  QString PanelText(int index) const;
  // The panel's label, or null for an index outside the panels.
  QLabel* Panel(int index) const;

 private:
  std::vector<QLabel*> Panels;
};

}  // namespace ostrel
