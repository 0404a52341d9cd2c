// Anchors in the desktop system's manner: a child keeps its design distance to each parent edge
// it is anchored to, so a resize of the parent moves and stretches it. Anchored left and right,
// a child stretches horizontally; anchored right only, it moves with the right edge; anchored to
// neither, its centre keeps its relative position. The same holds vertically.
#pragma once
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>
#include <vector>

namespace ostrel {

enum TAnchor : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = unsigned;
inline constexpr TAnchors akLeftTop = akLeft | akTop;
inline constexpr TAnchors akAll = akLeft | akTop | akRight | akBottom;

// The geometry of a child placed at `design` in a parent of `designParent` size, once the
// parent is `parent` size. Width and height never go below 0. Pure.
QRect AnchoredRect(const QRect& design, const QSize& designParent, const QSize& parent,
                   TAnchors anchors);

// Keeps the children of one parent at their anchored places. It watches the parent's resize
// events and lives as long as the parent (it is the parent's child object).
class TAnchorLayout : public QObject {
 public:
  // `designSize` is the parent's client size that the children's design rectangles refer to.
  TAnchorLayout(QWidget* parent, const QSize& designSize);

  // Places `child` (a child widget of the parent) at `design`, adjusted to the parent's present
  // size, and keeps it anchored from now on. Adding a child again replaces its entry.
  void Add(QWidget* child, const QRect& design, TAnchors anchors);

  // Places every child for the parent's present size.
  void Apply();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct TEntry {
    QPointer<QWidget> Child;  // a child deleted meanwhile is skipped
    QRect Design;
    TAnchors Anchors;
  };
  QWidget* Parent;
  QSize DesignSize;
  std::vector<TEntry> Entries;
};

}  // namespace ostrel
