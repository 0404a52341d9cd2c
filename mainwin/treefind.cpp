#include "mainwin/treefind.h"

#include <QTreeWidget>
#include <utility>
#include <vector>

#include "mainwin/folderitem.h"
#include "scan/textcase.h"

namespace ostrel {

QTreeWidgetItem* FilterTree(QTreeWidget* view, const std::string& text) {
  QTreeWidgetItem* first = nullptr;
  // Each item is left once its children have been: whether it stays shown depends on them.
  struct TFrame {
    QTreeWidgetItem* Item;
    int Next;    // the child to go into next
    bool Keep;   // its name matches, or a folder below it stays
  };
  std::vector<TFrame> path;
  for (int top = 0; top < view->topLevelItemCount(); ++top) {
    path.push_back({view->topLevelItem(top), 0, true});
    while (!path.empty()) {
      TFrame& frame = path.back();
      if (frame.Next < frame.Item->childCount()) {
        QTreeWidgetItem* child = frame.Item->child(frame.Next++);
        const DirNode* node = ItemNode(child);
        const bool match = text.empty() || (node && ContainsNoCase(node->Name, text));
        if (match && node && !text.empty() && !first) first = child;
        path.push_back({child, 0, match});
        continue;
      }
      const TFrame done = frame;
      path.pop_back();
      if (path.empty()) break;
      // A gone folder of a comparison has no node: it goes with its parent.
      const bool keep = done.Keep || (!ItemNode(done.Item) && !IsGoneItem(done.Item));
      if (done.Item->isHidden() == keep) done.Item->setHidden(!keep);
      if (keep) path.back().Keep = true;
    }
  }
  return first;
}

}  // namespace ostrel
