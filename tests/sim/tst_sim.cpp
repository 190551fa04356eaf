// The simulator's own promises, met as a host meets them: its update service
// refuses what a real module refuses, and a replay refuses a file that is not
// a data log before any port opens.

#include "firmware.h"
#include "moduleframes.h"
#include "simprocess.h"

#include <QSerialPort>
#include <QtTest>

using frames::hex;

class TestSim : public QObject
{
    Q_OBJECT

private slots:
    void serviceRefuses_data();
    void serviceRefuses();
    void replayRefusesABadLogNamingItsLine_data();
    void replayRefusesABadLogNamingItsLine();
};

void TestSim::serviceRefuses_data()
{
    QTest::addColumn<QByteArray>("messages"); // after the hello
    QTest::addColumn<QByteArray>("answer"); // to the last message, without its CRC
    QTest::addColumn<QString>("event");

    QTest::newRow("a message with a bad CRC")
        << hex("00D4BF7F 02000C00 00E00F00") << hex("07001400 02000000 01000000 00000000")
        << "dfu-refused type 2: bad CRC";
    // Update of three bytes announced with CRC 0; theirs is BE4DF84C.
    QTest::newRow("an image whose CRC does not match")
        << hex("00D4BF7E 02000C00 00E00F00 209EF3CD 03001400 03000000 00000000 00000000"
               "26BEF14F 08000F00 00000000 AABBCC")
        << hex("07001400 08000000 05000000 03000000") << "dfu-refused chunk 0: image CRC mismatch";
}

void TestSim::serviceRefuses()
{
    QFETCH(QByteArray, messages);
    QFETCH(QByteArray, answer);
    QFETCH(QString, event);
    SimProcess sim;
    QVERIFY(sim.start());
    QSerialPort port(sim.portPath());
    port.setBaudRate(921600);
    QVERIFY(port.open(QIODevice::ReadWrite));
    port.write(hex("14559DE9 00000800") + messages);

    QByteArray received;
    QTRY_COMPARE_WITH_TIMEOUT(
        (received += port.readAll()).right(16).toHex(), answer.toHex(), 10000);
    QCOMPARE(sim.waitForEvent("dfu-refused"), event);
}

void TestSim::replayRefusesABadLogNamingItsLine_data()
{
    QTest::addColumn<QByteArray>("log"); // null: no file
    QTest::addColumn<QString>("message");
    const QByteArray header
        = "Timestamp,Acc_X,Acc_Y,Acc_Z,Mag_X,Mag_Y,Mag_Z,Gyr_X,Gyr_Y,"
          "Gyr_Z,Quat_W,Quat_X,Quat_Y,Quat_Z,EulerAngle_X,EulerAngle_Y,EulerAngle_Z\n";
    const QByteArray rest = QByteArray(",0").repeated(15) + '\n'; // fields 3 to 17
    QTest::newRow("missing") << QByteArray() << "cannot read log.csv: No such file or directory";
    QTest::newRow("header") << QByteArray("Time\n") << "log.csv:1: not the header of a data log";
    QTest::newRow("16 fields") << header + "1" + rest << "log.csv:2: 16 fields instead of 17";
    QTest::newRow("letter") << header + "1,x" + rest << "log.csv:2: field 2 'x' is not a number";
    QTest::newRow("going back") << header + "2,0" + rest + "2,0" + rest + "1.99999,0" + rest
                                << "log.csv:4: timestamp 1.99999 is earlier than 2";
}

void TestSim::replayRefusesABadLogNamingItsLine()
{
    QFETCH(QByteArray, log);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QVERIFY(log.isNull() || writeFile(dir.filePath("log.csv"), log));
    QProcess sim;
    sim.setWorkingDirectory(dir.path());
    sim.start(qEnvironmentVariable("ZEL_SIM"), { "--replay", "log.csv" });
    QVERIFY(sim.waitForFinished(10000));
    QCOMPARE(sim.exitCode(), 2);
    QCOMPARE(sim.readAllStandardOutput(), QByteArray()); // no port
    QCOMPARE(QString::fromLocal8Bit(sim.readAllStandardError()), "zel-sim: " + message + '\n');
}

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
