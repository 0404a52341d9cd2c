// The about box: its texts, its six links (recorded, never opened), and how it closes.
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "dialogs/fabout.h"
#include "docs/viewdoc.h"
#include "tests/dialogs/screenshot.h"

using namespace ostrel;

class TestFormAbout : public QObject {
  Q_OBJECT

 private:
  QStringList Opened;

 private slots:
  void init() {
    Opened.clear();
    SetShellOpenHook([this](const QUrl& url) { Opened << url.toString(); });
  }
  void cleanup() { SetShellOpenHook({}); }

  void showsTheProgramsTexts() {
    TFormAbout about(nullptr);
    QCOMPARE(about.windowTitle(), QString("About Ostrel"));
    QCOMPARE(about.LabelProgName->text(), QString("Ostrel Free Disk Space Finder"));
    QCOMPARE(about.LabelVersion->text(), QString("version 1.3"));
    QVERIFY(about.LabelCopyright->text().startsWith("Copyright"));
    QCOMPARE(about.LabelUrl->text(), QString("https://www.pelworth.example/ostrel/"));
    QVERIFY(about.Label1->text().endsWith("shareware offerings there. "));
  }

  void everyLinkOpensItsPageUnderTheReservedDomainAndKeepsTheDialogOpen() {
    TFormAbout about(nullptr);
    about.show();
    QLabel* links[] = {about.LabelUrl, about.Label6, about.Label2, about.Label4, about.Label3, about.Label5};
    for (QLabel* link : links) {
      QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
      QVERIFY(link->font().underline());
      QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
      QTest::mouseClick(link, Qt::LeftButton);
    }
    QCOMPARE(Opened.size(), 6);
    QCOMPARE(Opened.first(), about.LabelUrl->text());
    QCOMPARE(Opened.removeDuplicates(), 0);
    for (const QString& url : Opened) QVERIFY2(url.startsWith("https://www.pelworth.example/"), qPrintable(url));
    QVERIFY(about.isVisible());
    // Plain labels are no links.
    QTest::mouseClick(about.LabelVersion, Qt::LeftButton);
    QTest::mouseClick(about.Label1, Qt::LeftButton);
    QCOMPARE(Opened.size(), 6);
  }

  void okEnterAndClose_data() {
    QTest::addColumn<int>("how");
    QTest::addColumn<int>("expected");
    QTest::newRow("Ok") << 0 << ModalOk;
    QTest::newRow("Enter") << 1 << ModalOk;
    QTest::newRow("close") << 2 << ModalCancel;
  }
  void okEnterAndClose() {
    QFETCH(int, how);
    QFETCH(int, expected);
    TFormAbout about(nullptr);
    about.show();
    QTest::keyClick(&about, Qt::Key_Escape);  // no cancel button: stays open
    QVERIFY(about.isVisible());
    if (how == 0) QTest::mouseClick(about.ButtonOk, Qt::LeftButton);
    if (how == 1) QTest::keyClick(&about, Qt::Key_Return);
    if (how == 2) about.close();
    QCOMPARE(about.result(), expected);
  }

  void looksRight() {
    TFormAbout about(nullptr);
    about.show();
    for (QLabel* label : about.findChildren<QLabel*>()) {
      if (label->wordWrap()) {
        QVERIFY(label->heightForWidth(label->width()) <= label->height());
      } else {
        QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(label->objectName()));
        QVERIFY2(label->fontMetrics().height() <= label->height(), qPrintable(label->objectName()));
      }
    }
    QVERIFY(test::SaveScreenshot(about, "fabout"));
  }
};

QTEST_MAIN(TestFormAbout)
#include "test_fabout.moc"
