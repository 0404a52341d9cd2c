// The drive box: which drive holds a path, which drives are offered, and when it reports a change.
#include <QSignalSpy>
#include <QtTest>

#include "controls/drivecombo.h"

using namespace ostrel;

namespace {

std::vector<TDrive> SampleDrives() {
  return {
      {"/", DriveFixed, false},
      {"/proc", DriveNoRoot, false},
      {"/home", DriveFixed, false},
      {"/media/cd", DriveCdRom, false},
      {"/mnt/net share", DriveRemote, false},
      {"/media/fd0", DriveRemovable, true},
  };
}

}  // namespace

class TestDriveCombo : public QObject {
  Q_OBJECT

 private slots:
  void rootHolding_data() {
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<int>("expected");
    QTest::newRow("filesystem root") << QByteArray("/") << 0;
    QTest::newRow("a mount point itself") << QByteArray("/home") << 1;
    QTest::newRow("below a mount point") << QByteArray("/home/ann/x") << 1;
    QTest::newRow("name that only starts like one") << QByteArray("/homework") << 0;
    QTest::newRow("longest root wins") << QByteArray("/home/ann/media/pics") << 3;
    QTest::newRow("root with a space") << QByteArray("/mnt/net share/a") << 2;
    QTest::newRow("relative path") << QByteArray("home/ann") << -1;
    QTest::newRow("empty") << QByteArray("") << -1;
  }
  void rootHolding() {
    QFETCH(QByteArray, path);
    QFETCH(int, expected);
    const std::vector<std::string> roots{"/", "/home", "/mnt/net share", "/home/ann/media"};
    QCOMPARE(RootHolding(roots, path.toStdString()), expected);
  }

  void drivesWithoutARootAreLeftOut() {
    TDriveComboBox box;
    box.SetDrives(SampleDrives());
    const std::vector<std::string> expected{"/", "/home", "/media/cd", "/mnt/net share", "/media/fd0"};
    QCOMPARE(box.Roots(), expected);
    QCOMPARE(box.count(), 5);
    QCOMPARE(box.itemText(2), QString("/media/cd  (CD-ROM)"));
    QCOMPARE(box.itemText(3), QString("/mnt/net share  (network)"));
    QCOMPARE(box.itemText(4), QString("/media/fd0  (floppy)"));
  }

  void setDriveSelectsTheHoldingDriveAndReportsOnlyChanges() {
    TDriveComboBox box;
    box.SetDrives(SampleDrives());
    QSignalSpy changes(&box, &TDriveComboBox::DriveChanged);
    QVERIFY(box.SetDrive("/home/ann/docs"));
    QCOMPARE(box.Drive(), std::string("/home"));
    QCOMPARE(changes.count(), 1);
    QVERIFY(box.SetDrive("/home"));
    QCOMPARE(changes.count(), 1);
    QVERIFY(!box.SetDrive("relative/path"));
    QCOMPARE(box.Drive(), std::string("/home"));
    QCOMPARE(changes.count(), 1);
  }

  void refillingKeepsTheSelectionSilently() {
    TDriveComboBox box;
    box.SetDrives(SampleDrives());
    box.SetDrive("/media/cd");
    QSignalSpy changes(&box, &TDriveComboBox::DriveChanged);
    std::vector<TDrive> fewer{{"/", DriveFixed, false}, {"/media/cd", DriveCdRom, false}};
    box.SetDrives(fewer);
    QCOMPARE(box.Drive(), std::string("/media/cd"));
    box.SetDrives({{"/", DriveFixed, false}});
    QCOMPARE(box.Drive(), std::string("/"));
    box.SetDrives({});
    QCOMPARE(box.Drive(), std::string());
    QCOMPARE(changes.count(), 0);
  }

  void theUserPickingADriveReportsIt() {
    TDriveComboBox box;
    box.SetDrives(SampleDrives());
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QSignalSpy changes(&box, &TDriveComboBox::DriveChanged);
    QTest::keyClick(&box, Qt::Key_Down);
    QCOMPARE(changes.count(), 1);
    QCOMPARE(box.Drive(), std::string("/home"));
  }
};

QTEST_MAIN(TestDriveCombo)
#include "test_drivecombo.moc"
