// The about box: its texts, its six links (recorded, never opened), and how it closes.
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "dialogs/fabout.h"
#include "docs/viewdoc.h"
#include "tests/support/fakedesktop.h"

using namespace ostrel;

class TestFormAbout : public QObject {
  Q_OBJECT

 private slots:
  void showsTheTextsAndEveryLinkOpensItsOwnPage() {
    test::TFakeDesktop desktop;
    TFormAbout about(desktop, nullptr);
    about.show();
    QCOMPARE(about.windowTitle(), QString("About Ostrel"));
    QCOMPARE(about.LabelProgName->text(), QString("Ostrel Free Disk Space Finder"));
    QCOMPARE(about.LabelVersion->text(), QString("version 1.3"));
    QVERIFY(about.Label1->text().endsWith("shareware offerings there. "));
    for (QLabel* link : {about.LabelUrl, about.Label6, about.Label2, about.Label4, about.Label3, about.Label5}) {
      QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
      QVERIFY(link->font().underline());
      QTest::mouseClick(link, Qt::LeftButton);
    }
    QTest::mouseClick(about.LabelVersion, Qt::LeftButton);  // plain labels are no links
    QStringList opened;
    for (const QUrl& url : desktop.Opened) opened << url.toString();
    QCOMPARE(opened.size(), 6);
    QCOMPARE(opened.first(), about.LabelUrl->text());
    QCOMPARE(opened.removeDuplicates(), 0);
    for (const QString& url : opened) QVERIFY2(url.startsWith("https://www.pelworth.example/"), qPrintable(url));
    QVERIFY(about.isVisible());
    for (QLabel* label : about.findChildren<QLabel*>())
      QVERIFY2(label->wordWrap() ? label->heightForWidth(label->width()) <= label->height()
                                 : label->sizeHint().width() <= label->width() && label->sizeHint().height() <= label->height(),
               qPrintable(label->objectName()));
  }

  void okAndEnterCloseItEscapeDoesNot() {
    for (bool enter : {false, true}) {
      test::TFakeDesktop desktop;
      TFormAbout about(desktop, nullptr);
      about.show();
      QTest::keyClick(&about, Qt::Key_Escape);
      QVERIFY(about.isVisible());
      enter ? QTest::keyClick(&about, Qt::Key_Return) : QTest::mouseClick(about.ButtonOk, Qt::LeftButton);
      QCOMPARE(about.result(), ModalOk);
    }
  }
};

QTEST_MAIN(TestFormAbout)
#include "test_fabout.moc"
