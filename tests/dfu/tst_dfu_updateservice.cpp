#include "dfutestsupport.h"

#include "dfuprotocol.h"
#include "updateservice.h"

#include <QtTest>

using zel::sim::UpdateFaults;
using zel::sim::UpdateService;
namespace dfu = zel::dfu;

namespace {

constexpr qint64 second = 1'000'000'000;
constexpr qint64 millisecond = 1'000'000;

qint64 lineTime(qint64 bytes)
{
    return bytes * second / UpdateService::lineBytesPerSecond;
}

struct TimedAnswer
{
    QByteArray bytes;
    QVector<qint64> dueNs;

    qint64 longestGap() const
    {
        qint64 gap = 0;
        for (int i = 1; i < dueNs.size(); ++i)
            gap = std::max(gap, dueNs[i] - dueNs[i - 1]);
        return gap;
    }
};

// Takes every queued byte with the time it falls due.
TimedAnswer drain(UpdateService &service)
{
    TimedAnswer answer;
    while (service.hasPendingOutput()) {
        const qint64 due = service.nextDueNs();
        const QByteArray bytes = service.takeDue(due);
        answer.bytes += bytes;
        for (int i = 0; i < bytes.size(); ++i)
            answer.dueNs << due;
    }
    return answer;
}

// The host's side of a conversation on a simulated clock: each message goes
// out once the previous answer is in.
class Conversation
{
public:
    explicit Conversation(const UpdateFaults &faults = {})
        : service(faults)
    {
    }

    TimedAnswer send(const QByteArray &body) { return sendWire(dfu::wireMessage(body)); }

    TimedAnswer sendWire(const QByteArray &wire)
    {
        service.receive(wire, now);
        const TimedAnswer answer = drain(service);
        now = (answer.dueNs.isEmpty() ? now + lineTime(wire.size()) : answer.dueNs.last())
            + 10 * millisecond;
        return answer;
    }

    // Hello, descriptor and update command for `image`.
    void announce(const QByteArray &image)
    {
        send(dfu::helloBody());
        send(dfu::otaDescriptorBody());
        send(dfu::updateCommandBody(quint32(image.size()), dfu::crc32Of(image)));
    }

    TimedAnswer sendChunk(const QByteArray &image, int offset, int length)
    {
        return send(dfu::dataChunkBody(quint32(offset), image.constData() + offset, length));
    }

    UpdateService service;
    qint64 now = 5 * second;
};

quint32 statusOf(const TimedAnswer &answer)
{
    return dfu::readUInt32(answer.bytes, 12);
}

} // namespace

class TstDfuUpdateService : public QObject
{
    Q_OBJECT

private slots:
    void helloIsAnsweredAtTheLineRate();
    void goodUpdateInstallsImageAndNewVersion();
    void wrongMessagesAreRefused_data();
    void wrongMessagesAreRefused();
    void hangLastsUntilPowerCycle();
    void answerGaps();
    void answerWaitsForTheWholeMessageToCross();
    void unfinishedMessageIsDroppedAfterSilence();
    void helloIsRecognisedAsUpdateTraffic();
};

void TstDfuUpdateService::helloIsAnsweredAtTheLineRate()
{
    UpdateService service;
    const qint64 start = 7 * second;
    service.receive(UpdateService::helloRequest(), start);
    const TimedAnswer answer = drain(service);

    QCOMPARE(answer.bytes.size(), 88);
    QCOMPARE(dfu::responseType(answer.bytes), quint16(1));
    QCOMPARE(answer.bytes.mid(6, 2), QByteArray::fromHex("5800"));
    QCOMPARE(dfu::readUInt32(answer.bytes, 8), 0x00010200u);
    QCOMPARE(dfu::readUInt32(answer.bytes, 12), UpdateService::capacity);
    QCOMPARE(dfu::readUInt32(answer.bytes, 0), dfu::crc32Of(answer.bytes.mid(4)));
    // Not before the hello has crossed and the first answer byte has too.
    QVERIFY(answer.dueNs.first() >= start + lineTime(8) + lineTime(1));
    QVERIFY(qAbs(answer.dueNs.last() - answer.dueNs.first() - lineTime(87)) <= 1);
    QVERIFY(answer.longestGap() <= lineTime(1) + 1);
}

void TstDfuUpdateService::goodUpdateInstallsImageAndNewVersion()
{
    Conversation host;
    const QByteArray image = firmwareImage(20000);
    host.announce(image);
    for (const dfu::ChunkPlan &chunk : dfu::planChunks(image.size())) {
        const TimedAnswer ack = host.sendChunk(image, int(chunk.offset), chunk.length);
        QCOMPARE(dfu::judgeAcknowledgement(ack.bytes).logLine, QString());
    }
    QCOMPARE(host.service.installCount(), 0);
    QCOMPARE(statusOf(host.send(dfu::resetBody())), 0u);

    QCOMPARE(host.service.installedImage(), image);
    QCOMPARE(host.service.installCount(), 1);
    QCOMPARE(host.service.resetCount(), 1);
    QCOMPARE(host.service.firmwareVersion().toString(), QStringLiteral("1.3.0"));

    // The next greeting reports the version now installed.
    QCOMPARE(dfu::readUInt32(host.send(dfu::helloBody()).bytes, 8), 0x00010300u);
}

void TstDfuUpdateService::wrongMessagesAreRefused_data()
{
    QTest::addColumn<QList<QByteArray>>("wires");
    QTest::addColumn<quint32>("status");

    const QByteArray image = firmwareImage(10000);
    const QByteArray hello = dfu::wireMessage(dfu::helloBody());
    const QByteArray descriptor = dfu::wireMessage(dfu::otaDescriptorBody());
    const QByteArray command
        = dfu::wireMessage(dfu::updateCommandBody(quint32(image.size()), dfu::crc32Of(image)));
    auto chunk = [&image](int offset, int length) {
        return dfu::wireMessage(
            dfu::dataChunkBody(quint32(offset), image.constData() + offset, length));
    };
    QByteArray corrupted = descriptor;
    corrupted[9] = char(corrupted[9] ^ 0x01);

    QTest::newRow("bad CRC") << QList<QByteArray> { hello, corrupted }
                             << quint32(UpdateService::BadCrc);
    QTest::newRow("descriptor before hello")
        << QList<QByteArray> { descriptor } << quint32(UpdateService::OutOfSequence);
    QTest::newRow("chunk before update command") << QList<QByteArray> { hello, descriptor,
        chunk(0, 100) } << quint32(UpdateService::OutOfSequence);
    QTest::newRow("chunk at the wrong offset") << QList<QByteArray> { hello, descriptor, command,
        chunk(0, 100), chunk(200, 100) } << quint32(UpdateService::OutOfSequence);
    QTest::newRow("chunk repeated")
        << QList<QByteArray> { hello, descriptor, command, chunk(0, 100), chunk(0, 100) }
        << quint32(UpdateService::OutOfSequence);
    QTest::newRow("more bytes than announced") << QList<QByteArray> { hello, descriptor,
        dfu::wireMessage(dfu::updateCommandBody(50, dfu::crc32Of(image.left(50)))), chunk(0, 100) }
                                               << quint32(UpdateService::TooLarge);
    QTest::newRow("image CRC differs") << QList<QByteArray> { hello, descriptor,
        dfu::wireMessage(dfu::updateCommandBody(100, 0x12345678)), chunk(0, 100) }
                                       << quint32(UpdateService::ImageCrcMismatch);
    QTest::newRow("image larger than the update area") << QList<QByteArray> { hello, descriptor,
        dfu::wireMessage(dfu::updateCommandBody(UpdateService::capacity + 1, 0)) }
                                                       << quint32(UpdateService::TooLarge);
    QTest::newRow("empty image") << QList<QByteArray> { hello, descriptor,
        dfu::wireMessage(dfu::updateCommandBody(0, 0)) }
                                 << quint32(UpdateService::TooLarge);
    QByteArray unknown = dfu::helloBody();
    unknown[0] = 9;
    QTest::newRow("unknown type") << QList<QByteArray> { hello, dfu::wireMessage(unknown) }
                                  << quint32(UpdateService::UnknownType);
}

void TstDfuUpdateService::wrongMessagesAreRefused()
{
    QFETCH(QList<QByteArray>, wires);
    QFETCH(quint32, status);

    Conversation host;
    TimedAnswer last;
    for (const QByteArray &wire : wires)
        last = host.sendWire(wire);
    QCOMPARE(last.bytes.size(), 20);
    QCOMPARE(dfu::responseType(last.bytes), quint16(7));
    QCOMPARE(statusOf(last), status);
}

void TstDfuUpdateService::hangLastsUntilPowerCycle()
{
    UpdateFaults faults;
    faults.stopAnsweringAfterChunk = 0;
    Conversation host(faults);
    const QByteArray image = firmwareImage(9000);
    host.announce(image);
    host.sendChunk(image, 0, dfu::chunkSize);
    QVERIFY(host.sendChunk(image, dfu::chunkSize, 820).bytes.isEmpty());
    QVERIFY(host.send(dfu::helloBody()).bytes.isEmpty());

    host.service.powerCycle();
    QCOMPARE(host.send(dfu::helloBody()).bytes.size(), 88);
}

void TstDfuUpdateService::answerGaps()
{
    UpdateFaults longGap;
    longGap.longGapInAnswer = 1;
    Conversation cut(longGap);
    QVERIFY(cut.send(dfu::helloBody()).longestGap() < 10 * millisecond);
    const TimedAnswer ack = cut.send(dfu::otaDescriptorBody());
    QCOMPARE(ack.bytes.size(), 20);
    QVERIFY(ack.dueNs.at(10) - ack.dueNs.at(9) >= 10 * millisecond);
    QVERIFY(ack.dueNs.at(9) - ack.dueNs.at(0) < millisecond);

    UpdateFaults split;
    split.splitAnswers = true;
    Conversation pieces(split);
    const TimedAnswer hello = pieces.send(dfu::helloBody());
    QCOMPARE(hello.bytes.size(), 88);
    QVERIFY(hello.longestGap() >= split.splitGapNs);
    QVERIFY(hello.longestGap() < 10 * millisecond);
    QCOMPARE(hello.dueNs.at(8) - hello.dueNs.at(7), split.splitGapNs + lineTime(1));
}

void TstDfuUpdateService::answerWaitsForTheWholeMessageToCross()
{
    Conversation host;
    const QByteArray image = firmwareImage(dfu::chunkSize);
    host.announce(image);
    const qint64 sentAt = host.now;
    const TimedAnswer ack = host.sendChunk(image, 0, dfu::chunkSize);
    QVERIFY(ack.dueNs.first() >= sentAt + lineTime(8192));
}

void TstDfuUpdateService::unfinishedMessageIsDroppedAfterSilence()
{
    UpdateService service;
    const QByteArray descriptor = dfu::wireMessage(dfu::otaDescriptorBody());
    service.receive(descriptor.left(6), second);
    service.receive(UpdateService::helloRequest(), second + UpdateService::resyncSilenceNs);
    QCOMPARE(drain(service).bytes.size(), 88);
}

void TstDfuUpdateService::helloIsRecognisedAsUpdateTraffic()
{
    QCOMPARE(UpdateService::helloRequest(), dfu::wireMessage(dfu::helloBody()));
    QVERIFY(UpdateService::startsWithHello(dfu::wireMessage(dfu::helloBody()) + "tail"));
    QVERIFY(!UpdateService::startsWithHello(QByteArray::fromHex("1002020000010D0A")));
    QVERIFY(!UpdateService::startsWithHello(UpdateService::helloRequest().left(7)));
}

QTEST_GUILESS_MAIN(TstDfuUpdateService)
#include "tst_dfu_updateservice.moc"
