// The module model driven in-process with bytes and a simulated clock.

#include "applicationfirmware.h"
#include "simoptions.h"
#include "simtestsupport.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace simtest;
using zel::sim::ApplicationFirmware;
using zel::sim::ModuleOptions;

namespace {

constexpr qint64 ms = 1000;
constexpr qint64 second = 1000000;

// Runs the module's clock forward in 1 ms steps and keeps what it sends.
struct Bench
{
    explicit Bench(const ModuleOptions &options = ModuleOptions())
        : model(options)
    {
    }

    void runFor(qint64 us)
    {
        for (const qint64 end = now + us; now < end;)
            wire += model.transmit(now = std::min(now + ms, end));
    }
    void runTo(qint64 us) { runFor(us - now); }
    void send(const QByteArray &bytes) { model.receive(bytes, now); }
    QByteArray take() { return std::exchange(wire, QByteArray()); }

    ApplicationFirmware model;
    qint64 now = 0;
    QByteArray wire;
};

ModuleOptions withOutput(bool on)
{
    ModuleOptions options;
    options.outputEnabled = on;
    return options;
}

int countBetween(const QList<Sensor> &samples, double from, double to)
{
    return int(std::count_if(samples.begin(), samples.end(),
        [&](const Sensor &s) { return s.timestamp() >= from && s.timestamp() < to; }));
}

} // namespace

class TestSimModel : public QObject
{
    Q_OBJECT

private slots:
    void repliesAreByteExact_data();
    void repliesAreByteExact();
    void dataCtrlWriteIsReadBack_data();
    void dataCtrlWriteIsReadBack();
    void baudChangeLeavesOldRateHostGarbled();
    void outputOffStopsTheStream();
    void resetRestoresDefaults();
    void rebootGoesQuietThenResumes();
    void qualityStatus_data();
    void qualityStatus();
    void junkBeforeCommandsIsSkipped_data();
    void junkBeforeCommandsIsSkipped();
    void randomInputLeavesTheModuleWorking();
    void streamRateFollowsOdr_data();
    void streamRateFollowsOdr();
    void pacingNeverExceedsLineRate_data();
    void pacingNeverExceedsLineRate();
    void garbageBurstsNeverFormFrames();
    void silenceStopsAllOutput();
};

void TestSimModel::repliesAreByteExact_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply"); // empty: no reply at all

    QTest::newRow("long version") << QStringList() << versionRequest << longVersionReply;
    QTest::newRow("short version")
        << QStringList { "--short-version" } << versionRequest << hex("10010400301200000d0a");
    QTest::newRow("version nibbles") << QStringList { "--short-version", "--fw-version", "15.0.9" }
                                     << versionRequest << hex("1001040090f000000d0a");
    QTest::newRow("no version reply")
        << QStringList { "--no-version-reply" } << versionRequest << QByteArray();
    QTest::newRow("data-control record")
        << QStringList() << dataCtrlRequest << defaultDataCtrlReply;
    QTest::newRow("record from options") << QStringList { "--baud", "38400", "--odr", "4", "--mode",
        "imu", "--output", "off", "--mag-field", "38.55" }
                                         << dataCtrlRequest
                                         << hex("20050c00"
                                                "040101020000"
                                                "0000"
                                                "33331a42"
                                                "0d0a");
}

void TestSimModel::repliesAreByteExact()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);

    zel::sim::SimOptions options;
    QString error;
    QCOMPARE(zel::sim::parseSimOptions(arguments, &options, &error), zel::sim::ParseResult::Run);
    Bench bench(options.module);
    // The reply must come out whole while the stream keeps the line busy.
    bench.runTo(100 * ms);
    bench.take();
    bench.send(request);
    bench.runFor(200 * ms);
    const QList<QByteArray> replies = framesWithHeader(bench.take(), request.left(2));
    QCOMPARE(replies, reply.isEmpty() ? QList<QByteArray>() : QList<QByteArray> { reply });
}

void TestSimModel::dataCtrlWriteIsReadBack_data()
{
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<float>("magField");
    QTest::addColumn<QByteArray>("readBack");
    QTest::addColumn<int>("baud");
    QTest::addColumn<QStringList>("events");

    QTest::newRow("rate, mode, output, field")
        << hex("030101000000") << 48.53f << hex("030101000000") << 115200
        << QStringList { "datactrl-write 030101000000 48.53" };
    QTest::newRow("fast line") << hex("040001010001") << 45.55f << hex("040001010001") << 921600
                               << QStringList { "datactrl-write 040001010001 45.55",
                                      "baud 921600" };
    QTest::newRow("slow line") << hex("010001020001") << 38.55f << hex("010001020001") << 38400
                               << QStringList { "datactrl-write 010001020001 38.55", "baud 38400" };
    QTest::newRow("unknown codes keep old values")
        << hex("090501070009") << 45.55f << hex("020001000001") << 115200
        << QStringList { "datactrl-write 090501070009 45.55" };
    QTest::newRow("reserved bytes stored as given")
        << hex("02007f00aa01") << 47.89f << hex("02007f00aa01") << 115200
        << QStringList { "datactrl-write 02007f00aa01 47.89" };
}

void TestSimModel::dataCtrlWriteIsReadBack()
{
    QFETCH(QByteArray, written);
    QFETCH(float, magField);
    QFETCH(QByteArray, readBack);
    QFETCH(int, baud);
    QFETCH(QStringList, events);

    Bench bench;
    bench.runTo(50 * ms);
    bench.send(dataCtrlWrite(written, magField));
    QCOMPARE(bench.model.uartBaud(), baud);
    bench.model.setHostBaud(baud, bench.now); // the host follows, then asks
    bench.runFor(50 * ms);
    bench.take();
    bench.send(dataCtrlRequest);
    bench.runFor(200 * ms);

    const QList<QByteArray> replies = framesWithHeader(bench.take(), hex("20050c00"));
    QCOMPARE(replies.size(), 1);
    QCOMPARE(replies.first().mid(4, 6).toHex(), readBack.toHex());
    QCOMPARE(floatAt(replies.first(), 12), magField);
    QCOMPARE(bench.model.takeEvents(), events << "datactrl-request");
}

void TestSimModel::baudChangeLeavesOldRateHostGarbled()
{
    Bench bench;
    bench.send(dataCtrlWrite(hex("020001010001"), 45.55f));
    bench.runFor(500 * ms);
    bench.send(versionRequest); // not understood at the old rate
    bench.runFor(500 * ms);
    const QByteArray garbled = bench.take();
    QVERIFY(garbled.size() > 4000);
    QVERIFY(!garbled.contains('\n'));
    QCOMPARE(bench.model.takeEvents(),
        (QStringList { "datactrl-write 020001010001 45.55", "baud 921600", "garbled" }));

    bench.model.setHostBaud(921600, bench.now);
    bench.runFor(100 * ms);
    bench.take();
    bench.send(versionRequest);
    bench.runFor(500 * ms);
    const QByteArray clean = bench.take();
    QCOMPARE(framesWithHeader(clean, hex("1001")), QList<QByteArray> { longVersionReply });
    QVERIFY(sensorFrames(clean).size() >= 24);

    bench.model.setHostBaud(38400, bench.now); // a new mismatch is reported again
    bench.runFor(100 * ms);
    QCOMPARE(bench.model.takeEvents(), (QStringList { "version-request", "garbled" }));
}

void TestSimModel::outputOffStopsTheStream()
{
    Bench bench;
    bench.runTo(second);
    QVERIFY(sensorFrames(bench.take()).size() >= 49);
    bench.send(dataCtrlWrite(hex("020001000000"), 45.55f));
    bench.runFor(50 * ms); // a frame already on its way still completes
    bench.take();
    bench.runFor(second);
    QVERIFY(bench.take().isEmpty());
    bench.send(dataCtrlRequest);
    bench.runFor(50 * ms);
    QCOMPARE(bench.take(), hex("20050c000200010000000000333336420d0a"));
}

void TestSimModel::resetRestoresDefaults()
{
    ModuleOptions options;
    options.baud = 921600;
    options.odrCode = 3;
    options.imuMode = true;
    options.magField = 48.97f;
    Bench bench(options);
    bench.runTo(second);
    bench.send(calibrateCommand);
    bench.send(resetCommand);
    QCOMPARE(bench.model.takeEvents(), (QStringList { "calibrate", "reset", "baud 115200" }));

    bench.model.setHostBaud(115200, bench.now);
    bench.runFor(50 * ms);
    bench.take();
    bench.send(dataCtrlRequest);
    bench.runTo(3 * second);
    const QByteArray wire = bench.take();
    QCOMPARE(framesWithHeader(wire, hex("2005")), QList<QByteArray> { defaultDataCtrlReply });
    const QList<Sensor> samples = decodeSensors(wire);
    QCOMPARE(countBetween(samples, 2.0, 3.0), 50);
    for (const Sensor &s : samples)
        QCOMPARE(s.quality, 3u); // the reset ended the calibration too
}

void TestSimModel::rebootGoesQuietThenResumes()
{
    Bench bench;
    bench.send(dataCtrlWrite(hex("030001000001"), 45.55f));
    bench.runTo(second);
    bench.take();
    bench.send(rebootCommand);
    bench.runFor(100 * ms);
    bench.send(versionRequest); // ignored while rebooting
    bench.runFor(195 * ms);
    QVERIFY(bench.take().isEmpty());

    bench.runTo(2 * second);
    const QByteArray after = bench.take();
    QVERIFY(framesWithHeader(after, hex("1001")).isEmpty());
    QCOMPARE(countBetween(decodeSensors(after), 1.5, 2.0), 50); // still at 100 Hz
    QCOMPARE(
        bench.model.takeEvents(), (QStringList { "datactrl-write 030001000001 45.55", "reboot" }));
}

void TestSimModel::qualityStatus_data()
{
    QTest::addColumn<double>("poorSeconds");
    QTest::addColumn<bool>("calibrate"); // at 0.5 s, for 1 s
    QTest::addColumn<double>("poorFrom");
    QTest::addColumn<double>("poorTo");

    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("always good") << 0.0 << false << 0.0 << 0.0;
    // The first second of streaming, which began with the sample at 0.02 s.
    QTest::newRow("poor at first") << 1.0 << false << 0.0 << 1.02;
    QTest::newRow("always poor") << inf << false << 0.0 << inf;
    QTest::newRow("calibration") << 0.0 << true << 0.52 << 1.5;
}

void TestSimModel::qualityStatus()
{
    QFETCH(double, poorSeconds);
    QFETCH(bool, calibrate);
    QFETCH(double, poorFrom);
    QFETCH(double, poorTo);

    ModuleOptions options;
    options.poorQualitySeconds = poorSeconds;
    options.calibrationSeconds = 1.0;
    Bench bench(options);
    bench.runTo(500 * ms);
    if (calibrate)
        bench.send(calibrateCommand);
    bench.runTo(2500 * ms);
    const QList<Sensor> samples = decodeSensors(bench.take());
    QVERIFY(samples.size() >= 120);
    for (const Sensor &s : samples) {
        const bool poor = s.timestamp() >= poorFrom - 1e-4 && s.timestamp() < poorTo - 1e-4;
        QCOMPARE(s.quality, poor ? 1u : 3u);
    }
}

void TestSimModel::junkBeforeCommandsIsSkipped_data()
{
    QTest::addColumn<QByteArray>("junk");
    QTest::addColumn<bool>("byteByByte");

    const QList<QPair<const char *, QByteArray>> junk = {
        { "random bytes", hex("ff0013377e") },
        { "header prefixes", hex("1010012005") },
        { "broken terminator", hex("100100000d0b") },
        { "stray terminators", hex("0d0a0d0a") },
        { "frames of other kinds", hex("200900000d0a100300000d0a") },
        { "huge length field", hex("1002ffff") },
        { "truncated data-control write", hex("20040c0002000100") },
    };
    for (const auto &row : junk) {
        QTest::addRow("%s, whole", row.first) << row.second << false;
        QTest::addRow("%s, byte by byte", row.first) << row.second << true;
    }
}

void TestSimModel::junkBeforeCommandsIsSkipped()
{
    QFETCH(QByteArray, junk);
    QFETCH(bool, byteByByte);

    Bench bench(withOutput(false));
    const QByteArray input = junk + versionRequest + junk + identifyCommand;
    for (int i = 0; i < input.size(); i += byteByByte ? 1 : input.size())
        bench.send(input.mid(i, byteByByte ? 1 : -1));
    bench.runFor(100 * ms);
    // Identify is the LED alone: nothing on the wire but the version reply.
    QCOMPARE(bench.take(), longVersionReply);
    QCOMPARE(bench.model.takeEvents(), (QStringList { "version-request", "identify" }));
}

void TestSimModel::randomInputLeavesTheModuleWorking()
{
    Bench bench;
    QRandomGenerator random(1234);
    for (int round = 0; round < 2000; ++round) {
        QByteArray chunk(int(random.bounded(1, 600)), '\0');
        for (char &c : chunk)
            c = char(random.bounded(256));
        bench.send(chunk);
        bench.runFor(random.bounded(0, 3) * ms);
    }
    bench.runFor(100 * ms);
    bench.take();
    bench.send(versionRequest);
    bench.runFor(200 * ms);
    QCOMPARE(framesWithHeader(bench.take(), hex("1001")), QList<QByteArray> { longVersionReply });
}

void TestSimModel::streamRateFollowsOdr_data()
{
    QTest::addColumn<int>("odrCode");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("minFrames");
    QTest::addColumn<int>("maxFrames");

    QTest::newRow("10 Hz") << 0 << 115200 << 10 << 10;
    QTest::newRow("25 Hz") << 1 << 115200 << 25 << 25;
    QTest::newRow("50 Hz") << 2 << 115200 << 50 << 50;
    QTest::newRow("100 Hz") << 3 << 115200 << 100 << 100;
    QTest::newRow("500 Hz") << 4 << 921600 << 500 << 500;
    // 11520 bytes a second carry 122.6 frames of 94 bytes, 3840 bytes 40.9.
    QTest::newRow("500 Hz, line-limited") << 4 << 115200 << 118 << 123;
    QTest::newRow("50 Hz, line-limited") << 2 << 38400 << 38 << 41;
}

void TestSimModel::streamRateFollowsOdr()
{
    QFETCH(int, odrCode);
    QFETCH(int, baud);
    QFETCH(int, minFrames);
    QFETCH(int, maxFrames);

    ModuleOptions options;
    options.odrCode = odrCode;
    options.baud = baud;
    Bench bench(options);
    bench.runTo(3 * second);
    const QList<Sensor> samples = decodeSensors(bench.take());
    const int count = countBetween(samples, 1.0, 2.0);
    QVERIFY2(count >= minFrames && count <= maxFrames, qPrintable(QString::number(count)));
    for (int i = 1; i < samples.size(); ++i)
        QVERIFY(samples[i].timestamp() > samples[i - 1].timestamp());
}

void TestSimModel::pacingNeverExceedsLineRate_data()
{
    QTest::addColumn<int>("baud");
    QTest::newRow("38400") << 38400;
    QTest::newRow("115200") << 115200;
    QTest::newRow("921600") << 921600;
}

void TestSimModel::pacingNeverExceedsLineRate()
{
    QFETCH(int, baud);

    ModuleOptions options;
    options.baud = baud;
    options.odrCode = 4;
    options.garbageEvery = 1; // more than any of the rates can carry
    options.garbageBytes = 200;
    ApplicationFirmware model(options);

    // Irregular steps: the pacing must not depend on how often it is asked.
    const qint64 steps[] = { 1000, 300, 7000, 1000, 2500, 50, 1000 };
    QList<QPair<qint64, int>> sent; // step time, bytes finished since the step before
    qint64 total = 0;
    for (qint64 now = 0, i = 0; now < 4 * second; ++i) {
        now += steps[i % 7];
        sent.append({ now, model.transmit(now).size() });
        total += sent.last().second;
    }
    // Sum the steps whose whole slice of time lies within the last second.
    const qint64 perSecond = baud / 10;
    qint64 window = 0;
    for (int j = 0, first = 0; j < sent.size(); ++j) {
        window += sent[j].second;
        while ((first == 0 ? 0 : sent[first - 1].first) < sent[j].first - second)
            window -= sent[first++].second;
        QVERIFY2(window <= perSecond, qPrintable(QString::number(window)));
    }
    QVERIFY(total >= 4 * perSecond * 98 / 100); // and the line never idles meanwhile
}

void TestSimModel::garbageBurstsNeverFormFrames()
{
    ModuleOptions options;
    options.garbageEvery = 3;
    options.garbageBytes = 37;
    options.seed = 7;
    Bench bench(options);
    bench.runTo(3 * second);
    // Stop the stream so that the line ends on whole frames and bursts.
    bench.send(dataCtrlWrite(hex("020001000000"), 45.55f));
    bench.runFor(200 * ms);
    const QByteArray wire = bench.take();

    const QList<QByteArray> frames = sensorFrames(wire);
    QVERIFY(frames.size() >= 148);
    QCOMPARE(findFrames(wire).size(), frames.size());
    QCOMPARE(wire.size(), frames.size() * 94 + frames.size() / 3 * 37);
    QCOMPARE(wire.count("\r\n"), frames.size()); // every terminator ends a real frame

    Bench again(options); // the seed makes it repeatable
    again.runTo(3 * second);
    QVERIFY(wire.startsWith(again.take()));
}

void TestSimModel::silenceStopsAllOutput()
{
    ModuleOptions options;
    options.silenceAfterSeconds = 1.0;
    options.silenceForSeconds = 0.5;
    Bench bench(options);
    bench.runTo(200 * ms);
    bench.model.silence(0.3, bench.now);
    bench.send(versionRequest); // heard, but the answer is lost
    bench.runTo(2 * second);
    const QList<Sensor> samples = decodeSensors(bench.wire);
    QCOMPARE(countBetween(samples, 0.2, 0.5), 0);
    QCOMPARE(countBetween(samples, 0.5, 1.0), 25);
    QCOMPARE(countBetween(samples, 1.0, 1.5), 0);
    QCOMPARE(countBetween(samples, 1.5, 2.0), 25);
    QVERIFY(framesWithHeader(bench.wire, hex("1001")).isEmpty());
    QCOMPARE(bench.model.takeEvents(), QStringList { "version-request" });
}

QTEST_GUILESS_MAIN(TestSimModel)
#include "tst_sim_model.moc"
