#include <QAction>
#include <QCheckBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLayout>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QScreen>
#include <QShowEvent>
#include <QSplitter>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QStyle>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>

#include "controls/elidedlabel.h"
#include "controls/htmllabel.h"
#include "controls/named.h"
#include "docs/weblinks.h"
#include "mainwin/anchors.h"
#include "mainwin/chartview.h"
#include "mainwin/fileslist.h"
#include "mainwin/fmain.h"
#include "mainwin/folderitem.h"
#include "mainwin/radiogroup.h"
#include "mainwin/statusbar.h"
#include "mainwin/treemapview.h"

namespace ostrel {
namespace {

// Size of the client area below the menu bar at design time, status bar included.
constexpr int DesignClientWidth = 674;
constexpr int DesignClientHeight = 419;
constexpr int StatusBarHeight = 19;
// The least size of the window, frame excluded, in logical pixels at any scale factor.
constexpr int MinimumWindowWidth = 560;
constexpr int MinimumWindowHeight = 360;
// The tree's width in the window's design size.
constexpr int TreeDesignWidth = 260;
// The chart's least height: Stop, which moves with the chart's middle, still clears Explore-Dir
// at the bottom edge (194 pixels), with a little room.
constexpr int ChartMinimumHeight = 200;

const char* const HintCaption =
    "<b>Hint:</b> Click any item in the tree (or any slice/bar in the chart) to see a breakdown "
    "of that directory. Hover the mouse over the chart to see details in the status bar below. "
    "<b><Explore-Dir></b> will open an explorer window.";

// The design sizes assume a narrow font. With a wider system face a caption may not
// fit its button; such a button grows just enough, away from the edges it is anchored to.
QRect FitButton(QPushButton* button, QRect design, TAnchors anchors) {
  const QStyle* style = button->style();
  const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
  const int margin = style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
  const QString shown = QString(button->text()).remove(QLatin1Char('&'));  // the mnemonic's marker is not drawn
  const int needed = QFontMetrics(button->font()).horizontalAdvance(shown) + 2 * frame + margin;
  if (needed > design.width()) {
    if ((anchors & akRight) && !(anchors & akLeft))
      design.setLeft(design.right() + 1 - needed);
    else
      design.setWidth(needed);
  }
  return design;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, const char* hint,
                        TAnchorLayout* layout, const QRect& design, TAnchors anchors) {
  auto* button = new QPushButton(QString::fromLatin1(caption), parent);
  Named(button, name);
  if (hint) button->setToolTip(QString::fromLatin1(hint));
  layout->Add(button, FitButton(button, design, anchors), anchors);
  return button;
}

QLabel* MakeBigLabel(QWidget* parent, const char* name, const char* caption) {
  auto* label = new QLabel(QString::fromLatin1(caption), parent);
  Named(label, name);
  QFont big = label->font();
  big.setPixelSize(24);
  label->setFont(big);
  label->adjustSize();
  return label;
}

// Makes the caption fit the label's width in at most `lines` lines that fit its height. Keeps
// `base` if it fits; otherwise takes the first that fits of: `base` condensed, one pixel
// smaller, that condensed, and so on down to 8 pixels (the last one tried when none fits).
void FitToLines(THtmlLabel* label, const QFont& base, int lines) {
  auto fits = [&](const QFont& font) {
    label->setFont(font);
    QSize extent;
    label->GetExtent(&extent);
    int bottom = 0;
    for (const THtmlPlacement& placed : label->LastPlacements()) {
      bottom = std::max(bottom, placed.Pen.y() + extent.height());
      if (placed.Piece.Kind == THtmlPiece::pkWord && placed.Pen.x() + placed.Width > label->width()) return false;
    }
    // One line is as high as its text, whatever the label's design height.
    return bottom <= std::max(extent.height(), std::min(label->height(), lines * extent.height()));
  };
  if (fits(base)) return;
  QFont font = base;
  for (int px = QFontInfo(base).pixelSize(); px >= 8; --px) {
    font.setPixelSize(px);
    font.setStretch(QFont::Unstretched);
    if (px < QFontInfo(base).pixelSize() && fits(font)) return;
    font.setStretch(QFont::Condensed);
    if (fits(font)) return;
  }
}

// Fits a hint label's caption again whenever the label's width changes (a narrow window).
class TFitOnResize : public QObject {
 public:
  TFitOnResize(THtmlLabel* label, int lines) : QObject(label), Label(label), Base(label->font()), Lines(lines) {
    label->installEventFilter(this);
    FitToLines(Label, Base, Lines);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == Label && event->type() == QEvent::Resize &&
        static_cast<QResizeEvent*>(event)->oldSize().width() != Label->width())
      FitToLines(Label, Base, Lines);
    return QObject::eventFilter(watched, event);
  }

 private:
  THtmlLabel* Label;
  QFont Base;
  int Lines;
};

// Places the scanning look (the two captions, the count after the second, Stop) as one block:
// at its design place in a chart of the design height, moved up or down with the chart's middle
// otherwise, so that a short chart still shows Stop; in a chart narrower than the captions
// their font gets smaller (down to 8 pixels) until they fit.
class TScanningPlacer : public QObject {
 public:
  TScanningPlacer(QWidget* chart, TAnchorLayout* layout, QLabel* standBy, QLabel* scanned, QLabel* count, QPushButton* stop)
      : QObject(chart), Chart(chart), Layout(layout), StandBy(standBy), Scanned(scanned), Count(count), Stop(stop),
        StopDesign(stop->geometry()) {
    chart->installEventFilter(this);
    Place();
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    // Runs before the layout's own filter (installed earlier), which then applies what is set here.
    if (watched == Chart && event->type() == QEvent::Resize) Place();
    return QObject::eventFilter(watched, event);
  }

 private:
  static constexpr int DesignHeight = 314;
  static constexpr double BlockMiddle = (144 + 233) / 2.0;

  void Place() {
    QFont font = StandBy->font();
    for (int px = 24; px >= 8; --px) {
      font.setPixelSize(px);
      const QFontMetrics metrics(font);
      const int widest = std::max(metrics.horizontalAdvance(StandBy->text()), metrics.horizontalAdvance(Scanned->text()));
      if (38 + widest + 4 <= Chart->width()) break;
    }
    for (QLabel* label : {StandBy, Scanned, Count})
      if (label->font().pixelSize() != font.pixelSize()) label->setFont(font);
    const int shift = static_cast<int>(std::lround((Chart->height() - DesignHeight) * BlockMiddle / DesignHeight));
    // The count follows its caption, at 230 when there is room.
    const int afterCaption = 38 + Scanned->sizeHint().width() + 8;
    const int countLeft = std::max(afterCaption, std::min(230, Chart->width() - Count->sizeHint().width() - 4));
    Layout->Add(StandBy, QRect(QPoint(38, 144 + shift), StandBy->sizeHint()), akLeftTop);
    Layout->Add(Scanned, QRect(QPoint(38, 176 + shift), Scanned->sizeHint()), akLeftTop);
    Layout->Add(Count, QRect(QPoint(countLeft, 176 + shift), Count->sizeHint()), akLeftTop);
    Layout->Add(Stop, StopDesign.translated(0, shift), akLeftTop);
  }

  QWidget* Chart;
  TAnchorLayout* Layout;
  QLabel* StandBy;
  QLabel* Scanned;
  QLabel* Count;
  QPushButton* Stop;
  QRect StopDesign;
};

}  // namespace

void TForm1::CreateControls() {
  const QSize clientSize(DesignClientWidth, DesignClientHeight - StatusBarHeight);
  auto* client = new QWidget(this);
  Named(client, "ClientArea");
  client->resize(clientSize);
  // The design's 11-pixel font in the system's face, whatever the desktop's font size; the
  // menus and the status bar keep the desktop's own font.
  QFont formFont = client->font();
  formFont.setPixelSize(11);
  client->setFont(formFont);
  setCentralWidget(client);
  auto* layout = new TAnchorLayout(client, clientSize);

  // The tree and the chart share their row; the user drags the line between them. Growing
  // the window widens the chart, as its anchors say, while the tree keeps its width.
  Splitter1 = new QSplitter(Qt::Horizontal, client);
  Named(Splitter1, "Splitter1");
  Splitter1->setChildrenCollapsible(false);
  Splitter1->setHandleWidth(216 - (8 + 201));
  layout->Add(Splitter1, QRect(8, 8, 658, 314), akAll);

  // Above the tree, the name to look for; the tree fills the rest of its side.
  PanelTree = new QWidget(Splitter1);
  Named(PanelTree, "PanelTree");
  auto* treeSide = new QVBoxLayout(PanelTree);
  treeSide->setContentsMargins(0, 0, 0, 0);
  treeSide->setSpacing(3);
  EditFind = new QLineEdit(PanelTree);
  Named(EditFind, "EditFind");
  EditFind->setPlaceholderText(QStringLiteral("Find a name (Ctrl+F)"));
  EditFind->setClearButtonEnabled(true);
  treeSide->addWidget(EditFind);
  TreeViewDirectories = new QTreeWidget(PanelTree);
  treeSide->addWidget(TreeViewDirectories, 1);
  Named(TreeViewDirectories, "TreeViewDirectories");
  TreeViewDirectories->setColumnCount(TreeColumns);
  TreeViewDirectories->setHeaderLabels(TreeColumnTitles());
  TreeViewDirectories->setItemDelegateForColumn(ColumnName, new TNameDelegate(TreeViewDirectories));
  TreeViewDirectories->setItemDelegateForColumn(ColumnShare, new TShareDelegate(TreeViewDirectories));
  TreeViewDirectories->setTextElideMode(Qt::ElideMiddle);
  TreeViewDirectories->setIndentation(19);
  TreeViewDirectories->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Sorted by a header click (SetUpTree), not by the view: its own sorting would re-sort on
  // every insertion and walk every folder by recursion.
  TreeViewDirectories->header()->setSectionsClickable(true);
  TreeViewDirectories->header()->setSortIndicatorShown(true);
  TreeViewDirectories->header()->setSortIndicator(ColumnName, Qt::AscendingOrder);
  // Figures are looked at largest first.
  for (int column = ColumnSize; column < TreeColumns; ++column)
    TreeViewDirectories->headerItem()->setData(column, Qt::InitialSortOrderRole, Qt::DescendingOrder);
  {
    // The selection stays as visible when the tree loses the focus.
    QPalette pal = TreeViewDirectories->palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    TreeViewDirectories->setPalette(pal);
  }
  // The names as wide as the widest in view: deep or long names scroll sideways instead of
  // being cut at the view's edge. The figures' columns fit their widest text.
  TreeViewDirectories->header()->setStretchLastSection(false);
  TreeViewDirectories->header()->setSectionResizeMode(ColumnName, QHeaderView::ResizeToContents);
  {
    const QFontMetrics metrics(formFont);
    const int pad = 2 * metrics.averageCharWidth();
    const char* widest[] = {"", "1023.9 MB", "100.0 %", "88,888,888", "8888-88-88 88:88"};
    for (int column = ColumnSize; column < TreeColumns; ++column)
      TreeViewDirectories->setColumnWidth(column, metrics.horizontalAdvance(QString::fromLatin1(widest[column])) + pad);
  }
  TreeViewDirectories->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  // The chart above the files of the folder charted; the user drags the line between them.
  Splitter2 = new QSplitter(Qt::Vertical, Splitter1);
  Named(Splitter2, "Splitter2");
  Splitter2->setChildrenCollapsible(false);
  Splitter2->setHandleWidth(Splitter1->handleWidth());
  CreateChart(Splitter2);
  FilesList = new TFilesList(Splitter2);
  Named(FilesList, "FilesList");
  FilesList->setFont(formFont);
  // The chart keeps the height its controls need; the list gives way to it, down to nothing
  // in the smallest window.
  ChartPie->setMinimumHeight(ChartMinimumHeight);
  Splitter2->setCollapsible(1, true);
  Splitter2->setStretchFactor(0, 1);
  Splitter2->setStretchFactor(1, 0);
  Splitter2->setSizes({ChartMinimumHeight, 314 - ChartMinimumHeight - Splitter2->handleWidth()});
  // The tree is wide enough for a name and its size; a larger window widens both sides.
  Splitter1->setStretchFactor(0, 1);
  Splitter1->setStretchFactor(1, 2);
  Splitter1->setSizes({TreeDesignWidth, 651 - TreeDesignWidth});
  // Laid out now, not at the first showing: the window's code finds its tree at its size.
  PanelTree->layout()->activate();

  RadioGroupChartType = new TRadioGroup(QStringLiteral("Chart Type"),
                                        {QStringLiteral("Pie"), QStringLiteral("Horiz Bar"),
                                         QStringLiteral("Vert Bar"), QStringLiteral("Treemap")},
                                        client);
  Named(RadioGroupChartType, "RadioGroupChartType");
  // Four rows need more than the hint panel's height: the box reaches up to the splitter.
  layout->Add(RadioGroupChartType, QRect(575, 323, 97, 73), akRight | akBottom);

  CreateHintPanel(client, layout);

  StatusBar1 = new TStatusBar({200, 80, 50, 300}, this);
  Named(StatusBar1, "StatusBar1");
  // The design's 19 pixels at least, taller when the desktop's font needs it: text that
  // is cut at the bottom loses its underscores.
  StatusBar1->setMinimumHeight(StatusBarHeight);
  setStatusBar(StatusBar1);

  TimerLoad = new QTimer(this);
  Named(TimerLoad, "TimerLoad");
  TimerLoad->setInterval(100);
  TimerUpdate = new QTimer(this);
  Named(TimerUpdate, "TimerUpdate");
  TimerUpdate->setInterval(100);

  // The window opens at its design size, or as large as the screen allows; it may shrink to
  // MinimumWindowSize (a small screen, or a large scale factor, sets a lower limit).
  const QSize design(DesignClientWidth, Menu.MainMenu1->sizeHint().height() + clientSize.height() +
                                            std::max(StatusBarHeight, StatusBar1->sizeHint().height()));
  const QSize room = screen()->availableGeometry().size();
  setMinimumSize(QSize(MinimumWindowWidth, MinimumWindowHeight).boundedTo(room));
  resize(design.boundedTo(room));

  // Left to right, top to bottom: the search, the tree, the chart's top row, the chart, its
  // bottom row, the files, the chart type.
  QWidget* order[] = {EditFind, TreeViewDirectories, ButtonHelp, ButtonEndComparison, ButtonUp, ChartPie, Treemap,
                      ButtonStop, ButtonExplore, ButtonCopy, FilesList->CheckAllBelow, FilesList->ListFiles,
                      RadioGroupChartType->Button(0), RadioGroupChartType->Button(1), RadioGroupChartType->Button(2),
                      RadioGroupChartType->Button(3)};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
  // Keys go to the tree at first, as before the find field was above it.
  TreeViewDirectories->setFocus();
}

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (FrameFitted) return;
  FrameFitted = true;
  // The status bar's height is final only now: the client area gets its design height back.
  layout()->activate();
  const int client = DesignClientHeight - StatusBarHeight;
  const QSize design = size() + QSize(0, client - centralWidget()->height());
  // The window manager's frame is known only now too; the frame must fit the screen as well.
  const QSize room = screen()->availableGeometry().size() - (frameGeometry().size() - size());
  setMinimumSize(QSize(MinimumWindowWidth, MinimumWindowHeight).boundedTo(room));
  resize(design.boundedTo(room));
}

void TForm1::CreateChart(QSplitter* splitter) {
  ChartPie = new TChartView(splitter);
  Named(ChartPie, "ChartPie");
  ChartPie->resize(450, 314);
  // Reached by Tab; a click on a slice is no reason to frame the chart.
  ChartPie->setFocusPolicy(Qt::TabFocus);

  const QSize chartSize(450, 314);
  auto* onChart = new TAnchorLayout(ChartPie, chartSize);

  // The scanning look keeps its place in the chart's height, so that a short window still
  // shows Stop.
  LabelStandBy = MakeBigLabel(ChartPie, "LabelStandBy", "Standby, Loading Directories");
  onChart->Add(LabelStandBy, QRect(QPoint(38, 144), LabelStandBy->size()), akLeft);
  LabelScanned = MakeBigLabel(ChartPie, "LabelScanned", "Folders Scanned:");
  onChart->Add(LabelScanned, QRect(QPoint(38, 176), LabelScanned->size()), akLeft);
  LabelCount = MakeBigLabel(ChartPie, "LabelCount", "(None)");
  // The count follows the caption; a system font wider than the design's pushes it right.
  const int countLeft = std::max(230, 38 + LabelScanned->width() + 8);
  onChart->Add(LabelCount, QRect(QPoint(countLeft, 176), LabelCount->size()), akLeft);

  ButtonStop = MakeButton(ChartPie, "ButtonStop", "S&top", nullptr, onChart, QRect(40, 208, 75, 25), akLeft);
  new TScanningPlacer(ChartPie, onChart, LabelStandBy, LabelScanned, LabelCount, ButtonStop);
  ButtonUp = MakeButton(ChartPie, "ButtonUp", "&Up", "Go up to parent directory", onChart,
                        QRect(418, 0, 32, 21), akTop | akRight);
  ButtonHelp = MakeButton(ChartPie, "ButtonHelp", "He&lp", "help!", onChart, QRect(0, 0, 33, 21), akLeftTop);
  ButtonExplore = MakeButton(ChartPie, "ButtonExplore", "&Explore-Dir",
                             "Open an explorer window in the current directory", onChart,
                             QRect(0, 293, 65, 21), akLeft | akBottom);
  ButtonCopy = MakeButton(ChartPie, "ButtonCopy", "&Copy-Dir", "Copy the current directory to the clipboard",
                          onChart, QRect(385, 293, 65, 21), akRight | akBottom);

  // Between Help and Up, where the chart draws nothing.
  PanelCompare = new QFrame(ChartPie);
  Named(PanelCompare, "PanelCompare");
  auto* line = new QHBoxLayout(PanelCompare);
  line->setContentsMargins(4, 0, 0, 0);
  LabelCompare = new QLabel(PanelCompare);
  Named(LabelCompare, "LabelCompare");
  ButtonEndComparison = new QPushButton(QStringLiteral("End Comparison"), PanelCompare);
  Named(ButtonEndComparison, "ButtonEndComparison");
  line->addWidget(LabelCompare, 1);
  line->addWidget(ButtonEndComparison);
  onChart->Add(PanelCompare, QRect(36, 0, 378, 21), akLeft | akRight | akTop);
  PanelCompare->hide();

  // Between Explore-Dir and Copy-Dir, as wide as their captions leave room for.
  LabelLost = new TElidedLabel(ChartPie);
  Named(LabelLost, "LabelLost");
  {
    QPalette pal = LabelLost->palette();
    pal.setColor(QPalette::WindowText, QColor(0x00, 0x80, 0x20));  // the tree's colour for shrunk
    LabelLost->setPalette(pal);
  }
  LabelLost->setAlignment(Qt::AlignCenter);
  const int lostLeft = ButtonExplore->geometry().right() + 1 + 4;
  const int lostRight = ButtonCopy->geometry().left() - 4;
  onChart->Add(LabelLost, QRect(lostLeft, 293, std::max(0, lostRight - lostLeft), 21), akLeft | akRight | akBottom);
  LabelLost->hide();

  LabelNoGrowth = new QLabel(ChartPie);
  Named(LabelNoGrowth, "LabelNoGrowth");
  LabelNoGrowth->setTextFormat(Qt::PlainText);
  LabelNoGrowth->setAlignment(Qt::AlignCenter);
  LabelNoGrowth->setWordWrap(true);
  {
    QFont larger = LabelNoGrowth->font();
    larger.setPixelSize(16);
    LabelNoGrowth->setFont(larger);
  }
  // A click passes through to the chart below, as on an empty chart.
  LabelNoGrowth->setAttribute(Qt::WA_TransparentForMouseEvents);
  onChart->Add(LabelNoGrowth, QRect(24, 32, 402, 250), akAll);
  LabelNoGrowth->hide();
  CreateTreemap();
}

void TForm1::CreateHintPanel(QWidget* client, TAnchorLayout* layout) {
  Panel1 = new QFrame(client);
  Named(Panel1, "Panel1");
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel1->setAutoFillBackground(true);
  {
    QPalette pal = Panel1->palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::ToolTipBase));
    pal.setColor(QPalette::WindowText, pal.color(QPalette::ToolTipText));
    Panel1->setPalette(pal);
  }
  layout->Add(Panel1, QRect(8, 330, 560, 65), akLeft | akRight | akBottom);

  // The labels narrow with the panel in a small window; their text then wraps or gets smaller.
  auto* inPanel = new TAnchorLayout(Panel1, QSize(560, 65));
  HtmlLabel1 = new THtmlLabel(Panel1);
  Named(HtmlLabel1, "HtmlLabel1");
  inPanel->Add(HtmlLabel1, QRect(8, 8, 513, 33), akLeft | akTop | akRight);
  HtmlLabel1->SetWordWrap1(1);
  HtmlLabel1->SetCaption(QString::fromLatin1(HintCaption));
  new TFitOnResize(HtmlLabel1, 2);

  HtmlLabel2 = new THtmlLabel(Panel1);
  Named(HtmlLabel2, "HtmlLabel2");
  inPanel->Add(HtmlLabel2, QRect(8, 40, 513, 13), akLeft | akTop | akRight);
  HtmlLabel2->setCursor(Qt::PointingHandCursor);
  HtmlLabel2->SetCaption(QStringLiteral("Visit <blue><u>") + QString::fromLatin1(MakerHomePage) +
                         QStringLiteral("</blue></u> for more shareware and freeware programs!"));
  new TFitOnResize(HtmlLabel2, 1);
}

}  // namespace ostrel
