// Writes pictures of the markup label into the folder given as the first argument
// ("screenshots" when none is given), for people to look at: the main window's hint panel at
// its design size, and again with the labels as high as this font needs. Exits with 1 when a
// picture could not be written.
#include <QApplication>
#include <QFontMetrics>

#include <cstdio>

#include "controls/htmllabel.h"
#include "docs/shots/screenshot.h"

using namespace ostrel;

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");

  QWidget panel;
  panel.resize(560, 65);
  panel.setAutoFillBackground(true);
  panel.setBackgroundRole(QPalette::ToolTipBase);
  THtmlLabel hint(&panel);
  hint.setGeometry(8, 8, 513, 33);
  hint.SetWordWrap1(1);
  hint.SetCaption(QStringLiteral(
      "<b>Hint:</b> Click any item in the tree (or any slice/bar in the chart) to see a breakdown "
      "of that directory. Hover the mouse over the chart to see details in the status bar below. "
      "<b><Explore-Dir></b> will open an explorer window."));
  THtmlLabel link(&panel);
  link.setGeometry(8, 40, 513, 13);
  link.setCursor(Qt::PointingHandCursor);
  link.SetCaption(QStringLiteral(
      "Visit <blue><u>https://www.pelworth.example/</blue></u> for more shareware and freeware programs!"));
  panel.show();

  bool saved = test::SaveScreenshot(hint, folder, QStringLiteral("htmllabel1")) &&
               test::SaveScreenshot(link, folder, QStringLiteral("htmllabel2")) &&
               test::SaveScreenshot(panel, folder, QStringLiteral("htmlpanel"));

  int lastY = 0;
  for (const auto& placed : hint.LastPlacements()) lastY = std::max(lastY, placed.Pen.y());
  const int line = QFontMetrics(hint.font(), &hint).height();
  hint.resize(hint.width(), lastY + line);
  link.setGeometry(8, 8 + lastY + line, link.width(), QFontMetrics(link.font(), &link).height());
  panel.resize(panel.width(), std::max(panel.height(), link.geometry().bottom() + 2));
  saved = saved && test::SaveScreenshot(panel, folder, QStringLiteral("htmlpanel-fitted"));
  if (!saved) std::fprintf(stderr, "cannot write the pictures into %s\n", qPrintable(folder));
  return saved ? 0 : 1;
}
