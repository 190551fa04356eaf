// A firmware update through the zel-sim process, run by the tool's own update
// procedure, and the application firmware that comes back after it.

#include "simprocess.h"
#include "simtestsupport.h"

#include "dfuprocedure.h"
#include "dfuprotocol.h"

#include <QSerialPort>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace simtest;
using zel::dfu::DfuOutcome;

Q_DECLARE_METATYPE(DfuOutcome)

namespace {

constexpr int patience = 10000; // ms; only ever waited out on a failure

// 18 full chunks and one of 2760 bytes.
constexpr int imageLength = 150000;
static_assert(imageLength % zel::dfu::chunkSize != 0, "the last chunk carries image bytes");
constexpr int lastChunk = imageLength / zel::dfu::chunkSize;
const QString refusal = QStringLiteral("send_ackd_command status wrong: 2147483648");

class RecordingSink : public zel::dfu::DfuProcedureSink
{
public:
    void appendLog(const QString &text) override { log << text; }
    void clearLog() override { log.clear(); }
    void setProgress(int value) override { bar = value; }
    int progress() const override { return bar; }
    void updateInterrupted() override { ++interruptions; }
    void fileOpenFailed(const QString &reason) override { log << "file open failed: " + reason; }

    QStringList log;
    int bar = 0;
    int interruptions = 0;
};

// Bytes with the look of machine code: no long runs, every value present.
QByteArray firmwareImage(int length, quint32 seed)
{
    QByteArray image(length, '\0');
    quint32 state = seed;
    for (char &byte : image) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = char(state >> 24);
    }
    return image;
}

// The long version reply of the simulated module for version x.y.z.
QByteArray versionReply(int major, int minor, int patch)
{
    QByteArray reply = longVersionReply;
    reply[4] = char(patch << 4);
    reply[5] = char(major << 4 | minor);
    return reply;
}

QString crcText(const QByteArray &bytes)
{
    return QStringLiteral("%1").arg(zel::dfu::crc32Of(bytes), 8, 16, QLatin1Char('0'));
}

// What the tool does after an update: connect again at 115200 and ask for
// the version until the module, booting, answers. Returns all that came in.
QByteArray reconnect(SimProcess &sim, int sensorFramesWanted)
{
    QSerialPort port(sim.portPath());
    port.setBaudRate(115200);
    if (!port.open(QIODevice::ReadWrite))
        return QByteArray();
    QTimer asker;
    QObject::connect(&asker, &QTimer::timeout, [&port] { port.write(versionRequest); });
    asker.start(50);
    QByteArray received;
    const auto enough = [sensorFramesWanted](const QByteArray &r) {
        return !framesWithHeader(r, hex("1001")).isEmpty()
            && sensorFrames(r).size() >= sensorFramesWanted;
    };
    // On a timeout the caller finds what is missing.
    const bool complete = QTest::qWaitFor(
        [&] {
            received += port.readAll();
            return enough(received);
        },
        patience);
    Q_UNUSED(complete);
    return received;
}

} // namespace

class TestSimDfu : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void updateInstallsTheImage_data();
    void updateInstallsTheImage();
    void faultsFailTheUpdate_data();
    void faultsFailTheUpdate();

private:
    DfuOutcome update(SimProcess &sim, RecordingSink &sink);

    QTemporaryDir files;
    QByteArray image;
    QString imagePath;
};

void TestSimDfu::initTestCase()
{
    QVERIFY(files.isValid());
    image = firmwareImage(imageLength, 0x9E3779B9);
    imagePath = files.filePath("firmware.bin");
    QFile file(imagePath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(image), qint64(image.size()));
}

DfuOutcome TestSimDfu::update(SimProcess &sim, RecordingSink &sink)
{
    QSerialPort port;
    const DfuOutcome outcome
        = zel::dfu::runFirmwareUpdate(port, sim.portPath() + " (ZEL)", imagePath, sink);
    if (port.isOpen())
        qWarning("the update left the port open");
    return outcome;
}

void TestSimDfu::updateInstallsTheImage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("whole answers") << QStringList();
    QTest::newRow("answers in pieces") << QStringList { "--dfu-split-answers" };
}

void TestSimDfu::updateInstallsTheImage()
{
    QFETCH(QStringList, arguments);
    const QString installedPath = files.filePath("installed.bin");
    QFile::remove(installedPath);
    SimProcess sim;
    QVERIFY(sim.start(arguments << "--dfu-image" << installedPath));

    RecordingSink sink;
    QCOMPARE(update(sim, sink), DfuOutcome::Succeeded);
    QCOMPARE(sink.log.last(), QStringLiteral("device reset"));
    QCOMPARE(sink.bar, zel::dfu::progressFullScale);
    // The service reports the application's own version.
    QVERIFY(sink.log.contains("version = 00010203"));

    QCOMPARE(sim.waitForEvent("firmware "), QStringLiteral("firmware 1.3.0"));
    const QString installed
        = QStringLiteral("dfu-installed %1 %2").arg(imageLength).arg(crcText(image));
    QStringList expected { "dfu-start", "dfu-hello 1.2.3", "dfu-descriptor",
        QStringLiteral("dfu-update %1").arg(imageLength) };
    for (int offset = 0; offset < imageLength; offset += zel::dfu::chunkSize) {
        expected << QStringLiteral("dfu-chunk %1 %2")
                        .arg(offset)
                        .arg(std::min(zel::dfu::chunkSize, imageLength - offset));
    }
    expected << installed << "dfu-reset";
    QCOMPARE(sim.events().filter(QRegularExpression("^dfu-")), expected);

    QFile file(installedPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll() == image);

    const QByteArray received = reconnect(sim, 5);
    QCOMPARE(framesWithHeader(received, hex("1001")).value(0), versionReply(1, 3, 0));
    QVERIFY(sensorFrames(received).size() >= 5);
}

void TestSimDfu::faultsFailTheUpdate_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<DfuOutcome>("outcome");
    QTest::addColumn<QString>("logLine");
    QTest::addColumn<QString>("simEvent");

    const QString refusedChunk = QStringLiteral("dfu-refused chunk %1: status 2147483648");
    QTest::newRow("no hello answer")
        << QStringList { "--dfu-no-hello" } << DfuOutcome::NotStarted << "response : 0"
        << "dfu-hello unanswered";
    QTest::newRow("hello answer of another type")
        << QStringList { "--dfu-wrong-hello" } << DfuOutcome::NotStarted << "response status  : 5"
        << "dfu-hello type 5";
    QTest::newRow("hello answer too short")
        << QStringList { "--dfu-short-hello" } << DfuOutcome::NotStarted << "response : 64"
        << "dfu-hello 64 bytes";
    QTest::newRow("descriptor refused") << QStringList { "--dfu-refuse-descriptor" }
                                        << DfuOutcome::NotStarted << "ota_desc_sent FAIL"
                                        << "dfu-refused descriptor: status 2147483648";
    QTest::newRow("update command refused")
        << QStringList { "--dfu-refuse-update" } << DfuOutcome::Failed << refusal
        << "dfu-refused update command: status 2147483648";
    QTest::newRow("first chunk refused") << QStringList { "--dfu-refuse-chunk", "0" }
                                         << DfuOutcome::Failed << refusal << refusedChunk.arg(0);
    QTest::newRow("last chunk refused")
        << QStringList { "--dfu-refuse-chunk", QString::number(lastChunk) } << DfuOutcome::Failed
        << refusal << refusedChunk.arg(lastChunk);
    QTest::newRow("module stops answering")
        << QStringList { "--dfu-stop-after-chunk", "2" } << DfuOutcome::Failed
        << "send_ackd_command response : 0"
        << "dfu-unanswered chunk 3";
    // Messages: 0 hello, 1 descriptor, 2 update command, 3 chunk 0, ...
    QTest::newRow("hello answer cut by a long gap")
        << QStringList { "--dfu-long-gap", "0" } << DfuOutcome::NotStarted << "response : 10"
        << "dfu-hello 1.2.3";
    QTest::newRow("chunk answer cut by a long gap")
        << QStringList { "--dfu-long-gap", "5" } << DfuOutcome::Failed
        << "send_ackd_command response : 10"
        << "dfu-chunk 16360 8180";
}

void TestSimDfu::faultsFailTheUpdate()
{
    QFETCH(QStringList, arguments);
    QFETCH(DfuOutcome, outcome);
    QFETCH(QString, logLine);
    QFETCH(QString, simEvent);

    const QString installedPath = files.filePath("not-installed.bin");
    SimProcess sim;
    QVERIFY(sim.start(arguments << "--dfu-image" << installedPath));

    RecordingSink sink;
    QCOMPARE(update(sim, sink), outcome);
    QVERIFY2(sink.log.contains(logLine), qPrintable(sink.log.join('\n')));
    if (outcome == DfuOutcome::Failed)
        QCOMPARE(sink.log.last(), QStringLiteral("device reset failed"));
    QCOMPARE(sim.waitForEvent(simEvent), simEvent);

    // The application firmware comes back as it was, whether the procedure
    // reset the module or just went away, and streams again.
    const QByteArray received = reconnect(sim, 5);
    QCOMPARE(sim.waitForEvent("firmware "), QStringLiteral("firmware 1.2.3"));
    QVERIFY(sim.events().filter("dfu-installed").isEmpty());
    QVERIFY(!QFile::exists(installedPath));
    QCOMPARE(framesWithHeader(received, hex("1001")).value(0), longVersionReply);
    QVERIFY(sensorFrames(received).size() >= 5);
}

QTEST_GUILESS_MAIN(TestSimDfu)
#include "tst_sim_dfu.moc"
