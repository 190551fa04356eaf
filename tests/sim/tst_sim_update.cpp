// The module with both its firmwares, driven in-process with a simulated
// clock: the switch to the update service and back, spoken to with the
// tool's own update messages.

#include "simoptions.h"
#include "simtestsupport.h"
#include "simulatedmodule.h"

#include "dfuprotocol.h"

#include <QtTest>

using namespace simtest;
using zel::sim::ApplicationVersion;
using zel::sim::HelloWatch;
using zel::sim::ModuleOptions;
using zel::sim::SimulatedModule;
using zel::sim::UpdateOptions;
using zel::sim::UpdateService;

namespace {

constexpr qint64 us = 1000;
constexpr qint64 ms = 1000 * us;
constexpr qint64 quietGap = 10 * ms; // the host's end of an answer

// Runs the module's clock forward in small steps and keeps what it sends,
// write by write.
struct Bench
{
    explicit Bench(const ModuleOptions &options = {}, const UpdateOptions &update = {})
        : module(options, update)
    {
    }

    void runFor(qint64 ns, qint64 step = 100 * us)
    {
        for (const qint64 end = now + ns; now < end;) {
            now = std::min(now + step, end);
            const QByteArray out = module.transmit(now);
            if (!out.isEmpty()) {
                wire += out;
                writes << out;
                lastWriteNs = now;
            }
        }
        events += module.takeEvents();
    }
    void send(const QByteArray &bytes)
    {
        module.receive(bytes, now);
        events += module.takeEvents();
    }
    void setHostBaud(int baud)
    {
        module.setHostBaud(baud, now);
        events += module.takeEvents();
    }
    QByteArray take()
    {
        writes.clear();
        return std::exchange(wire, QByteArray());
    }
    // Sends one update message and collects its answer as the host does:
    // until the line has been quiet for 10 ms.
    QByteArray exchange(const QByteArray &body)
    {
        take();
        send(zel::dfu::wireMessage(body));
        const qint64 giveUp = now + 500 * ms;
        while (now < giveUp && (wire.isEmpty() || now - lastWriteNs < quietGap))
            runFor(100 * us);
        return take();
    }
    bool acknowledged(const QByteArray &body)
    {
        return zel::dfu::judgeAcknowledgement(exchange(body)).accepted;
    }

    SimulatedModule module;
    qint64 now = 0;
    qint64 lastWriteNs = 0;
    QByteArray wire;
    QList<QByteArray> writes;
    QStringList events;
};

ModuleOptions atBaud(int baud)
{
    ModuleOptions options;
    options.baud = baud;
    return options;
}

QByteArray firmwareImage(int length)
{
    QByteArray image(length, '\0');
    quint32 state = 0x2545F491;
    for (char &byte : image) {
        state = state * 1664525u + 1013904223u;
        byte = char(state >> 24);
    }
    return image;
}

QByteArray versionReply(int major, int minor, int patch)
{
    QByteArray reply = longVersionReply;
    reply[4] = char(patch << 4);
    reply[5] = char(major << 4 | minor);
    return reply;
}

} // namespace

class TestSimUpdate : public QObject
{
    Q_OBJECT

private slots:
    void helloIsFoundInTheHostsBytes_data();
    void helloIsFoundInTheHostsBytes();
    void helloSwitchesOnlyAtTheUpdateRate_data();
    void helloSwitchesOnlyAtTheUpdateRate();
    void streamWaitsForTheRestOfAHello();
    void answersComeInWholeRuns_data();
    void answersComeInWholeRuns();
    void updateInstallsAndRestartsTheApplication_data();
    void updateInstallsAndRestartsTheApplication();
    void leavingTheUpdateRateAbandonsTheUpdate();
    void nextMinorVersion_data();
    void nextMinorVersion();
    void updateOptionsAreParsed();
};

void TestSimUpdate::helloIsFoundInTheHostsBytes_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<qint64>("gapNs");
    QTest::addColumn<QByteArray>("found");

    const QByteArray hello = UpdateService::helloRequest();
    const QByteArray descriptor = zel::dfu::wireMessage(zel::dfu::otaDescriptorBody());
    QTest::newRow("in one piece") << QList<QByteArray> { hello } << 0ll << hello;
    QTest::newRow("with the next message")
        << QList<QByteArray> { hello + descriptor } << 0ll << hello + descriptor;
    QTest::newRow("CRC, then the body")
        << QList<QByteArray> { hello.left(4), hello.mid(4) } << ms << hello;
    QTest::newRow("byte by byte") << QList<QByteArray> { hello.left(1), hello.mid(1, 1),
        hello.mid(2, 3), hello.mid(5) }
                                  << us << hello;
    QTest::newRow("after junk") << QList<QByteArray> { versionRequest + hello } << 0ll << hello;
    QTest::newRow("after its own first byte")
        << QList<QByteArray> { hello.left(1), hello } << us << hello;
    QTest::newRow("after a broken start")
        << QList<QByteArray> { hello.left(5), hello } << us << hello;
    QTest::newRow("rest too late")
        << QList<QByteArray> { hello.left(4), hello.mid(4) } << 30 * ms << QByteArray();
    QTest::newRow("application request")
        << QList<QByteArray> { versionRequest } << 0ll << QByteArray();
}

void TestSimUpdate::helloIsFoundInTheHostsBytes()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(qint64, gapNs);
    QFETCH(QByteArray, found);

    HelloWatch watch;
    qint64 now = 0;
    QByteArray result;
    for (const QByteArray &piece : pieces) {
        QVERIFY(result.isEmpty());
        result = watch.feed(piece, now);
        now += gapNs;
    }
    QCOMPARE(result, found);
    QVERIFY(!watch.expectsRestOfHello(now));
}

void TestSimUpdate::helloSwitchesOnlyAtTheUpdateRate_data()
{
    QTest::addColumn<int>("moduleBaud");
    QTest::addColumn<int>("hostBaud");
    QTest::addColumn<bool>("switches");

    QTest::newRow("host at the application's rate") << 115200 << 115200 << false;
    QTest::newRow("host at the update rate") << 115200 << 921600 << true;
    QTest::newRow("both at the update rate") << 921600 << 921600 << true;
    QTest::newRow("host below the module's rate") << 921600 << 115200 << false;
}

void TestSimUpdate::helloSwitchesOnlyAtTheUpdateRate()
{
    QFETCH(int, moduleBaud);
    QFETCH(int, hostBaud);
    QFETCH(bool, switches);

    Bench bench(atBaud(moduleBaud));
    bench.setHostBaud(hostBaud);
    bench.runFor(100 * ms);
    bench.take();
    bench.send(UpdateService::helloRequest());
    bench.runFor(200 * ms);

    QCOMPARE(bench.module.inUpdateService(), switches);
    QCOMPARE(bench.events.contains("dfu-start"), switches);
    if (switches) {
        // The answer and nothing else: the stream has stopped.
        QCOMPARE(bench.wire.size(), UpdateService::helloAnswerLength);
        QCOMPARE(zel::dfu::responseType(bench.wire), quint16(1));
        QCOMPARE(zel::dfu::readUInt32(bench.wire, 8), 0x010203u); // the application's version
    } else if (moduleBaud == hostBaud) {
        QVERIFY(sensorFrames(bench.wire).size() >= 5);
    } else {
        QVERIFY(bench.wire.size() > 500); // garbled, but still streaming
    }
}

void TestSimUpdate::streamWaitsForTheRestOfAHello()
{
    Bench bench(atBaud(921600));
    bench.setHostBaud(921600);
    bench.runFor(50 * ms);
    bench.take();
    bench.send(UpdateService::helloRequest().left(4));
    bench.runFor(HelloWatch::partialHelloTimeoutNs - ms);
    QVERIFY(bench.wire.isEmpty());

    // No rest came: the stream goes on where it left off.
    bench.runFor(100 * ms);
    QVERIFY(sensorFrames(bench.wire).size() >= 5);
    QVERIFY(!bench.module.inUpdateService());
}

void TestSimUpdate::answersComeInWholeRuns_data()
{
    QTest::addColumn<bool>("split");
    QTest::addColumn<int>("runs");

    QTest::newRow("whole answers") << false << 1;
    QTest::newRow("answers in pieces") << true << 11; // 88 bytes in pieces of 8
}

void TestSimUpdate::answersComeInWholeRuns()
{
    QFETCH(bool, split);
    QFETCH(int, runs);

    UpdateOptions update;
    update.faults.splitAnswers = split;
    Bench bench(atBaud(115200), update);
    bench.setHostBaud(921600);
    bench.take();
    bench.send(UpdateService::helloRequest());
    bench.runFor(100 * ms, 20 * us);

    QCOMPARE(bench.writes.size(), runs);
    QCOMPARE(bench.wire.size(), UpdateService::helloAnswerLength);
}

void TestSimUpdate::updateInstallsAndRestartsTheApplication_data()
{
    QTest::addColumn<int>("moduleBaud");
    QTest::addColumn<QString>("nextVersion");
    QTest::addColumn<QByteArray>("versionReply");

    QTest::newRow("application at 115200") << 115200 << QString() << versionReply(1, 3, 0);
    QTest::newRow("application at 921600") << 921600 << QString() << versionReply(1, 3, 0);
    QTest::newRow("version chosen") << 115200 << "2.0.1" << versionReply(2, 0, 1);
}

void TestSimUpdate::updateInstallsAndRestartsTheApplication()
{
    QFETCH(int, moduleBaud);
    QFETCH(QString, nextVersion);
    QFETCH(QByteArray, versionReply);

    UpdateOptions update;
    if (!nextVersion.isEmpty()) {
        const QStringList numbers = nextVersion.split('.');
        update.hasNextFirmware = true;
        update.nextFirmware
            = ApplicationVersion { numbers[0].toInt(), numbers[1].toInt(), numbers[2].toInt() };
    }
    Bench bench(atBaud(moduleBaud), update);
    bench.runFor(100 * ms);
    bench.setHostBaud(921600);

    const QByteArray image = firmwareImage(20000);
    QCOMPARE(bench.exchange(zel::dfu::helloBody()).size(), UpdateService::helloAnswerLength);
    QVERIFY(bench.acknowledged(zel::dfu::otaDescriptorBody()));
    QVERIFY(bench.acknowledged(
        zel::dfu::updateCommandBody(quint32(image.size()), zel::dfu::crc32Of(image))));
    for (const zel::dfu::ChunkPlan &chunk : zel::dfu::planChunks(image.size())) {
        QVERIFY(bench.acknowledged(
            zel::dfu::dataChunkBody(chunk.offset, image.constData() + chunk.offset, chunk.length)));
    }
    QVERIFY(bench.module.inUpdateService());
    QVERIFY(bench.acknowledged(zel::dfu::resetBody()));

    QVERIFY(!bench.module.inUpdateService());
    QCOMPARE(bench.module.installCount(), 1);
    QVERIFY(bench.module.installedImage() == image);
    const QString crc = QStringLiteral("%1").arg(zel::dfu::crc32Of(image), 8, 16, QLatin1Char('0'));
    QCOMPARE(bench.events.filter(QRegularExpression("^(dfu|firmware)")),
        (QStringList { "dfu-start", "dfu-hello 1.2.3", "dfu-descriptor", "dfu-update 20000",
            "dfu-chunk 0 8180", "dfu-chunk 8180 8180", "dfu-chunk 16360 3640",
            "dfu-installed 20000 " + crc, "dfu-reset",
            "firmware " + (nextVersion.isEmpty() ? QStringLiteral("1.3.0") : nextVersion) }));

    // The application comes back at its own rate once it has booted.
    bench.setHostBaud(moduleBaud);
    bench.runFor(zel::sim::rebootQuietUs * us);
    bench.send(versionRequest);
    bench.runFor(200 * ms);
    QCOMPARE(framesWithHeader(bench.wire, hex("1001")), QList<QByteArray> { versionReply });
    QVERIFY(sensorFrames(bench.wire).size() >= 5);
}

void TestSimUpdate::leavingTheUpdateRateAbandonsTheUpdate()
{
    Bench bench;
    bench.runFor(100 * ms);
    bench.setHostBaud(921600);
    QCOMPARE(bench.exchange(zel::dfu::helloBody()).size(), UpdateService::helloAnswerLength);
    QVERIFY(bench.acknowledged(zel::dfu::otaDescriptorBody()));
    bench.runFor(500 * ms);
    QVERIFY(bench.take().isEmpty()); // no stream while the service runs

    bench.setHostBaud(115200);
    QVERIFY(!bench.module.inUpdateService());
    QCOMPARE(bench.events.mid(bench.events.size() - 2),
        (QStringList { "dfu-abandoned", "firmware 1.2.3" }));
    bench.runFor(zel::sim::rebootQuietUs * us);
    bench.send(versionRequest);
    bench.runFor(200 * ms);
    QCOMPARE(framesWithHeader(bench.wire, hex("1001")), QList<QByteArray> { longVersionReply });
    QVERIFY(sensorFrames(bench.wire).size() >= 5);
    QCOMPARE(bench.module.installCount(), 0);
}

void TestSimUpdate::nextMinorVersion_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("next");

    QTest::newRow("minor step") << "1.2.3"
                                << "1.3.0";
    QTest::newRow("carried into the major") << "1.15.4"
                                            << "2.0.0";
    QTest::newRow("highest stays") << "15.15.15"
                                   << "15.15.15";
}

void TestSimUpdate::nextMinorVersion()
{
    QFETCH(QString, current);
    QFETCH(QString, next);

    zel::sim::SimOptions options;
    QString error;
    QCOMPARE(zel::sim::parseSimOptions({ "--fw-version", current }, &options, &error),
        zel::sim::ParseResult::Run);
    const ApplicationVersion v = zel::sim::nextMinorVersion(options.module.firmware);
    QCOMPARE(QStringLiteral("%1.%2.%3").arg(v.major).arg(v.minor).arg(v.patch), next);
}

void TestSimUpdate::updateOptionsAreParsed()
{
    zel::sim::SimOptions options;
    QString error;
    QCOMPARE(zel::sim::parseSimOptions({}, &options, &error), zel::sim::ParseResult::Run);
    const zel::sim::UpdateFaults none;
    QCOMPARE(options.update.faults.hello, none.hello);
    QCOMPARE(options.update.faults.refuseChunk, -1);
    QVERIFY(!options.update.hasNextFirmware);

    QCOMPARE(zel::sim::parseSimOptions(
                 { "--dfu-image", "out.bin", "--dfu-next-version=2.0.1", "--dfu-short-hello",
                     "--dfu-refuse-descriptor", "--dfu-refuse-update", "--dfu-refuse-chunk", "3",
                     "--dfu-stop-after-chunk", "4", "--dfu-long-gap=5", "--dfu-split-answers" },
                 &options, &error),
        zel::sim::ParseResult::Run);
    const zel::sim::UpdateFaults &faults = options.update.faults;
    QCOMPARE(options.dfuImagePath, QStringLiteral("out.bin"));
    QVERIFY(options.update.hasNextFirmware);
    QCOMPARE(options.update.nextFirmware.major, 2);
    QCOMPARE(options.update.nextFirmware.patch, 1);
    QCOMPARE(faults.hello, zel::sim::UpdateFaults::Hello::WrongLength);
    QVERIFY(faults.refuseDescriptor);
    QVERIFY(faults.refuseUpdateCommand);
    QCOMPARE(faults.refuseChunk, 3);
    QCOMPARE(faults.stopAnsweringAfterChunk, 4);
    QCOMPARE(faults.longGapInAnswer, 5);
    QVERIFY(faults.splitAnswers);
}

QTEST_GUILESS_MAIN(TestSimUpdate)
#include "tst_sim_update.moc"
