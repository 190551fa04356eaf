#include "dfuprotocol.h"
#include "portlist.h"

#include <QtTest>

using namespace zel::dfu;

Q_DECLARE_METATYPE(QVector<ChunkPlan>)

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// A 20-byte answer of the given type and status; `filler` goes everywhere
// else, the CRC position included.
QByteArray acknowledgement(quint32 typeWord, quint32 status, char filler = 0)
{
    QByteArray bytes(acknowledgementSize, filler);
    for (int i = 0; i < 4; ++i) {
        bytes[4 + i] = char(typeWord >> (8 * i));
        bytes[12 + i] = char(status >> (8 * i));
    }
    return bytes;
}

QByteArray helloAnswer(quint16 type)
{
    QByteArray bytes(helloResponseSize, 0);
    bytes.replace(0, 24,
        hex("DEADBEEF"
            "0100"
            "5800"
            "00020103"
            "60800400"
            "FF000080"
            "01000000"));
    bytes[4] = char(type);
    bytes[87] = char(0xAB);
    return bytes;
}

} // namespace

class TstDfuProtocol : public QObject
{
    Q_OBJECT

private slots:
    void crcHasTheStandardCheckValue();
    void wireBytesOfEachMessage_data();
    void wireBytesOfEachMessage();
    void fullChunkFillsTheLargestMessage();
    void wordsAreReadUnsignedLittleEndian_data();
    void wordsAreReadUnsignedLittleEndian();
    void hexTexts_data();
    void hexTexts();
    void acknowledgementJudgement_data();
    void acknowledgementJudgement();
    void helloAnswerLines_data();
    void helloAnswerLines();
    void chunkPlanAndBarValues_data();
    void chunkPlanAndBarValues();
    void portNameDropsTheMarker_data();
    void portNameDropsTheMarker();
};

void TstDfuProtocol::crcHasTheStandardCheckValue()
{
    QCOMPARE(crc32Of(QByteArray("123456789")), 0xCBF43926u);
}

void TstDfuProtocol::wireBytesOfEachMessage_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("wire");

    QTest::newRow("hello") << helloBody() << hex("14559DE9 00000800");
    QTest::newRow("OTA descriptor") << otaDescriptorBody() << hex("00D4BF7E 02000C00 00E00F00");
    QTest::newRow("update command") << updateCommandBody(20000, 0x12345678)
                                    << hex("3072199C 03001400 204E0000 78563412 00000000");
    QTest::newRow("reset") << resetBody() << hex("F071336C 06000C00 01000000");
    QTest::newRow("chunk of three bytes")
        << dataChunkBody(0x1FF4, "\xAA\xBB\xCC", 3) << hex("A210402D 08000F00 F41F0000 AABBCC");
    // The image of exactly 2 x 8180 bytes ends with a chunk without bytes.
    QTest::newRow("empty last chunk")
        << dataChunkBody(2 * chunkSize, nullptr, 0) << hex("DDCFF9FD 08000C00 E83F0000");
}

void TstDfuProtocol::wireBytesOfEachMessage()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, wire);
    QCOMPARE(wireMessage(body).toHex(' ').toUpper(), wire.toHex(' ').toUpper());
}

void TstDfuProtocol::fullChunkFillsTheLargestMessage()
{
    const QByteArray image(chunkSize, '\x5A');
    const QByteArray wire = wireMessage(dataChunkBody(0, image.constData(), image.size()));
    QCOMPARE(wire.size(), 8192);
    QCOMPARE(wire.mid(4, 4), hex("08000020"));
    QCOMPARE(wire.mid(12), image);
    QCOMPARE(readUInt32(wire, 0), crc32Of(wire.mid(4)));
}

void TstDfuProtocol::wordsAreReadUnsignedLittleEndian_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("index");
    QTest::addColumn<quint32>("value");

    QTest::newRow("little-endian") << hex("0A0B0C0D") << 0 << 0x0D0C0B0Au;
    QTest::newRow("at an index") << hex("FFFF78563412") << 2 << 0x12345678u;
    QTest::newRow("top bit set") << hex("00000080") << 0 << 0x80000000u;
    QTest::newRow("all ones") << hex("FFFFFFFF") << 0 << 0xFFFFFFFFu;
    QTest::newRow("past the end reads zero") << hex("0102") << 0 << 0x0201u;
    QTest::newRow("empty") << QByteArray() << 12 << 0u;
}

void TstDfuProtocol::wordsAreReadUnsignedLittleEndian()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, index);
    QFETCH(quint32, value);
    QCOMPARE(readUInt32(bytes, index), value);
}

void TstDfuProtocol::hexTexts_data()
{
    QTest::addColumn<quint32>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("zero") << 0u << "00000000";
    QTest::newRow("small") << 0x0Au << "0000000A";
    QTest::newRow("upper case") << 0xDEADBEEFu << "DEADBEEF";
    QTest::newRow("most significant first") << 0x00010200u << "00010200";
}

void TstDfuProtocol::hexTexts()
{
    QFETCH(quint32, value);
    QFETCH(QString, text);
    QCOMPARE(hexUInt32(value), text);
}

void TstDfuProtocol::acknowledgementJudgement_data()
{
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("logLine");

    QTest::newRow("plain") << acknowledgement(7, 0) << true << QString();
    QTest::newRow("any other content") << acknowledgement(7, 0, char(0xEE)) << true << QString();
    QTest::newRow("type in the low half only")
        << acknowledgement(0xFFFF0007, 0) << true << QString();
    QTest::newRow("nothing") << QByteArray() << false << "send_ackd_command response : 0";
    QTest::newRow("one short") << acknowledgement(7, 0).left(19) << false
                               << "send_ackd_command response : 19";
    QTest::newRow("one long") << acknowledgement(7, 0) + '\0' << false
                              << "send_ackd_command response : 21";
    QTest::newRow("wrong type") << acknowledgement(1, 0, char(0xA5)) << false
                                << "send_ackd_command string: "
                                   "A5A5A5A501000000A5A5A5A500000000A5A5A5A5";
    QTest::newRow("status 1") << acknowledgement(7, 1) << false
                              << "send_ackd_command status wrong: 1";
    QTest::newRow("status with top bit")
        << acknowledgement(7, 0x80000000) << false << "send_ackd_command status wrong: 2147483648";
}

void TstDfuProtocol::acknowledgementJudgement()
{
    QFETCH(QByteArray, response);
    QFETCH(bool, accepted);
    QFETCH(QString, logLine);
    const AckVerdict verdict = judgeAcknowledgement(response);
    QCOMPARE(verdict.accepted, accepted);
    QCOMPARE(verdict.logLine, logLine);
}

void TstDfuProtocol::helloAnswerLines_data()
{
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QStringList>("lines");

    const QByteArray good = helloAnswer(1);
    QTest::newRow("proper") << good << true
                            << QStringList { "response : 88",
                                   "response string:" + QString::fromLatin1(good.toHex().toUpper()),
                                   "response status  : 1", "length = 5800", "version = 03010200",
                                   "storage = 00048060", "status2 = 800000FF", "state = 00000001" };
    QTest::newRow("nothing") << QByteArray() << false << QStringList { "response : 0" };
    QTest::newRow("one short") << good.left(87) << false << QStringList { "response : 87" };
    const QByteArray wrongType = helloAnswer(7);
    QTest::newRow("wrong type") << wrongType << false
                                << QStringList { "response : 88",
                                       "response string:"
                                           + QString::fromLatin1(wrongType.toHex().toUpper()),
                                       "response status  : 7" };
}

void TstDfuProtocol::helloAnswerLines()
{
    QFETCH(QByteArray, response);
    QFETCH(bool, accepted);
    QFETCH(QStringList, lines);
    const HelloVerdict verdict = judgeHelloResponse(response);
    QCOMPARE(verdict.accepted, accepted);
    QCOMPARE(verdict.logLines, lines);
}

void TstDfuProtocol::chunkPlanAndBarValues_data()
{
    QTest::addColumn<qint64>("imageLength");
    QTest::addColumn<QVector<int>>("lengths");
    QTest::addColumn<QVector<int>>("bars");
    QTest::addColumn<qint64>("updates");

    QTest::newRow("20000 bytes") << qint64(20000) << QVector<int> { 8180, 8180, 3640 }
                                 << QVector<int> { 0, 250, 500 } << qint64(1);
    QTest::newRow("two full chunks") << qint64(2 * chunkSize) << QVector<int> { 8180, 8180, 0 }
                                     << QVector<int> { 0, 250, 500 } << qint64(1);
    QTest::newRow("one full chunk")
        << qint64(chunkSize) << QVector<int> { 8180, 0 } << QVector<int> { 0, 500 } << qint64(1);
    QTest::newRow("shorter than a chunk")
        << qint64(chunkSize - 1) << QVector<int> { 8179 } << QVector<int> { 500 } << qint64(1);
    QTest::newRow("one byte") << qint64(1) << QVector<int> { 1 } << QVector<int> { 500 }
                              << qint64(1);
    QTest::newRow("empty") << qint64(0) << QVector<int> {} << QVector<int> {} << qint64(0);
    QTest::newRow("just over one update")
        << updateSize + 1 << QVector<int> {} << QVector<int> {} << qint64(2);
    QTest::newRow("three updates")
        << 2 * updateSize + 1 << QVector<int> {} << QVector<int> {} << qint64(3);

    QVector<int> lengths(36, chunkSize);
    lengths << 528;
    QVector<int> bars;
    for (int k = 0; k <= 36; ++k)
        bars << 500 * k / 36;
    QTest::newRow("one whole update") << updateSize << lengths << bars << qint64(1);
}

void TstDfuProtocol::chunkPlanAndBarValues()
{
    QFETCH(qint64, imageLength);
    QFETCH(QVector<int>, lengths);
    QFETCH(QVector<int>, bars);
    QFETCH(qint64, updates);

    QCOMPARE(updatesNeeded(imageLength), updates);
    const QVector<ChunkPlan> plan = planChunks(imageLength);
    QVector<int> planLengths;
    QVector<int> planBars;
    quint32 expectedOffset = 0;
    for (const ChunkPlan &chunk : plan) {
        QCOMPARE(chunk.offset, expectedOffset);
        expectedOffset += quint32(chunk.length);
        planLengths << chunk.length;
        planBars << chunk.progress;
    }
    QCOMPARE(planLengths, lengths);
    QCOMPARE(planBars, bars);
}

void TstDfuProtocol::portNameDropsTheMarker_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("portName");

    QTest::newRow("marked") << "ttyUSB0 (ZEL)"
                            << "ttyUSB0";
    QTest::newRow("unmarked path") << "/dev/pts/4"
                                   << "/dev/pts/4";
    QTest::newRow("cut at the first marker") << "COM3 (a) (b)"
                                             << "COM3";
    QTest::newRow("parenthesis without blank") << "tty(1)"
                                               << "tty(1)";
    QTest::newRow("empty") << ""
                           << "";
}

void TstDfuProtocol::portNameDropsTheMarker()
{
    QFETCH(QString, entry);
    QFETCH(QString, portName);
    QCOMPARE(portNameFromEntry(entry), portName);
}

QTEST_GUILESS_MAIN(TstDfuProtocol)
#include "tst_dfu_protocol.moc"
