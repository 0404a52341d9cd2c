// Narrowing the folder tree to the folders whose names hold a text.
#pragma once
#include <string>

class QTreeWidget;
class QTreeWidgetItem;

namespace ostrel {

// Hides every folder item of `view` whose name does not contain `text` (ContainsNoCase, on
// the name's bytes) and that holds no folder whose name does; the top-level items stay. An
// empty text shows every item again. Returns the first folder whose name matches, top to
// bottom as the tree shows them, or null. Without recursion.
QTreeWidgetItem* FilterTree(QTreeWidget* view, const std::string& text);

}  // namespace ostrel
