// The simulator's own promises: its update service refuses what a real
// module refuses, a replay refuses a file that is not a data log before any
// port opens, and takes the rows of one the tool wrote, segments and all.

#include "applicationfirmware.h"
#include "firmware.h"
#include "moduleframes.h"
#include "simprocess.h"

#include <QSerialPort>
#include <QtTest>

using frames::hex;

const QByteArray logHeader = "Timestamp,Acc_X,Acc_Y,Acc_Z,Mag_X,Mag_Y,Mag_Z,Gyr_X,Gyr_Y,Gyr_Z,"
                             "Quat_W,Quat_X,Quat_Y,Quat_Z,EulerAngle_X,EulerAngle_Y,EulerAngle_Z\n";
const QByteArray sensorZeros = QByteArray(",0").repeated(16) + '\n'; // after the timestamp

class TestSim : public QObject
{
    Q_OBJECT

private slots:
    void serviceRefuses_data();
    void serviceRefuses();
    void replayRefusesABadLogNamingItsLine();
    void replayStartsASegmentWhereTimeGoesBack();
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

void TestSim::replayRefusesABadLogNamingItsLine()
{
    // The reader is the tool's own and has its table of faults; here, that
    // its message reaches the user before any port opens.
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("log.csv"), logHeader + "1" + sensorZeros.mid(2)));
    QProcess sim;
    sim.setWorkingDirectory(dir.path());
    sim.start(qEnvironmentVariable("ZEL_SIM"), { "--replay", "log.csv" });
    QVERIFY(sim.waitForFinished(10000));
    QCOMPARE(sim.exitCode(), 2);
    QCOMPARE(sim.readAllStandardOutput(), QByteArray()); // no port
    QCOMPARE(sim.readAllStandardError(), "zel-sim: log.csv:2: 16 fields, expected 17\n");
}

// A recording of a looped replay, or of a module that rebooted, has its time
// go back; each timestamp reads as the float whose shortest text it is.
void TestSim::replayStartsASegmentWhereTimeGoesBack()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("log.csv"),
        logHeader + "12345.5" + sensorZeros + "12345.678" + sensorZeros + "12345.75" + sensorZeros
            + "-0" + sensorZeros + "0.25" + sensorZeros));
    zel::sim::ModuleOptions options;
    QString error;
    QVERIFY(zel::sim::loadReplay(dir.filePath("log.csv"), 0, &options.replay, &error));
    QVector<qint64> delaysUs;
    QByteArray timestamps;
    for (const zel::sim::ReplayRow &row : options.replay) {
        delaysUs << row.delayUs;
        timestamps += frames::floatBytes(row.sample.timestamp);
    }
    // The first row, met again on a loop, follows at the mean spacing within
    // segments; a segment's first row at the spacing of the row before.
    QCOMPARE(delaysUs, (QVector<qint64> { 166667, 177734, 72266, 72266, 250000 }));
    QCOMPARE(timestamps.toHex(), QByteArray("00e64046b6e6404600e74046000000800000803e"));

    zel::sim::ApplicationFirmware module(options);
    module.transmit(2000000);
    QCOMPARE(module.takeEvents(), (QStringList { "replay-segment 5", "replay-end" }));
}

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
