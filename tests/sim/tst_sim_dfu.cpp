// The simulator's update service, met as a host meets it on the port at
// 921600 baud: it refuses what a real module refuses.

#include "moduleframes.h"
#include "simprocess.h"

#include <QSerialPort>
#include <QtTest>

using frames::hex;

class TestSimDfu : public QObject
{
    Q_OBJECT

private slots:
    void serviceRefuses_data();
    void serviceRefuses();
};

void TestSimDfu::serviceRefuses_data()
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

void TestSimDfu::serviceRefuses()
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

QTEST_GUILESS_MAIN(TestSimDfu)
#include "tst_sim_dfu.moc"
