// The main window's controls: names, design geometry, anchored resizing, captions and hints,
// menus, status bar, the hint panel, and what the manual says of them. (The idle and scanning
// looks are the scan tests'.)
#include <QChartView>
#include <QFontInfo>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>

#include "mainwin/anchors.h"
#include "mainwin_support.h"

using namespace ostrel;

namespace {

// How exactly a control must sit at its place.
enum TFit {
  fExact,
  fLabel,   // sizes itself to its text: only the top-left corner is fixed
  fAfter,   // a label that may sit further right, after its caption, when the font is wide
  fGrows,   // a button that may be wider than designed, away from its anchored edges
};

struct TPlace {
  const char* Name;
  const char* Parent;
  QRect Design;
  QRect Resized;  // after the client area grew by 100 × 50
  TFit Fit;
};

const TPlace Places[] = {
    {"Splitter1", "ClientArea", {8, 8, 658, 314}, {8, 8, 758, 364}, fExact},
    // In the splitter, which gives the tree two fifths of the growth and the chart the rest.
    {"Splitter2", "Splitter1", {267, 0, 391, 314}, {307, 0, 451, 364}, fExact},
    {"PanelTree", "Splitter1", {0, 0, 260, 314}, {0, 0, 300, 364}, fExact},
    // The chart takes the growth; the files below it keep their height.
    {"ChartPie", "Splitter2", {0, 0, 391, 200}, {0, 0, 451, 250}, fExact},
    {"FilesList", "Splitter2", {0, 207, 391, 107}, {0, 257, 451, 107}, fExact},
    {"EditFind", "PanelTree", {0, 0, 260, 22}, {0, 0, 300, 22}, fExact},
    {"TreeViewDirectories", "PanelTree", {0, 25, 260, 289}, {0, 25, 300, 339}, fExact},
    {"RadioGroupChartType", "ClientArea", {575, 323, 97, 73}, {675, 373, 97, 73}, fExact},
    {"Panel1", "ClientArea", {8, 330, 560, 65}, {8, 380, 660, 65}, fExact},
    {"HtmlLabel1", "Panel1", {8, 8, 513, 33}, {8, 8, 613, 33}, fExact},
    {"HtmlLabel2", "Panel1", {8, 40, 513, 13}, {8, 40, 613, 13}, fExact},
    // The scanning look moves as one block with the chart's middle.
    {"LabelStandBy", "ChartPie", {38, 76, 0, 0}, {38, 106, 0, 0}, fLabel},
    {"LabelScanned", "ChartPie", {38, 108, 0, 0}, {38, 138, 0, 0}, fLabel},
    {"LabelCount", "ChartPie", {230, 108, 0, 0}, {230, 138, 0, 0}, fAfter},
    {"ButtonStop", "ChartPie", {40, 140, 75, 25}, {40, 170, 75, 25}, fGrows},
    {"ButtonUp", "ChartPie", {359, 0, 32, 21}, {419, 0, 32, 21}, fGrows},
    {"ButtonHelp", "ChartPie", {0, 0, 33, 21}, {0, 0, 33, 21}, fGrows},
    {"ButtonExplore", "ChartPie", {0, 179, 65, 21}, {0, 229, 65, 21}, fGrows},
    {"ButtonCopy", "ChartPie", {326, 179, 65, 21}, {386, 229, 65, 21}, fGrows},
};

void ComparePlace(QWidget* w, const QRect& expected, TFit fit) {
  const QRect g = w->geometry();
  switch (fit) {
    case fExact:
      QCOMPARE(g, expected);
      break;
    case fLabel:
      QCOMPARE(g.topLeft(), expected.topLeft());
      QVERIFY(!g.isEmpty());
      break;
    case fAfter:
      QCOMPARE(g.y(), expected.y());
      QVERIFY2(g.x() >= expected.x(), qPrintable(QString::number(g.x())));
      QVERIFY(!g.isEmpty());
      break;
    case fGrows:
      // A button anchored right keeps its right edge; every other one its left edge.
      QCOMPARE(g.y(), expected.y());
      QCOMPARE(g.height(), expected.height());
      QVERIFY(g.width() >= expected.width());
      if (g.width() == expected.width() || expected.x() > 300)
        QCOMPARE(g.right(), expected.right());
      else
        QCOMPARE(g.left(), expected.left());
      break;
  }
}

}  // namespace

class TestFmainLayout : public test::TFormTest {
  Q_OBJECT

 private slots:
  void init() {
    StartCase();
    OpenWindow().show();
    QVERIFY(QTest::qWaitForWindowExposed(Form.get()));
  }

  void cleanup() { EndCase(); }

  void anchoredRect_data() {
    QTest::addColumn<QRect>("design");
    QTest::addColumn<uint>("anchors");
    QTest::addColumn<QSize>("parent");
    QTest::addColumn<QRect>("expected");
    // Design parent 100 × 50 throughout.
    QTest::newRow("right moves") << QRect(70, 5, 20, 10) << uint(akRight | akTop) << QSize(130, 50) << QRect(100, 5, 20, 10);
    QTest::newRow("left+right stretches") << QRect(10, 5, 20, 10) << uint(akLeft | akRight | akTop) << QSize(130, 50) << QRect(10, 5, 50, 10);
    QTest::newRow("all four") << QRect(10, 5, 80, 40) << uint(akAll) << QSize(150, 60) << QRect(10, 5, 130, 50);
    QTest::newRow("shrunk below zero") << QRect(10, 5, 20, 10) << uint(akAll) << QSize(20, 10) << QRect(10, 5, 0, 0);
    QTest::newRow("unanchored keeps centre") << QRect(40, 20, 20, 10) << uint(0) << QSize(200, 100) << QRect(90, 45, 20, 10);
  }
  void anchoredRect() {
    QFETCH(QRect, design);
    QFETCH(uint, anchors);
    QFETCH(QSize, parent);
    QFETCH(QRect, expected);
    QCOMPARE(AnchoredRect(design, QSize(100, 50), parent, anchors), expected);
  }

  void geometryAndAnchors() {
    const QSize design = Form->size();
    // At the design size, grown by 100 x 50, and back, where the design geometry returns exactly.
    for (const QSize size : {design, design + QSize(100, 50), design}) {
      Form->resize(size);
      QTRY_COMPARE(Form->centralWidget()->size(), QSize(674, 400) + size - design);
      for (const TPlace& place : Places) {
        auto* w = Form->findChild<QWidget*>(QString::fromLatin1(place.Name));
        QVERIFY2(w, place.Name);
        QCOMPARE(w->parentWidget()->objectName(), QString::fromLatin1(place.Parent));
        ComparePlace(w, size == design ? place.Design : place.Resized, place.Fit);
        if (QTest::currentTestFailed()) QFAIL(place.Name);
      }
    }
  }

  void clientAreaAndStatusBar() {
    const int menuHeight = V().MainMenu1->height();
    QVERIFY(menuHeight > 0);
    QCOMPARE(Form->centralWidget()->geometry(), QRect(0, menuHeight, 674, 400));
    TStatusBar* bar = V().StatusBar1;
    QCOMPARE(bar->geometry().topLeft(), QPoint(0, menuHeight + 400));
    QCOMPARE(bar->width(), 674);
    QVERIFY(bar->height() >= 19);
    QCOMPARE(Form->windowTitle(), QStringLiteral("Ostrel Free Disk Space Finder"));

    // Four panels from the left, at least 200, 80 and 50 wide, then the rest; each of the first
    // three shows its whole text, underscores and all, as plain text.
    QCOMPARE(bar->PanelCount(), 4);
    const int widths[] = {200, 80, 50};
    QVERIFY2(bar->Panel(3)->width() >= 250, qPrintable(QString::number(bar->Panel(3)->width())));
    QVERIFY(bar->Panel(3)->geometry().right() < bar->width());
    for (int i = 0; i < 4; ++i) {
      if (i < 3) QCOMPARE(bar->Panel(i)->width(), widths[i]);
      QVERIFY(bar->Panel(i)->isVisible());
      if (i > 0) QVERIFY(bar->Panel(i)->x() > bar->Panel(i - 1)->geometry().right());
    }
    const QString texts[] = {QStringLiteral("a_folder_name_of_forty_characters_long__"), QStringLiteral("563200.0 MB"),
                             QStringLiteral("<b>9999.9</b> MB")};
    for (int i = 0; i < 3; ++i) bar->SetPanelText(i, texts[i]);
    bar->SetPanelText(4, QStringLiteral("ignored"));
    QCOMPARE(bar->PanelText(4), QString());
    for (int i = 0; i < 3; ++i) {
      QLabel* panel = bar->Panel(i);
      const QFontMetrics metrics(panel->font());
      QTRY_VERIFY2(panel->contentsRect().width() >= metrics.horizontalAdvance(texts[i]), qPrintable(texts[i]));
      QVERIFY(panel->contentsRect().height() >= metrics.height());
      QVERIFY(panel->geometry().bottom() < bar->height());
    }
    QCOMPARE(bar->Panel(2)->textFormat(), Qt::PlainText);  // "<b>" is a name's text
  }

  void minimumSizeFitsTheScreen() {
    // Run at 1x and, by a second ctest entry, at 2x where the design is larger than the screen.
    const QSize available = Form->screen()->availableGeometry().size();
    const QSize design(674, V().MainMenu1->height() + 400 + V().StatusBar1->height());
    const QSize frame = Form->frameGeometry().size() - Form->size();
    // It opens at its design size, as the screen allows, and shrinks to 560 x 360 (or the screen).
    QCOMPARE(Form->size(), design.boundedTo(available - frame));
    QCOMPARE(Form->minimumSize(), QSize(560, 360).boundedTo(available - frame));
    QVERIFY(Form->frameGeometry().width() <= available.width());
    QVERIFY(Form->frameGeometry().height() <= available.height());
    Form->resize(100, 100);
    QTRY_COMPARE(Form->size(), Form->minimumSize());
    QCoreApplication::processEvents();

    // So small, every control is still whole and in its place: nothing on the chart overlaps,
    // the hint panel and the chart type lie side by side, the hint's text stays in its labels.
    for (QWidget* w : QWidgetList{V().LabelStandBy, V().LabelScanned, V().LabelCount, V().ButtonStop}) w->show();
    const QWidgetList onChart{V().ButtonHelp, V().ButtonUp, V().ButtonExplore, V().ButtonCopy,
                              V().LabelStandBy, V().LabelScanned, V().LabelCount, V().ButtonStop};
    for (qsizetype i = 0; i < onChart.size(); ++i) {
      QVERIFY2(V().ChartPie->rect().contains(onChart[i]->geometry()), qPrintable(onChart[i]->objectName()));
      for (qsizetype j = 0; j < i; ++j)
        QVERIFY2(!onChart[i]->geometry().intersects(onChart[j]->geometry()),
                 qPrintable(onChart[i]->objectName() + " / " + onChart[j]->objectName()));
    }
    Form->ShowIdle();
    QVERIFY(V().ChartPie->height() > 100 && V().TreeViewDirectories->width() > 100);
    QVERIFY(V().Panel1->geometry().right() < V().RadioGroupChartType->geometry().left());
    QVERIFY(Form->centralWidget()->rect().contains(V().RadioGroupChartType->geometry()));
    QVERIFY(V().HtmlLabel1->geometry().bottom() <= V().HtmlLabel2->geometry().top());
    QVERIFY(V().Panel1->contentsRect().contains(V().HtmlLabel2->geometry()));
    // (A screen narrower than that, as offscreen at twice the scale, leaves too little room.)
    for (THtmlLabel* label : {V().HtmlLabel1, V().HtmlLabel2}) {
      if (Form->width() < 560) break;
      QSize extent;
      label->GetExtent(&extent);
      for (const THtmlPlacement& p : label->LastPlacements()) {
        if (p.Piece.Kind != THtmlPiece::pkWord) continue;
        QVERIFY2(p.Pen.x() + p.Width <= label->width(), qPrintable(p.Piece.Text));
        QVERIFY2(p.Pen.y() + extent.height() <= std::max(label->height(), extent.height()), qPrintable(p.Piece.Text));
      }
    }
  }

  void tabGoesLeftToRightTopToBottom() {
    QVERIFY(QTest::qWaitForWindowActive(Form.get()));
    V().TreeViewDirectories->setFocus();
    QStringList order;
    for (int i = 0; i < 11; ++i) {
      QWidget* focus = QApplication::focusWidget();
      QVERIFY(focus);
      order << (qobject_cast<QRadioButton*>(focus) ? QStringLiteral("radio ") + static_cast<QRadioButton*>(focus)->text()
                                                   : focus->objectName());
      QTest::keyClick(focus, Qt::Key_Tab);
    }
    QCOMPARE(order, (QStringList{"TreeViewDirectories", "ButtonHelp", "ButtonUp", "ChartPie", "ButtonExplore",
                                 "ButtonCopy", "CheckAllBelow", "ListFiles", "radio Pie", "EditFind",
                                 "TreeViewDirectories"}));
    // The chart shows that it has the focus: a frame in the highlight colour.
    auto edge = [&] { return V().ChartPie->viewport()->grab().toImage().pixelColor(0, V().ChartPie->viewport()->height() / 2); };
    V().ButtonCopy->setFocus(Qt::TabFocusReason);
    const QColor without = edge();
    V().ChartPie->setFocus(Qt::TabFocusReason);
    QCOMPARE(edge(), V().ChartPie->palette().color(QPalette::Highlight));
    QVERIFY(without != edge());
  }

  void splitterDragsTheTreeWider() {
    auto* splitter = Form->findChild<QSplitter*>(QStringLiteral("Splitter1"));
    QSplitterHandle* handle = splitter->handle(1);
    QTreeWidget* tree = V().TreeViewDirectories;
    const QPoint grip = handle->rect().center();
    QTest::mousePress(handle, Qt::LeftButton, {}, grip);
    QTest::mouseMove(handle, grip + QPoint(60, 0));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, grip + QPoint(60, 0));
    QTRY_COMPARE(tree->width(), 320);
    QCOMPARE(V().ChartPie->width(), 331);
    // The controls on the chart keep their anchors.
    QCOMPARE(V().ButtonUp->geometry().right(), 330);
  }

  void captionsHintsAndFonts() {
    struct TText {
      QPushButton* Button;
      const char* Caption;
      const char* Hint;
    };
    const TText texts[] = {
        {V().ButtonStop, "S&top", ""},
        {V().ButtonUp, "&Up", "Go up to parent directory"},
        {V().ButtonHelp, "He&lp", "help!"},
        {V().ButtonExplore, "&Explore-Dir", "Open an explorer window in the current directory"},
        {V().ButtonCopy, "&Copy-Dir", "Copy the current directory to the clipboard"},
    };
    // Every mnemonic of the window's buttons and menus is its own.
    QSet<QString> mnemonics;
    for (QAction* menu : V().MainMenu1->actions()) mnemonics << QKeySequence::mnemonic(menu->text()).toString();
    for (const TText& t : texts) {
      QPushButton* b = t.Button;
      QCOMPARE(b->text(), QString::fromLatin1(t.Caption));
      QCOMPARE(b->toolTip(), QString::fromLatin1(t.Hint));
      mnemonics << b->shortcut().toString();
      // The system's face is wider than the design's: still no caption is clipped.
      const int frame = b->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, b);
      QVERIFY2(b->fontMetrics().horizontalAdvance(b->text().remove('&')) <= b->width() - 2 * frame, t.Caption);
    }
    QCOMPARE(mnemonics.size(), 8);
    QVERIFY(!V().ButtonHelp->geometry().intersects(V().ButtonUp->geometry()));
    QVERIFY(!V().ButtonExplore->geometry().intersects(V().ButtonCopy->geometry()));

    QCOMPARE(V().LabelStandBy->text(), QStringLiteral("Standby, Loading Directories"));
    QCOMPARE(V().LabelScanned->text(), QStringLiteral("Folders Scanned:"));
    QCOMPARE(V().LabelCount->text(), QStringLiteral("(None)"));
    for (QLabel* label : {V().LabelStandBy, V().LabelScanned, V().LabelCount})
      QCOMPARE(QFontInfo(label->font()).pixelSize(), 24);
    // The count never runs into its caption.
    QVERIFY(V().LabelCount->x() > V().LabelScanned->geometry().right());

    // The design's 11-pixel size for the client area; the menus keep the desktop's font.
    for (QWidget* w : QWidgetList{V().TreeViewDirectories, V().ButtonUp, V().RadioGroupChartType, V().HtmlLabel2})
      QCOMPARE(QFontInfo(w->font()).pixelSize(), 11);
    QCOMPARE(V().MainMenu1->font(), QApplication::font(V().MainMenu1));

    TRadioGroup* group = V().RadioGroupChartType;
    QCOMPARE(group->title(), QStringLiteral("Chart Type"));
    QCOMPARE(group->Count(), 4);  // their captions: test_fmain_lifecycle's chartTypeShown
    for (int i = 0; i < group->Count(); ++i) QVERIFY(group->contentsRect().contains(group->Button(i)->geometry()));
  }

  void menus() {
    // Each menu's name and caption, then its items as "name caption" ("name" for a separator).
    const QStringList expected[] = {
        {"File1 &File", "NewScanWizard1 &New Scan Wizard", "OpenScan1 &Open Scan...", "SaveScanAs1 Save Scan &As...",
         "CompareWithEarlierScan1 &Compare with Earlier Scan...", "EndComparison1 &End Comparison", "MoveToTrash1 Move to &Trash",
         "RefreshFolder1 &Refresh Folder", "RefreshAll1 Refresh A&ll", "Find1 &Find...", "N1", "Quit1 &Quit"},
        {"Settings1 &Settings", "Preferences1 &Preferences"},
        {"Help1 &Help", "UsersManual1 &User's Manual", "Checkwebforupdatedversion1 &Check web for updated version",
         "VisitPelworthformoreShareware1 &Visit Pelworth for more Shareware", "N2", "About1 &About"},
    };
    QCOMPARE(Form->menuBar()->objectName(), QStringLiteral("MainMenu1"));
    const QList<QAction*> top = V().MainMenu1->actions();
    QCOMPARE(top.size(), 3);
    for (int m = 0; m < 3; ++m) {
      QMenu* menu = top[m]->menu();
      QStringList seen{menu->objectName() + " " + menu->title()};
      for (QAction* a : menu->actions()) {
        seen << (a->isSeparator() ? a->objectName() : a->objectName() + " " + a->text());
        const QMap<QString, QKeySequence> keys{{"UsersManual1", QKeySequence(Qt::Key_F1)},
                                               {"MoveToTrash1", QKeySequence(Qt::Key_Delete)},
                                               {"RefreshFolder1", QKeySequence(Qt::Key_F5)},
                                               {"RefreshAll1", QKeySequence(Qt::CTRL | Qt::Key_F5)},
                                               {"Find1", QKeySequence(Qt::CTRL | Qt::Key_F)}};
        QCOMPARE(a->shortcut(), keys.value(a->objectName()));
      }
      QCOMPARE(seen, expected[m]);
    }
    QCOMPARE(V().File1, top[0]->menu());
  }

  // The manual's lists against the window: every menu item in its table of menus (and no row
  // more), every key of the window in its table of keys, every status-bar panel in its table.
  void manualNamesWhatTheWindowHas() {
    QFile file(QStringLiteral(QT_TESTCASE_SOURCEDIR "/../../docs/ostrel.html"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString manual = QString::fromUtf8(file.readAll());
    auto part = [&](const QString& start, const QString& end) {
      const qsizetype from = manual.indexOf(start);
      return from < 0 ? QString() : manual.mid(from, manual.indexOf(end, from) - from);
    };
    const QString menus = part(QStringLiteral("<section id=\"menus\">"), QStringLiteral("</table>"));
    const QString keys = part(QStringLiteral("<section id=\"keys\">"), QStringLiteral("</table>"));
    const QString panels = part(QStringLiteral("<table id=\"statusbar\">"), QStringLiteral("</table>"));
    QVERIFY(!menus.isEmpty() && !keys.isEmpty() && !panels.isEmpty());

    int items = 0;
    QStringList shortcuts;
    for (QAction* top : V().MainMenu1->actions()) {
      const QString title = top->menu()->title();
      if (title.contains(QLatin1Char('&'))) shortcuts << QStringLiteral("Alt+") + title.at(title.indexOf(QLatin1Char('&')) + 1).toUpper();
      for (QAction* a : top->menu()->actions()) {
        if (a->isSeparator()) continue;
        ++items;
        const QString caption = QString(a->text()).remove(QLatin1Char('&'));
        QVERIFY2(menus.contains(QStringLiteral("<td>") + caption + QStringLiteral("</td>")), qPrintable(caption));
      }
    }
    QCOMPARE(menus.count(QStringLiteral("<tr>")), items + 1);  // and the heading
    for (QAction* a : Form->findChildren<QAction*>())
      if (!a->shortcut().isEmpty()) shortcuts << a->shortcut().toString(QKeySequence::PortableText);
    for (QShortcut* shortcut : Form->findChildren<QShortcut*>()) shortcuts << shortcut->key().toString(QKeySequence::PortableText);
    for (QPushButton* button : Form->findChildren<QPushButton*>())
      if (const qsizetype at = button->text().indexOf(QLatin1Char('&')); at >= 0)
        shortcuts << QStringLiteral("Alt+") + button->text().at(at + 1).toUpper();
    QVERIFY(shortcuts.contains(QStringLiteral("F1")) && shortcuts.contains(QStringLiteral("Alt+Up")));
    for (const QString& key : shortcuts)
      QVERIFY2(keys.contains(QStringLiteral("<kbd>") + key + QStringLiteral("</kbd>")), qPrintable(key));
    QCOMPARE(panels.count(QStringLiteral("<tr>")), V().StatusBar1->PanelCount() + 1);
  }

  void hintPanel() {
    // Tool-tip colours, inherited by both labels.
    QCOMPARE(V().Panel1->palette().color(QPalette::Window), QApplication::palette().color(QPalette::ToolTipBase));
    QCOMPARE(V().HtmlLabel1->Color(), QApplication::palette().color(QPalette::ToolTipBase));
    QCOMPARE(V().HtmlLabel2->Color(), QApplication::palette().color(QPalette::ToolTipBase));
    QVERIFY(V().Panel1->autoFillBackground());

    // The hint wraps into exactly two lines inside its label; "Hint:" and "<Explore-Dir>" are bold.
    THtmlLabel* hint = V().HtmlLabel1;
    QCOMPARE(hint->WordWrap(), 1);
    QSize extent;
    hint->GetExtent(&extent);
    QStringList bold;
    QSet<int> lines;
    for (const THtmlPlacement& p : hint->LastPlacements()) {
      lines.insert(p.Pen.y());
      QVERIFY(p.Pen.x() + p.Width <= hint->width() || p.Piece.Kind == THtmlPiece::pkSpace);
      QVERIFY(p.Pen.y() + extent.height() <= hint->height());
      if (p.Piece.Bold && p.Piece.Kind == THtmlPiece::pkWord) bold << p.Piece.Text;
    }
    QCOMPARE(lines.size(), 2);
    QCOMPARE(bold, QStringList({"Hint:", "<Explore-Dir>"}));

    // The link: one line, blue and underlined exactly over the address, with a hand cursor.
    THtmlLabel* link = V().HtmlLabel2;
    QCOMPARE(link->GetCaption(), QStringLiteral("Visit <blue><u>https://www.pelworth.example/</blue></u> for "
                                                "more shareware and freeware programs!"));
    QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
    link->GetExtent(&extent);
    QStringList marked;
    for (const THtmlPlacement& p : link->LastPlacements()) {
      QCOMPARE(p.Pen.y(), 0);
      QVERIFY(p.Pen.x() + p.Width <= link->width());
      if (p.Piece.Kind == THtmlPiece::pkWord && p.Piece.Blue && p.Piece.Underline) marked << p.Piece.Text;
    }
    QCOMPARE(marked, QStringList({"https://www.pelworth.example/"}));
  }

};

OSTREL_MAINWIN_TEST_MAIN(TestFmainLayout, ostrel::TApplication)
#include "test_fmain_layout.moc"
