// The whole update procedure against the simulator's update service: a good
// update installs the image; a refusal or silence at any step fails it, and
// the module is reset once the update has begun.

#include "firmware.h"
#include "simprocess.h"

#include "dfuprocedure.h"

#include <QDir>
#include <QSerialPort>
#include <QtTest>

using zel::dfu::DfuOutcome;
Q_DECLARE_METATYPE(DfuOutcome)

namespace {

class RecordingSink : public zel::dfu::DfuProcedureSink
{
public:
    void appendLog(const QString &text) override { log << text; }
    void clearLog() override { log.clear(); }
    void setProgress(int value) override { bar = value; }
    int progress() const override { return bar; }
    void updateInterrupted() override { ++interruptions; }
    void fileOpenFailed(const QString &) override { }

    QStringList log;
    int bar = 0;
    int interruptions = 0;
};

} // namespace

class TstDfuProcedure : public QObject
{
    Q_OBJECT

private slots:
    void updateOutcome_data();
    void updateOutcome();
};

void TstDfuProcedure::updateOutcome_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("length");
    QTest::addColumn<DfuOutcome>("outcome");
    QTest::addColumn<QStringList>("logTail");
    QTest::addColumn<int>("interruptions");
    // What the module did: installed the image, took the reset, or left its
    // update service only when the host left 921600 baud (no reset sent).
    QTest::addColumn<QStringList>("ends");

    const auto row = [](const char *name, QStringList arguments, int length, DfuOutcome outcome,
                         QStringList log, int interruptions, QStringList ends) {
        QTest::newRow(name) << arguments << length << outcome << log << interruptions << ends;
    };
    const QString refusal = QStringLiteral("send_ackd_command status wrong: 2147483648");
    const QStringList reset { "dfu-reset" };
    const QStringList noReset { "dfu-abandoned" };
    const DfuOutcome notStarted = DfuOutcome::NotStarted;
    const DfuOutcome failed = DfuOutcome::Failed;

    row("image installed", {}, 20000, DfuOutcome::Succeeded,
        { "state = 00000001", "number of updates needed = 1", "update_cmd_sent OK",
            "device reset" },
        0, { "dfu-installed 20000 3ec0c741", "dfu-reset" });
    row("no hello answer", { "--dfu-no-hello" }, 20000, notStarted, { "response : 0" }, 0, noReset);
    row("hello answer of another type", { "--dfu-wrong-hello" }, 20000, notStarted,
        { "response status  : 5" }, 0, noReset);
    row("descriptor refused", { "--dfu-refuse-descriptor" }, 20000, notStarted,
        { refusal, "ota_desc_sent FAIL" }, 0, noReset);
    row("empty file", {}, 0, failed, { "Firmware file is empty: nothing to send, update refused" },
        0, noReset);
    row("update command refused", { "--dfu-refuse-update" }, 20000, failed,
        { "number of updates needed = 1", refusal, "device reset failed" }, 0, reset);
    row("last chunk refused with the bar full", { "--dfu-refuse-chunk", "2" }, 20000, failed,
        { "update_cmd_sent OK", refusal, "device reset failed" }, 1, reset);
    // Messages: 0 hello, 1 descriptor, 2 update command, 3 chunk 0, 4 chunk 1.
    // The rest of the cut answer to chunk 1 runs into the reset's answer.
    row("chunk answer cut by a long gap", { "--dfu-long-gap", "4" }, 20000, failed,
        { "send_ackd_command response : 10", "send_ackd_command response : 30",
            "device reset failed" },
        1, reset);
    row("module stops answering", { "--dfu-stop-after-chunk", "0" }, 20000, failed,
        { "send_ackd_command response : 0", "send_ackd_command response : 0",
            "device reset failed" },
        1, { "dfu-unanswered chunk 1", "dfu-unanswered type 6", "dfu-abandoned" });
}

void TstDfuProcedure::updateOutcome()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, length);
    QFETCH(DfuOutcome, outcome);
    QFETCH(QStringList, logTail);
    QFETCH(int, interruptions);
    QFETCH(QStringList, ends);
    SimProcess sim;
    // A module that streams until the hello reaches it is met at the
    // lowest level, where the hello's answer is found behind stream bytes.
    QVERIFY(sim.start(arguments + QStringList { "--output", "off" }));
    const QString path = QDir::temp().filePath("firmware.bin");
    QVERIFY(writeFile(path, firmwareImage(length)));
    RecordingSink sink;
    QSerialPort port;

    QCOMPARE(zel::dfu::runFirmwareUpdate(port, sim.portPath() + " (ZEL)", path, sink), outcome);
    QVERIFY(!port.isOpen());
    QCOMPARE(sink.log.mid(sink.log.size() - logTail.size()), logTail);
    QCOMPARE(sink.interruptions, interruptions);
    port.setBaudRate(115200);
    QVERIFY(port.open(QIODevice::ReadWrite));
    QVERIFY(!sim.waitForEvent("firmware ").isEmpty());
    const QRegularExpression ending("^dfu-(installed|reset|abandoned|unanswered)");
    QCOMPARE(sim.events().filter(ending), ends);
}

QTEST_GUILESS_MAIN(TstDfuProcedure)
#include "tst_dfu_procedure.moc"
