// The treemap chart kind: a TTreemapView over ChartPie's plot area, between the buttons' rows,
// shown instead of the chart's points while it is the chart type chosen and no scan's look is
// up. Its hover and clicks act as the chart's: the status bar tells what lies under the
// pointer, a folder's rectangle goes into that folder, a file's selects it in the list.
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTreeWidget>
#include <memory>

#include "controls/named.h"
#include "mainwin/anchors.h"
#include "mainwin/chartview.h"
#include "mainwin/fileslist.h"
#include "mainwin/fmain.h"
#include "mainwin/folderitem.h"
#include "mainwin/statusbar.h"
#include "mainwin/treemapview.h"
#include "scan/scansettings.h"

namespace ostrel {
namespace {

// `node`'s path below `top`, the folder the treemap shows, as the status bar shows it; the
// folder itself by its own name.
QString PathBelow(const DirNode* node, const DirNode* top) {
  std::vector<const char*> names{node->Name};
  for (const DirNode* up = node->Parent; node != top && up && up != top; up = up->Parent) names.push_back(up->Name);
  std::string path;
  for (auto name = names.rbegin(); name != names.rend(); ++name) path.empty() ? void(path = *name) : JoinPath(path, *name);
  return QFile::decodeName(QByteArray::fromStdString(path));
}

}  // namespace

void TForm1::CreateTreemap() {
  Treemap = new TTreemapView(ChartPie);
  Named(Treemap, "Treemap");
  // Below the buttons and labels that ChartPie carries, above its plot.
  Treemap->stackUnder(LabelStandBy);
  auto* place = new TAnchorLayout(ChartPie, QSize(450, 314));
  place->Add(Treemap, QRect(0, 23, 450, 268), akAll);
  Treemap->hide();

  connect(Treemap, &TTreemapView::NodeHovered, this, [this](const DirNode* node) {
    if (!node) {
      StatusBar1->SetPanelText(0, QString());
      return;
    }
    const QString path = PathBelow(node, Treemap->Folder());
    const uint64_t now = SizeOf(*node, ShownMeasure());
    uint64_t then = 0;
    switch (Treemap->ChangeOf(node, &then)) {
      case TTreemapView::ChangeNone:
        StatusBar1->SetPanelText(0, path);
        StatusBar1->SetPanelText(1, QString::fromStdString(FormatSize(now)));
        return;
      case TTreemapView::ChangeNew:
        StatusBar1->SetPanelText(0, path + QStringLiteral(" (new)"));
        break;
      default:
        StatusBar1->SetPanelText(0, path + QStringLiteral(" (was ") + QString::fromStdString(FormatSize(then)) +
                                        QLatin1Char(')'));
    }
    StatusBar1->SetPanelText(1, SignedSize(ChangeOf(then, now)));
  });

  connect(Treemap, &TTreemapView::NodeClicked, this, [this](const DirNode* node) {
    const TShownScan* scan = Scans.ScanOf(PointsItem);
    if (!scan || !node) return;
    const DirNode* folder = node->Kind == NodeFolder ? node : node->Parent;
    QTreeWidgetItem* item = folder == ItemNode(PointsItem) ? PointsItem : TScanShelf::ItemFor(*scan, folder);
    if (!item) return;
    SelectItem(item);
    TreeViewDirectoriesClick();
    if (node->Kind == NodeFolder) return;
    // With "All below" the list may hold other files than the folder's own.
    if (!FilesList->SelectFile(node) && FilesList->AllBelow()) {
      ShowFiles(item, true);
      FilesList->SelectFile(node);
    }
  });
  connect(Treemap, &TTreemapView::UpRequested, this, &TForm1::ButtonUpClick);

  auto* menu = new QMenu(this);
  Named(menu, "PopupMenuTreemap");
  auto target = std::make_shared<const DirNode*>(nullptr);  // the node the menu was opened over
  menu->addAction(QStringLiteral("Move to &Trash"), this, [this, target] {
    const DirNode* node = *target;
    // Only while it is still drawn: a tree changed since has let go of the layout.
    if (node && !Treemap->RectOf(node).isEmpty()) MoveToTrash({node});
  });
  connect(Treemap, &TTreemapView::MenuRequested, this, [menu, target](const DirNode* node, QPoint at) {
    *target = node;
    menu->popup(at);
  });
}

void TForm1::ShowTreemap(QTreeWidgetItem* item) {
  const bool shown = ScanSettings.charttype == TTreemapView::ChartKind && LabelStandBy->isHidden();
  Treemap->setVisible(shown);
  // The chart lies hidden below it meanwhile: Tab goes to the treemap instead.
  ChartPie->setFocusPolicy(shown ? Qt::NoFocus : Qt::TabFocus);
  // "My Computer" has no folder of its own: it shows its scan's top.
  if (item && !ItemNode(item) && item->childCount() > 0) item = item->child(0);
  const TFolderItem* folder =
      shown && item && item->type() == TFolderItem::ItemType ? static_cast<const TFolderItem*>(item) : nullptr;
  // While compared, the colours tell the changes since the earlier scan.
  const bool compared = folder && folder->Compared;
  Treemap->ShowFolder(folder ? folder->Node : nullptr, ShownMeasure(), compared, compared ? folder->OldNode : nullptr);
}

}  // namespace ostrel
