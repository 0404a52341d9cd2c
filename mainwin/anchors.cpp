#include "mainwin/anchors.h"

#include <QEvent>
#include <algorithm>

namespace ostrel {
namespace {

// One axis: start and length of the child, given the parent's design and present lengths.
void AnchorAxis(int start, int length, int designParent, int parent, bool nearEdge, bool farEdge,
                int& newStart, int& newLength) {
  const int farGap = designParent - (start + length);
  newStart = start;
  newLength = length;
  if (nearEdge && farEdge) {
    newLength = parent - start - farGap;
  } else if (farEdge) {
    newStart = parent - farGap - length;
  } else if (!nearEdge && designParent > 0) {
    // Centre at the same fraction of the parent; rounding as integer pixels.
    const long long centre2 = 2LL * start + length;  // twice the centre
    newStart = static_cast<int>((centre2 * parent / designParent - length) / 2);
  }
  newLength = std::max(newLength, 0);
}

}  // namespace

QRect AnchoredRect(const QRect& design, const QSize& designParent, const QSize& parent,
                   TAnchors anchors) {
  int x, w, y, h;
  AnchorAxis(design.x(), design.width(), designParent.width(), parent.width(),
             (anchors & akLeft) != 0, (anchors & akRight) != 0, x, w);
  AnchorAxis(design.y(), design.height(), designParent.height(), parent.height(),
             (anchors & akTop) != 0, (anchors & akBottom) != 0, y, h);
  return QRect(x, y, w, h);
}

TAnchorLayout::TAnchorLayout(QWidget* parent, const QSize& designSize)
    : QObject(parent), Parent(parent), DesignSize(designSize) {
  parent->installEventFilter(this);
}

void TAnchorLayout::Add(QWidget* child, const QRect& design, TAnchors anchors) {
  auto it = std::find_if(Entries.begin(), Entries.end(),
                         [child](const TEntry& e) { return e.Child == child; });
  if (it != Entries.end())
    *it = TEntry{child, design, anchors};
  else
    Entries.push_back(TEntry{child, design, anchors});
  child->setGeometry(AnchoredRect(design, DesignSize, Parent->size(), anchors));
}

void TAnchorLayout::Apply() {
  const QSize size = Parent->size();
  for (const TEntry& e : Entries)
    if (e.Child) e.Child->setGeometry(AnchoredRect(e.Design, DesignSize, size, e.Anchors));
}

bool TAnchorLayout::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Parent && event->type() == QEvent::Resize) Apply();
  return QObject::eventFilter(watched, event);
}

}  // namespace ostrel
