#include "firmware.h"
#include "ptyupdateserver.h"

#include "dfuprocedure.h"
#include "dfuprotocol.h"

#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

using zel::dfu::DfuOutcome;
using zel::sim::UpdateFaults;

Q_DECLARE_METATYPE(UpdateFaults)
Q_DECLARE_METATYPE(DfuOutcome)

namespace {

const QString refusal = QStringLiteral("send_ackd_command status wrong: 2147483648");

class RecordingSink : public zel::dfu::DfuProcedureSink
{
public:
    void appendLog(const QString &text) override { log << text; }
    void clearLog() override
    {
        log.clear();
        ++clears;
    }
    void setProgress(int value) override { bars << value; }
    int progress() const override { return bars.isEmpty() ? 0 : bars.last(); }
    void updateInterrupted() override { ++interruptions; }
    void fileOpenFailed(const QString &) override { }

    QStringList log;
    QVector<int> bars;
    int clears = 0;
    int interruptions = 0;
};

} // namespace

class TstDfuProcedure : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void imagesOfEverySizeArriveWhole_data();
    void imagesOfEverySizeArriveWhole();
    void goodUpdateLog();
    void splitAnswersAreJoined();
    void moduleFaults_data();
    void moduleFaults();
    void noFileChosenOnlyLogsAHint();
    void portThatDoesNotOpen();

private:
    struct Run
    {
        DfuOutcome outcome = DfuOutcome::NotStarted;
        RecordingSink sink;
        bool portLeftOpen = false;
    };
    void update(PtyUpdateServer &server, const QString &fileName, Run &run);
    QString imageFile(const QString &name, const QByteArray &image);

    QTemporaryDir files;
};

void TstDfuProcedure::initTestCase()
{
    QVERIFY(files.isValid());
}

QString TstDfuProcedure::imageFile(const QString &name, const QByteArray &image)
{
    const QString path = files.filePath(name);
    if (!writeFile(path, image))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TstDfuProcedure::update(PtyUpdateServer &server, const QString &fileName, Run &run)
{
    QSerialPort port;
    run.outcome = zel::dfu::runFirmwareUpdate(
        port, server.portPath() + QStringLiteral(" (ZEL)"), fileName, run.sink);
    run.portLeftOpen = port.isOpen();
}

void TstDfuProcedure::imagesOfEverySizeArriveWhole_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<QVector<int>>("chunkBars");

    // 24 full chunks and a remainder: the bar moves once per chunk.
    QVector<int> bars;
    for (int k = 0; k <= 24; ++k)
        bars << 500 * k / 24;
    QTest::newRow("realistic image") << 200000 << bars;
    QTest::newRow("whole chunks and an empty one")
        << 2 * zel::dfu::chunkSize << QVector<int> { 0, 250, 500 };
    QTest::newRow("shorter than a chunk") << 1000 << QVector<int> { 500 };
}

void TstDfuProcedure::imagesOfEverySizeArriveWhole()
{
    QFETCH(int, length);
    QFETCH(QVector<int>, chunkBars);

    PtyUpdateServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    const QByteArray image = firmwareImage(length, quint32(length));
    Run run;
    update(server, imageFile("image.bin", image), run);

    QCOMPARE(run.outcome, DfuOutcome::Succeeded);
    QVERIFY(!run.portLeftOpen);
    QCOMPARE(server.installedImage().size(), image.size());
    QVERIFY(server.installedImage() == image);
    QCOMPARE(server.firmwareVersion().toString(), QStringLiteral("1.3.0"));
    // The bar is reset when the update starts and once the module answers.
    QCOMPARE(run.sink.bars, QVector<int>({ 0, 0 }) + chunkBars);
    QCOMPARE(run.sink.interruptions, 0);
}

void TstDfuProcedure::goodUpdateLog()
{
    PtyUpdateServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    Run run;
    run.sink.log << "from before";
    update(server, imageFile("log.bin", firmwareImage(20000)), run);

    const QStringList &log = run.sink.log;
    QCOMPARE(run.sink.clears, 1);
    QCOMPARE(log.size(), 11);
    QCOMPARE(log.at(0), QStringLiteral("response : 88"));
    QVERIFY(log.at(1).startsWith(QStringLiteral("response string:")));
    QCOMPARE(log.at(1).size(), 16 + 176);
    QCOMPARE(log.mid(2),
        (QStringList { "response status  : 1", "length = 5800", "version = 00010200",
            "storage = 00048060", "status2 = 00000000", "state = 00000001",
            "number of updates needed = 1", "update_cmd_sent OK", "device reset" }));
}

void TstDfuProcedure::splitAnswersAreJoined()
{
    UpdateFaults faults;
    faults.splitAnswers = true;
    PtyUpdateServer server(faults);
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    const QByteArray image = firmwareImage(20000, 3);
    Run run;
    update(server, imageFile("split.bin", image), run);

    QCOMPARE(run.sink.log.first(), QStringLiteral("response : 88"));
    QCOMPARE(run.outcome, DfuOutcome::Succeeded);
    QVERIFY(server.installedImage() == image);
}

void TstDfuProcedure::moduleFaults_data()
{
    QTest::addColumn<UpdateFaults>("faults");
    QTest::addColumn<DfuOutcome>("outcome");
    QTest::addColumn<QStringList>("logTail");
    QTest::addColumn<int>("interruptions");
    QTest::addColumn<int>("bar");

    UpdateFaults faults;
    faults.hello = UpdateFaults::Hello::Silent;
    QTest::newRow("no hello answer")
        << faults << DfuOutcome::NotStarted << QStringList { "response : 0" } << 0 << 0;
    faults.hello = UpdateFaults::Hello::WrongLength;
    QTest::newRow("hello answer of the wrong size")
        << faults << DfuOutcome::NotStarted << QStringList { "response : 64" } << 0 << 0;
    faults.hello = UpdateFaults::Hello::WrongType;
    QTest::newRow("hello answer of another type")
        << faults << DfuOutcome::NotStarted << QStringList { "response status  : 5" } << 0 << 0;

    faults = UpdateFaults();
    faults.longGapInAnswer = 0;
    QTest::newRow("hello answer cut by a long gap")
        << faults << DfuOutcome::NotStarted << QStringList { "response : 10" } << 0 << 0;

    faults = UpdateFaults();
    faults.refuseDescriptor = true;
    QTest::newRow("descriptor refused") << faults << DfuOutcome::NotStarted
                                        << QStringList { refusal, "ota_desc_sent FAIL" } << 0 << 0;

    faults = UpdateFaults();
    faults.refuseUpdateCommand = true;
    QTest::newRow("update command refused")
        << faults << DfuOutcome::Failed
        << QStringList { "number of updates needed = 1", refusal, "device reset failed" } << 0 << 0;

    // The image has chunks 0, 1 and 2; the bar shows 0, 250, 500 after them.
    faults = UpdateFaults();
    faults.refuseChunk = 1;
    QTest::newRow("middle chunk refused")
        << faults << DfuOutcome::Failed
        << QStringList { "update_cmd_sent OK", refusal, "device reset failed" } << 1 << 250;
    faults.refuseChunk = 2;
    QTest::newRow("last chunk refused")
        << faults << DfuOutcome::Failed
        << QStringList { "update_cmd_sent OK", refusal, "device reset failed" } << 1 << 500;

    faults = UpdateFaults();
    faults.stopAnsweringAfterChunk = 0;
    QTest::newRow("module stops answering")
        << faults << DfuOutcome::Failed
        << QStringList { "update_cmd_sent OK", "send_ackd_command response : 0",
               "send_ackd_command response : 0", "device reset failed" }
        << 1 << 250;

    // Messages: 0 hello, 1 descriptor, 2 update command, 3 chunk 0, 4 chunk 1.
    // The cut-off end of the answer to chunk 1 runs into the reset's answer.
    faults = UpdateFaults();
    faults.longGapInAnswer = 4;
    QTest::newRow("chunk answer cut by a long gap")
        << faults << DfuOutcome::Failed
        << QStringList { "update_cmd_sent OK", "send_ackd_command response : 10",
               "send_ackd_command response : 30", "device reset failed" }
        << 1 << 250;
}

void TstDfuProcedure::moduleFaults()
{
    QFETCH(UpdateFaults, faults);
    QFETCH(DfuOutcome, outcome);
    QFETCH(QStringList, logTail);
    QFETCH(int, interruptions);
    QFETCH(int, bar);

    PtyUpdateServer server(faults);
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    Run run;
    update(server, imageFile("faults.bin", firmwareImage(20000, 5)), run);

    QCOMPARE(run.outcome, outcome);
    QVERIFY(!run.portLeftOpen);
    QCOMPARE(run.sink.log.mid(run.sink.log.size() - logTail.size()), logTail);
    QCOMPARE(run.sink.interruptions, interruptions);
    QCOMPARE(run.sink.progress(), bar);
    QCOMPARE(server.installCount(), 0);
}

void TstDfuProcedure::noFileChosenOnlyLogsAHint()
{
    PtyUpdateServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    Run run;
    run.sink.log << "earlier";
    update(server, QString(), run);

    QCOMPARE(run.outcome, DfuOutcome::NotStarted);
    QCOMPARE(run.sink.log, (QStringList { "earlier", "Press load button to load file" }));
    QCOMPARE(run.sink.clears, 0);
    QVERIFY(run.sink.bars.isEmpty());
    QCOMPARE(server.bytesReceived(), qint64(0));
}

void TstDfuProcedure::portThatDoesNotOpen()
{
    Run run;
    QSerialPort port;
    run.outcome = zel::dfu::runFirmwareUpdate(
        port, files.filePath("no-such-tty") + " (ZEL)", imageFile("any.bin", "x"), run.sink);
    QCOMPARE(run.outcome, DfuOutcome::NotStarted);
    QCOMPARE(run.sink.log, QStringList { "Open port failed!" });
}

QTEST_GUILESS_MAIN(TstDfuProcedure)
#include "tst_dfu_procedure.moc"
