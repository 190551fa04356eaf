// The update's bytes and numbers: each message as it goes on the wire, the
// judging of the module's answers and the plan that cuts an image in chunks.

#include "moduleframes.h"

#include "dfuprotocol.h"

#include <QtTest>

using namespace zel::dfu;
using frames::hex;

namespace {

// The module's answer to the hello: type 1, version 1.2.3, 295008 bytes of
// storage, idle; its CRC position is never looked at.
const QByteArray helloAnswer
    = hex("DEADBEEF 01005800 03020100 60800400 FF000080 01000000") + QByteArray(64, '\xAB');
const QByteArray streamStart = hex("20025800 0000803F 00000000");

} // namespace

class TstDfuProtocol : public QObject
{
    Q_OBJECT

private slots:
    void wireBytesOfEachMessage_data();
    void wireBytesOfEachMessage();
    void acknowledgementIsJudgedByTypeAndStatusOnly();
    void helloAnswerIsFoundAndJudged_data();
    void helloAnswerIsFoundAndJudged();
    void chunkPlan_data();
    void chunkPlan();
};

void TstDfuProtocol::wireBytesOfEachMessage_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("wire");

    QTest::newRow("hello") << helloBody() << hex("14559DE9 00000800");
    QTest::newRow("OTA descriptor") << otaDescriptorBody() << hex("00D4BF7E 02000C00 00E00F00");
    // The image CRC of the nine digits is the check value CBF43926.
    QTest::newRow("update command") << updateCommandBody(9, crc32Of(QByteArray("123456789")))
                                    << hex("D47FE035 03001400 09000000 2639F4CB 00000000");
    QTest::newRow("reset") << resetBody() << hex("F071336C 06000C00 01000000");
    QTest::newRow("chunk of three bytes")
        << dataChunkBody(0x1FF4, "\xAA\xBB\xCC", 3) << hex("A210402D 08000F00 F41F0000 AABBCC");
    QTest::newRow("empty last chunk")
        << dataChunkBody(2 * 8180, nullptr, 0) << hex("DDCFF9FD 08000C00 E83F0000");
}

void TstDfuProtocol::wireBytesOfEachMessage()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, wire);
    QCOMPARE(wireMessage(body).toHex(' ').toUpper(), wire.toHex(' ').toUpper());
}

void TstDfuProtocol::acknowledgementIsJudgedByTypeAndStatusOnly()
{
    QVERIFY(judgeAcknowledgement(hex("EEEEEEEE 0700EEEE EEEEEEEE 00000000 EEEEEEEE")).accepted);
    QCOMPARE(judgeAcknowledgement(hex("A5A5A5A5 01000000 A5A5A5A5 00000000 A5A5A5A5")).logLine,
        "send_ackd_command string: A5A5A5A501000000A5A5A5A500000000A5A5A5A5");
}

void TstDfuProtocol::helloAnswerIsFoundAndJudged_data()
{
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<QStringList>("lines");

    const QStringList accepted { "response : 88",
        "response string:" + helloAnswer.toHex().toUpper(), "response status  : 1", "length = 5800",
        "version = 00010203", "storage = 00048060", "status2 = 800000FF", "state = 00000001" };
    QTest::newRow("behind the start of a sensor frame") << streamStart + helloAnswer << accepted;
    QByteArray otherType = helloAnswer;
    otherType[4] = 5;
    QTest::newRow("another type behind stream bytes")
        << streamStart + otherType << QStringList { "response : 100" };
}

void TstDfuProtocol::helloAnswerIsFoundAndJudged()
{
    QFETCH(QByteArray, response);
    QFETCH(QStringList, lines);
    const HelloVerdict verdict = judgeHelloResponse(helloAnswerWithin(response));
    QCOMPARE(verdict.logLines, lines);
    QCOMPARE(verdict.accepted, lines.size() == 8);
}

void TstDfuProtocol::chunkPlan_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<QStringList>("chunks"); // offset, bytes and the bar once acknowledged

    // The number of updates an image needs shows in the procedure's refusals.
    QTest::newRow("20000 bytes") << 20000
                                 << QStringList { "0 8180 0", "8180 8180 250", "16360 3640 500" };
    QTest::newRow("two chunks exactly")
        << 16360 << QStringList { "0 8180 0", "8180 8180 250", "16360 0 500" };
    QTest::newRow("shorter than a chunk") << 1000 << QStringList { "0 1000 500" };
}

void TstDfuProtocol::chunkPlan()
{
    QFETCH(int, length);
    QFETCH(QStringList, chunks);
    QStringList plan;
    for (const ChunkPlan &chunk : planChunks(length))
        plan << QStringLiteral("%1 %2 %3").arg(chunk.offset).arg(chunk.length).arg(chunk.progress);
    QCOMPARE(plan, chunks);
}

QTEST_GUILESS_MAIN(TstDfuProtocol)
#include "tst_dfu_protocol.moc"
