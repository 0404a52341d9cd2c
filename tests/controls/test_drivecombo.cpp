// The drive box: which drive holds a path, which drives are offered, and when it reports a change.
#include <QSignalSpy>
#include <QtTest>

#include "controls/drivecombo.h"

using namespace ostrel;

class TestDriveCombo : public QObject {
  Q_OBJECT

 private slots:
  void rootHolding() {
    const std::vector<std::string> roots{"/", "/home", "/mnt/net share", "/home/ann/media"};
    const std::pair<const char*, int> cases[] = {
        {"/", 0}, {"/home", 1}, {"/homework", 0}, {"/home/ann/media/pics", 3}, {"home/ann", -1}};
    for (const auto& [path, expected] : cases) QCOMPARE(RootHolding(roots, path), expected);
  }

  void offersRealDrivesAndReportsOnlyChanges() {
    TDriveComboBox box(nullptr, [] {
      return std::vector<TDrive>{{"/", DriveFixed, false},
                                 {"/proc", DriveNoRoot, false},
                                 {"/home", DriveFixed, false},
                                 {"/media/fd0", DriveRemovable, true}};
    });
    QCOMPARE(box.count(), 3);
    QCOMPARE(box.itemText(1), QString("/home  (fixed)"));
    QCOMPARE(box.itemText(2), QString("/media/fd0  (floppy)"));

    QSignalSpy changes(&box, &TDriveComboBox::DriveChanged);
    QVERIFY(box.SetDrive("/home/ann/docs"));
    QVERIFY(box.SetDrive("/home"));
    QVERIFY(!box.SetDrive("relative"));
    QCOMPARE(box.Drive(), std::string("/home"));
    QCOMPARE(changes.count(), 1);

    box.SetDrives({{"/", DriveFixed, false}, {"/home", DriveFixed, false}});  // refilling is silent
    QCOMPARE(box.Drive(), std::string("/home"));
    QCOMPARE(changes.count(), 1);
    box.show();
    QTest::keyClick(&box, Qt::Key_Up);  // the user picks another drive
    QCOMPARE(box.Drive(), std::string("/"));
    QCOMPARE(changes.count(), 2);
  }
};

QTEST_MAIN(TestDriveCombo)
#include "test_drivecombo.moc"
