// The frame scan, the carry-over, the texts made of decoded frames and a
// data log read back, as bytes and numbers in and out.

#include "firmware.h"
#include "moduleframes.h"
#include "protocol.h"
#include "recordingreader.h"
#include "sampletext.h"

#include <QtTest>

#include <cmath>

using namespace zel;
using frames::bytes;
using frames::hex;

class TestProtocol : public QObject
{
    Q_OBJECT

private slots:
    void scanTakesAcceptedFramesAndCarriesTheTail_data()
    {
        // Frames found as kind@index:payload length (S sensor, C data-control
        // reply, V version reply, B BLE notice), then =consumed +carried over.
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("scan");
        const QByteArray sensor = frames::sensorFrame({ 1.0f });
        QTest::newRow("sensor frame") << sensor << "S@0:88 =94 +0";
        QTest::newRow("long version") << frames::longVersionReply << "V@0:12 =18 +0";
        QTest::newRow("data-control reply") << frames::defaultDataCtrlReply << "C@0:12 =18 +0";
        QTest::newRow("junk before a frame")
            << hex("010d0a") + frames::shortVersionReply << "V@3:4 =13 +0";
        QTest::newRow("frames only the tool sends")
            << frames::versionRequest + frames::resetCommand + frames::dataCtrlRequest << "=0 +20";
        QTest::newRow("sensor type, wrong lengths") << hex("20020c00") + QByteArray(12, '\x01')
                + hex("0d0a20025900") + QByteArray(89, '\x01')
                + hex("0d0a") << "=0 +113";
        QTest::newRow("version, wrong length") << hex("1001080030313233343536370d0a") << "=0 +14";
        QTest::newRow("no terminator") << sensor.left(92) + "\r\r"
                                       << "=0 +94";
        QTest::newRow("frame inside a foreign frame")
            << hex("20070600") + frames::bleNotice + hex("0d0a") << "B@4:0 =10 +2";
        QTest::newRow("cut frame waits") << "xyz" + sensor.left(50) << "=0 +53";
        QTest::newRow("start of the next frame kept") << sensor + sensor.left(5) << "S@0:88 =94 +5";
        QTest::newRow("BLE notice stops the scan")
            << sensor + frames::bleNotice + sensor << "S@0:88 B@94:0 =100 +94";
        QTest::newRow("BLE notice alone, ending the read") << frames::bleNotice << "B@0:0 =6 +0";
        QTest::newRow("long junk keeps the newest 999") << QByteArray(1200, 'j') << "=0 +999";
        QTest::newRow("fewer than six bytes") << hex("20020000") << "=0 +4";
    }

    void scanTakesAcceptedFramesAndCarriesTheTail()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, scan);
        QStringList found;
        const ScanResult result
            = scanFrames(bytes(data), data.size(), [&](FrameKind kind, qint64 index, int length) {
                  found << QStringLiteral("%1@%2:%3").arg("SCBV"[int(kind)]).arg(index).arg(length);
              });
        found << QStringLiteral("=%1 +%2")
                     .arg(result.consumed)
                     .arg(carryOverLength(data.size(), result.consumed));
        QCOMPARE(found.join(' '), scan);
        QCOMPARE(result.stoppedAtBleNotice, scan.contains('B'));
    }

    void csvRowHasEveryFieldInItsColumn_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("row");
        QTest::newRow("distinct fields")
            << frames::distinctSensorFrame
            << QByteArray("1234.5,1.500000,-2.500000,3.500000,4.500000,5.500000,-6.500000,7.500000,"
                          "8.500000,9.500000,10.500000,-11.500000,12.500000,13.500000,14.500000,"
                          "15.500000,-16.500000\n");
        QTest::newRow("notations")
            << frames::sensorFrame({ 1234567.0f, -9.81f, 0.0001f, 1e-7f, 0.0000015f, 100000.0f })
            << "1234567,-9.810000,0.000100,0.000000,0.000002,100000.000000"
                + QByteArray(",0.000000").repeated(11) + "\n";
        // Six digits where they read back exactly, as ever; the shortest
        // exact text where a long recording's milliseconds need more.
        QTest::newRow("timestamps")
            << frames::sensorFrame({ 0.0001f }) + frames::sensorFrame({ 1000.002f })
            << QByteArray("0.0001") + QByteArray(",0.000000").repeated(16) + "\n1000.002"
                + QByteArray(",0.000000").repeated(16) + "\n";
    }

    void csvRowHasEveryFieldInItsColumn()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, row);
        QByteArray rows;
        for (int at = 0; at < frame.size(); at += sensorFrameLength)
            rows += csvRow(decodeSensorPayload(bytes(frame) + at + 4));
        QCOMPARE(rows, row);
    }

    void csvHeaderNamesTheSeventeenColumns()
    {
        QCOMPARE(csvHeader(),
            QByteArray(
                "Timestamp,Acc_X,Acc_Y,Acc_Z,Mag_X,Mag_Y,Mag_Z,Gyr_X,Gyr_Y,Gyr_Z,Quat_W,Quat_X,"
                "Quat_Y,Quat_Z,EulerAngle_X,EulerAngle_Y,EulerAngle_Z\n"));
    }

    void recordingReadsOnlyADataLog_data()
    {
        // The file's text, then the message, or the rows read and whether a
        // torn last row was left out.
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("read");
        const QByteArray header = csvHeader();
        const QByteArray row = "0.5" + QByteArray(",1.000000").repeated(16) + "\n";
        QTest::newRow("empty") << QByteArray() << "drive.csv: the file is empty";
        QTest::newRow("header only") << header << "drive.csv: no rows after the header";
        QTest::newRow("not a data log") << QByteArray("Timestamp,Acc_X\n0.5,1\n")
                                        << "drive.csv:1: not the data log's header of 17 columns";
        QTest::newRow("short row")
            << header + row + row + row.mid(4) << "drive.csv:4: 16 fields, expected 17";
        QTest::newRow("empty line") << header + "\n" + row << "drive.csv:2: 0 fields, expected 17";
        QTest::newRow("not a number") << header
                + QByteArray(row).replace(
                    ",1.000000,1.000000,1.000000,1.000000", ",1.000000,1.000000,1.000000,1.0x")
                                      << "drive.csv:2: Mag_X \"1.0x\" is not a number";
        QTest::newRow("no time") << header + "nan" + row.mid(3)
                                 << "drive.csv:2: Timestamp \"nan\" is not a finite number";
        QTest::newRow("torn last row") << header + row + row.left(40) << "1 torn";
        QTest::newRow("header with the platform's line end")
            << header.chopped(1) + "\r\n" + row << "1";
    }

    void recordingReadsOnlyADataLog()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, read);
        Recording recording;
        QString error;
        if (readRecording(
                text.constData(), std::size_t(text.size()), "drive.csv", &recording, &error))
            error = QString::number(recording.rows()) + (recording.tornRowLeftOut() ? " torn" : "");
        QCOMPARE(error, read);
    }

    // Forms the tool never writes but an edited file may hold, and the
    // module's time through a reboot: 10.5 s, then from 2 s again.
    void recordingReadsEveryNumberFormAndFollowsTime()
    {
        const QByteArray text = csvHeader() + "10,1.5e+03,nan,-inf,inf,-0.000000,1E-3,-0,0.25,0.5,"
            + "1,0,0,0,7,8,9\n10.5" + QByteArray(",0").repeated(16) + "\n2"
            + QByteArray(",0").repeated(16) + "\n2.25" + QByteArray(",0").repeated(16) + "\n";
        Recording recording;
        QString error;
        QVERIFY(readRecording(text.constData(), std::size_t(text.size()), "x", &recording, &error));
        const SensorSample first = recording.sample(0);
        QCOMPARE(first.acc[0], 1500.0f);
        QVERIFY(std::isnan(first.acc[1]));
        QCOMPARE(first.acc[2], -INFINITY);
        QCOMPARE(first.mag[0], INFINITY);
        QCOMPARE(valueText(first.mag[1]), "-0.000000"); // as the live console showed it
        QCOMPARE(first.mag[2], 0.001f);
        QCOMPARE(first.euler, (std::array<float, 3> { 7, 8, 9 }));
        QCOMPARE(first.angleAxis, (std::array<float, 4> { 0, 0, 0, 1 }));
        QCOMPARE(recording.segmentStarts(), (std::vector<int> { 0, 2 }));
        QCOMPARE(recording.elapsed(3), 0.75);
        QCOMPARE(recording.rowAt(0.6), 3);
        QCOMPARE(recording.rowAt(0.5), 1);
    }

    // A file of several blocks reads whole, and the reading can be stopped.
    void recordingFileReadsBlockByBlock()
    {
        const QString path = QDir::temp().filePath("long.csv");
        QByteArray text = csvHeader();
        for (int row = 0; row < 20000; ++row)
            text += QByteArray::number(row) + QByteArray(",-1234.567890").repeated(16) + "\n";
        QVERIFY(writeFile(path, text));
        Recording recording;
        QString error;
        int blocks = 0;
        QVERIFY(
            readRecordingFile(path, &recording, &error, [&](qint64, qint64) { return ++blocks; }));
        QCOMPARE(recording.rows(), 20000);
        QCOMPARE(recording.sample(19999).euler[2], -1234.56789f);
        QVERIFY(blocks > 2);
        QVERIFY(!readRecordingFile(path, &recording, &error, [](qint64, qint64) { return false; }));
        QCOMPARE(error, "");
        QVERIFY(!readRecordingFile("nowhere.csv", &recording, &error));
        QCOMPARE(error, "nowhere.csv: No such file or directory");
    }

    void versionTexts_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("text");
        QTest::newRow("short") << hex("30120000") << "1.2.3";
        QTest::newRow("low nibble unused") << hex("3F120000") << "1.2.3";
        QTest::newRow("two-digit numbers") << hex("F0AB0000") << "10.11.15";
        QTest::newRow("long") << hex("301200000A1B2C3D4E5F0105")
                              << "1.2.3\nDev Id: 0A:1B:2C:3D:4E:5F\nProduct Id: QZ0105";
    }

    void versionTexts()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QString, text);
        QCOMPARE(versionText(bytes(payload), payload.size()), text);
    }

    void poorQualityLimitFollowsRateCode()
    {
        const int limits[] = { 1234, 750, 1500, 3000, 1234 }; // codes 0 and 4 keep the limit
        for (quint8 code = 0; code < 5; ++code)
            QCOMPARE(poorQualityLimitFor(code, 1234), limits[code]);
    }
};

QTEST_APPLESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
