#include "framebuilder.h"
#include "sampletext.h"

#include <QtTest>

#include <cstring>
#include <limits>

using namespace zel;

namespace {

struct Found
{
    FrameKind kind;
    qint64 index;
    int payloadLength;
};

struct Scan
{
    QList<Found> frames;
    ScanResult result;
    qint64 carried = 0;
};

Scan scan(const QByteArray &bytes)
{
    Scan s;
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    s.result = scanFrames(data, bytes.size(), [&](FrameKind kind, qint64 index, int length) {
        s.frames.append({ kind, index, length });
    });
    s.carried = carryOverLength(bytes.size(), s.result.consumed);
    return s;
}

} // namespace

class TestProtocol : public QObject
{
    Q_OBJECT

private slots:
    void commandFramesAreByteExact_data();
    void commandFramesAreByteExact();
    void dataCtrlWriteCarriesSixRecordBytesAndField();

    void singleSensorFrameIsConsumedWhole();
    void junkBeforeAFrameIsSkipped();
    void wellFormedFramesOfOtherKindsAreSteppedOver();
    void partialFrameIsCarriedOver();
    void bytesAfterARecognisedFrameAreKept();
    void longJunkKeepsTheNewestBytesOnly();
    void bleNoticeIsConsumedAndStopsTheScan();

    void sensorPayloadDecodes();
    void consoleTextHasThreeStampedLines();
    void csvHeaderAndRow();
    void numberTexts_data();
    void numberTexts();

    void fastNumberTextsMatchQtFormatting();
    void consoleStampMatchesThePattern_data();
    void consoleStampMatchesThePattern();
    void versionTexts_data();
    void versionTexts();
    void hexBytes_data();
    void hexBytes();
    void dataCtrlPayloadDecodes();
    void poorQualityLimitFollowsRateCode_data();
    void poorQualityLimitFollowsRateCode();
};

void TestProtocol::commandFramesAreByteExact_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("version request")
        << versionRequestFrame() << QByteArray::fromHex("100100000D0A");
    QTest::newRow("data-control request")
        << dataCtrlRequestFrame() << QByteArray::fromHex("200500000D0A");
    QTest::newRow("reset") << maintenanceFrame(MaintenanceCommand::Reset)
                           << QByteArray::fromHex("1002020002000D0A");
    QTest::newRow("reboot") << maintenanceFrame(MaintenanceCommand::Reboot)
                            << QByteArray::fromHex("1002020001000D0A");
    QTest::newRow("identify") << maintenanceFrame(MaintenanceCommand::Identify)
                              << QByteArray::fromHex("1002020000010D0A");
    QTest::newRow("calibrate") << maintenanceFrame(MaintenanceCommand::Calibrate)
                               << QByteArray::fromHex("1002020003000D0A");
}

void TestProtocol::commandFramesAreByteExact()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, expected);
    QCOMPARE(frame.toHex(' '), expected.toHex(' '));
}

void TestProtocol::dataCtrlWriteCarriesSixRecordBytesAndField()
{
    // 45.55f is 0x42363333; extra record bytes beyond six are not sent.
    const QByteArray frame = dataCtrlWriteFrame(QByteArray::fromHex("0300010100010707"), 45.55f);
    QCOMPARE(frame.toHex(' '),
        QByteArray::fromHex("20040C00030001010001000033333642"
                            "0D0A")
            .toHex(' '));
}

void TestProtocol::singleSensorFrameIsConsumedWhole()
{
    const Scan s = scan(testframes::sensorFrame());
    QCOMPARE(s.frames.size(), 1);
    QCOMPARE(s.frames[0].kind, FrameKind::SensorData);
    QCOMPARE(s.frames[0].index, 0);
    QCOMPARE(s.frames[0].payloadLength, 88);
    QCOMPARE(s.result.consumed, 94);
    QCOMPARE(s.carried, 0);
}

void TestProtocol::junkBeforeAFrameIsSkipped()
{
    const Scan s = scan(QByteArray("\x01\x0D\x0A", 3) + testframes::shortVersionReply());
    QCOMPARE(s.frames.size(), 1);
    QCOMPARE(s.frames[0].kind, FrameKind::VersionReply);
    QCOMPARE(s.frames[0].index, 3);
    QCOMPARE(s.frames[0].payloadLength, 4);
    QCOMPARE(s.carried, 0);
}

void TestProtocol::wellFormedFramesOfOtherKindsAreSteppedOver()
{
    // A data frame of type 2 with the wrong length, and frames only the tool
    // sends: none is taken, but a real frame hidden behind them is.
    const QByteArray wrongLength = testframes::frame(0x20, 0x02, QByteArray(12, '\x11'));
    const QByteArray toolFrames
        = versionRequestFrame() + maintenanceFrame(MaintenanceCommand::Reset);
    const Scan s = scan(wrongLength + toolFrames + testframes::bleNotice());
    QCOMPARE(s.frames.size(), 1);
    QCOMPARE(s.frames[0].kind, FrameKind::BleNotice);
    QCOMPARE(s.frames[0].index, wrongLength.size() + toolFrames.size());
}

void TestProtocol::partialFrameIsCarriedOver()
{
    const QByteArray frame = testframes::sensorFrame();
    const QByteArray first = QByteArray("xyz") + frame.left(50);
    Scan s = scan(first);
    QVERIFY(s.frames.isEmpty());
    QCOMPARE(s.carried, first.size());

    // The carried bytes at the head of the buffer plus the rest complete it.
    s = scan(first.right(int(s.carried)) + frame.mid(50));
    QCOMPARE(s.frames.size(), 1);
    QCOMPARE(s.frames[0].index, 3);
    QCOMPARE(s.carried, 0);
}

void TestProtocol::bytesAfterARecognisedFrameAreKept()
{
    for (int extra = 1; extra <= 5; ++extra) {
        const QByteArray next = testframes::sensorFrame();
        const Scan s = scan(testframes::sensorFrame() + next.left(extra));
        QCOMPARE(s.frames.size(), 1);
        QCOMPARE(s.result.consumed, 94);
        QCOMPARE(s.carried, extra);
    }
}

void TestProtocol::longJunkKeepsTheNewestBytesOnly()
{
    QByteArray junk(1200, '\0');
    for (int i = 0; i < junk.size(); ++i)
        junk[i] = char(0x30 + i % 7);
    Scan s = scan(junk);
    QCOMPARE(s.carried, 999);

    // A frame arriving behind a long run of junk survives the cap.
    junk.append(testframes::sensorFrame().left(40));
    s = scan(junk);
    QCOMPARE(s.carried, 999);
    const QByteArray kept = junk.right(999);
    s = scan(kept + testframes::sensorFrame().mid(40));
    QCOMPARE(s.frames.size(), 1);
    QCOMPARE(s.frames[0].kind, FrameKind::SensorData);
}

void TestProtocol::bleNoticeIsConsumedAndStopsTheScan()
{
    const QByteArray after = testframes::sensorFrame();
    const Scan s = scan(testframes::sensorFrame() + testframes::bleNotice() + after);
    QCOMPARE(s.frames.size(), 2);
    QCOMPARE(s.frames[1].kind, FrameKind::BleNotice);
    QVERIFY(s.result.stoppedAtBleNotice);
    QCOMPARE(s.result.consumed, 100);
    QCOMPARE(s.carried, after.size());
}

void TestProtocol::sensorPayloadDecodes()
{
    const zel::SensorSample in = testframes::sample(2.5f, 7);
    const QByteArray frame = testframes::sensorFrame(in);
    const SensorSample out
        = decodeSensorPayload(reinterpret_cast<const uchar *>(frame.constData()) + 4);
    QCOMPARE(out.timestamp, in.timestamp);
    QCOMPARE(out.acc, in.acc);
    QCOMPARE(out.mag, in.mag);
    QCOMPARE(out.gyr, in.gyr);
    QCOMPARE(out.quat, in.quat);
    QCOMPARE(out.euler, in.euler);
    QCOMPARE(out.angleAxis, in.angleAxis);
    QCOMPARE(out.qualityStatus, 7u);
}

void TestProtocol::consoleTextHasThreeStampedLines()
{
    const QString text
        = sensorConsoleText(testframes::sample(), QDate(2026, 3, 4), QTime(5, 6, 7, 89));
    const QString stamp = QStringLiteral("2026/03/04 05:06:07.089");
    QCOMPARE(text,
        stamp
            + " Sensors -9.810000, 1.000000, 0.250000, 20.500000, -3.000000, 40.125000, "
              "0.500000, -0.500000, 2.000000\n"
            + stamp + " Quaternions 1.000000, 0.000000, 0.000000, 0.000000\n" + stamp
            + " Euler Angles 10.000000, -20.000000, 170.500000\n");
}

void TestProtocol::csvHeaderAndRow()
{
    const QByteArray header = csvHeader();
    QVERIFY(header.endsWith('\n'));
    QCOMPARE(header.trimmed().split(',').size(), 17);
    QVERIFY(header.startsWith("Timestamp,Acc_X,Acc_Y,Acc_Z,Mag_X"));
    QVERIFY(header.endsWith("EulerAngle_X,EulerAngle_Y,EulerAngle_Z\n"));

    const QByteArray row = csvRow(testframes::sample());
    QCOMPARE(row,
        QByteArray("1234.5,-9.810000,1.000000,0.250000,20.500000,-3.000000,40.125000,"
                   "0.500000,-0.500000,2.000000,1.000000,0.000000,0.000000,0.000000,"
                   "10.000000,-20.000000,170.500000\n"));
}

void TestProtocol::numberTexts_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("timestamp");
    QTest::addColumn<QString>("fixed");
    QTest::newRow("1234.5") << 1234.5f << "1234.5"
                            << "1234.500000";
    QTest::newRow("-9.81") << -9.81f << "-9.81"
                           << "-9.810000";
    QTest::newRow("large") << 1234567.0f << "1.23457e+06"
                           << "1234567.000000";
    QTest::newRow("small") << 0.0001f << "0.0001"
                           << "0.000100";
    QTest::newRow("zero") << 0.0f << "0"
                          << "0.000000";
}

void TestProtocol::numberTexts()
{
    QFETCH(float, value);
    QFETCH(QString, timestamp);
    QFETCH(QString, fixed);
    QCOMPARE(timestampText(value), timestamp);
    QCOMPARE(valueText(value), fixed);
}

void TestProtocol::fastNumberTextsMatchQtFormatting()
{
    // The console and data log texts must stay exactly what Qt's 'f', 6
    // formatting gives, across magnitudes, signs, rounding ties and
    // non-finite values.
    QList<float> values { 0.0f, -0.0f, 0.0000005f, -0.0000005f, 0.0000015f, 1e-30f, 123456.789f,
        -9.81f, 3.4e38f, -3.4e38f, std::numeric_limits<float>::infinity(),
        -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(),
        std::numeric_limits<float>::denorm_min() };
    quint32 state = 12345;
    for (int i = 0; i < 20000; ++i) {
        state = state * 1664525u + 1013904223u;
        float value;
        const quint32 bits = (state & 0x807FFFFFu) | (((state >> 23) % 40 + 107) << 23);
        std::memcpy(&value, &bits, sizeof value);
        values.append(value);
    }
    for (float value : values)
        QCOMPARE(valueText(value), QString::number(double(value), 'f', 6));
}

void TestProtocol::consoleStampMatchesThePattern_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QTime>("time");
    QTest::newRow("padded") << QDate(2026, 1, 2) << QTime(3, 4, 5, 6);
    QTest::newRow("late") << QDate(1999, 12, 31) << QTime(23, 59, 59, 999);
    QTest::newRow("far future") << QDate(12026, 1, 2) << QTime(3, 4, 5, 6);
}

void TestProtocol::consoleStampMatchesThePattern()
{
    QFETCH(QDate, date);
    QFETCH(QTime, time);
    QCOMPARE(
        consoleStamp(date, time), date.toString("yyyy/MM/dd ") + time.toString("HH:mm:ss.zzz"));
}

void TestProtocol::versionTexts_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("text");
    QTest::newRow("short") << QByteArray::fromHex("30120000") << "1.2.3";
    QTest::newRow("low nibble unused") << QByteArray::fromHex("3F120000") << "1.2.3";
    QTest::newRow("two-digit numbers") << QByteArray::fromHex("F0AB0000") << "10.11.15";
    QTest::newRow("long") << QByteArray::fromHex("301200000A1B2C3D4E5F0105")
                          << "1.2.3\nDev Id: 0A:1B:2C:3D:4E:5F\nProduct Id: QZ0105";
}

void TestProtocol::versionTexts()
{
    QFETCH(QByteArray, payload);
    QFETCH(QString, text);
    QCOMPARE(
        versionText(reinterpret_cast<const uchar *>(payload.constData()), payload.size()), text);
}

void TestProtocol::hexBytes_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0 << "00";
    QTest::newRow("ten") << 10 << "0A";
    QTest::newRow("max") << 255 << "FF";
    QTest::newRow("mixed") << 0x5c << "5C";
}

void TestProtocol::hexBytes()
{
    QFETCH(int, byte);
    QFETCH(QString, text);
    QString out = QStringLiteral("x");
    appendHexByte(out, quint8(byte));
    QCOMPARE(out, "x" + text);
}

void TestProtocol::dataCtrlPayloadDecodes()
{
    const QByteArray frame = testframes::dataCtrlReply(QByteArray::fromHex("030101010201"), 47.89f);
    const DataCtrlReply reply
        = decodeDataCtrlPayload(reinterpret_cast<const uchar *>(frame.constData()) + 4);
    QCOMPARE(reply.dataCtrl, QByteArray::fromHex("030101010201"));
    QCOMPARE(reply.magField, 47.89f);
}

void TestProtocol::poorQualityLimitFollowsRateCode_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("limit");
    QTest::newRow("10 Hz keeps") << 0 << 1234;
    QTest::newRow("25 Hz") << 1 << 750;
    QTest::newRow("50 Hz") << 2 << 1500;
    QTest::newRow("100 Hz") << 3 << 3000;
    QTest::newRow("500 Hz keeps") << 4 << 1234;
}

void TestProtocol::poorQualityLimitFollowsRateCode()
{
    QFETCH(int, code);
    QFETCH(int, limit);
    QCOMPARE(poorQualityLimitFor(quint8(code), 1234), limit);
}

QTEST_APPLESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
