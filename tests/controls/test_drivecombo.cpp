// The drive box: which drive holds a path, which drives are offered, and when it reports a change.
#include <QSignalSpy>
#include <QtTest>

#include "controls/drivecombo.h"

using namespace ostrel;

class TestDriveCombo : public QObject {
  Q_OBJECT

 private slots:
  void rootHolding_data() {
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<int>("expected");
    QTest::newRow("filesystem root") << QByteArray("/") << 0;
    QTest::newRow("a mount point itself") << QByteArray("/home") << 1;
    QTest::newRow("name that only starts like one") << QByteArray("/homework") << 0;
    QTest::newRow("longest root wins") << QByteArray("/home/ann/media/pics") << 3;
    QTest::newRow("relative path") << QByteArray("home/ann") << -1;
  }
  void rootHolding() {
    QFETCH(QByteArray, path);
    QFETCH(int, expected);
    const std::vector<std::string> roots{"/", "/home", "/mnt/net share", "/home/ann/media"};
    QCOMPARE(RootHolding(roots, path.toStdString()), expected);
  }

  void offersRealDrivesAndReportsOnlyChanges() {
    TDriveComboBox box(nullptr, [] {
      return std::vector<TDrive>{{"/", DriveFixed, false},
                                 {"/proc", DriveNoRoot, false},
                                 {"/home", DriveFixed, false},
                                 {"/media/fd0", DriveRemovable, true}};
    });
    QCOMPARE(box.Roots(), (std::vector<std::string>{"/", "/home", "/media/fd0"}));
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
