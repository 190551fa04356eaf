// The whole update procedure against the simulator's update service: a good
// update installs the image; a refusal or silence at any step fails it, and
// the module is reset once the update has begun. A file that cannot be sent
// is refused before the port is opened.

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
    QTest::addColumn<QString>("file"); // <file> in the log stands for its path
    QTest::addColumn<DfuOutcome>("outcome");
    QTest::addColumn<QStringList>("logTail");
    QTest::addColumn<int>("interruptions");
    // What the module did: installed the image, took the reset, or left its
    // update service only when the host left 921600 baud (no reset sent).
    QTest::addColumn<QStringList>("ends");

    const auto row = [](const char *name, QStringList arguments, QString file, DfuOutcome outcome,
                         QStringList log, int interruptions, QStringList ends) {
        QTest::newRow(name) << arguments << file << outcome << log << interruptions << ends;
    };
    const QString refusal = QStringLiteral("send_ackd_command status wrong: 2147483648");
    const QStringList reset { "dfu-reset" };
    const QStringList noReset { "dfu-abandoned" };
    const DfuOutcome notStarted = DfuOutcome::NotStarted;
    const DfuOutcome failed = DfuOutcome::Failed;

    row("image installed", {}, "fw", DfuOutcome::Succeeded,
        { "state = 00000001", "number of updates needed = 1", "update_cmd_sent OK",
            "device reset" },
        0, { "dfu-installed 20000 3ec0c741", "dfu-reset" });
    row("no hello answer", { "--dfu-no-hello" }, "fw", notStarted, { "response : 0" }, 0, noReset);
    row("hello answer of another type", { "--dfu-wrong-hello" }, "fw", notStarted,
        { "response status  : 5" }, 0, noReset);
    row("descriptor refused", { "--dfu-refuse-descriptor" }, "fw", notStarted,
        { refusal, "ota_desc_sent FAIL" }, 0, noReset);
    const auto refused = [&row](const char *name, const char *file, QString reason) {
        row(name, {}, file, DfuOutcome::Failed, { reason }, 0, {});
    };
    refused("empty file", "empty", "Firmware file is empty: nothing to send, update refused");
    refused("file larger than one update", "large",
        "Firmware image of 295009 bytes is larger than the 295008 bytes the module takes in one "
        "update: update refused");
    refused("folder", ".", "Cannot read firmware file <file>: it is a folder, not a file");
    refused("dangling link", "link", "Cannot read firmware file <file>: No such file or directory");
    row("update command refused", { "--dfu-refuse-update" }, "fw", failed,
        { "number of updates needed = 1", refusal, "device reset failed" }, 0, reset);
    row("last chunk refused with the bar full", { "--dfu-refuse-chunk", "2" }, "fw", failed,
        { "update_cmd_sent OK", refusal, "device reset failed" }, 1, reset);
    // Messages: 0 hello, 1 descriptor, 2 update command, 3 chunk 0, 4 chunk 1.
    // The rest of the cut answer to chunk 1 runs into the reset's answer.
    row("chunk answer cut by a long gap", { "--dfu-long-gap", "4" }, "fw", failed,
        { "send_ackd_command response : 10", "send_ackd_command response : 30",
            "device reset failed" },
        1, reset);
    row("module stops answering", { "--dfu-stop-after-chunk", "0" }, "fw", failed,
        { "send_ackd_command response : 0", "send_ackd_command response : 0",
            "device reset failed" },
        1, { "dfu-unanswered chunk 1", "dfu-unanswered type 6", "dfu-abandoned" });
    // At 500 Hz the line never falls quiet.
    row("module keeps streaming",
        { "--dfu-ignore-hello", "--output", "on", "--baud", "921600", "--odr", "4" }, "fw", failed,
        { "Not an update-service answer: the module may still be streaming" }, 0, {});
}

void TstDfuProcedure::updateOutcome()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    QFETCH(DfuOutcome, outcome);
    QFETCH(QStringList, logTail);
    QFETCH(int, interruptions);
    QFETCH(QStringList, ends);
    SimProcess sim;
    // A module that streams until the hello reaches it is met at the
    // lowest level, where the hello's answer is found behind stream bytes.
    // The simulator's exit would end a read that had no limits.
    QVERIFY(sim.start(QStringList { "--output", "off", "--exit-after", "60" } + arguments));
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("fw"), firmwareImage(20000)));
    QVERIFY(writeFile(dir.filePath("empty"), {}));
    QVERIFY(writeFile(dir.filePath("large"), firmwareImage(295009)));
    QVERIFY(QFile::link("gone", dir.filePath("link")));
    const QString path = dir.filePath(file);
    RecordingSink sink;
    QSerialPort port(sim.portPath());

    const QDeadlineTimer generous(10000);
    QCOMPARE(zel::dfu::runFirmwareUpdate(port, sim.portPath() + " (ZEL)", path, sink), outcome);
    QVERIFY(!generous.hasExpired());
    QVERIFY(!port.isOpen());
    // A file that cannot be sent leaves the port as it was.
    QCOMPARE(port.baudRate() == 921600, file == "fw");
    QCOMPARE(
        sink.log.mid(sink.log.size() - logTail.size()), logTail.replaceInStrings("<file>", path));
    QCOMPARE(sink.interruptions, interruptions);
    port.setBaudRate(115200);
    QVERIFY(port.open(QIODevice::ReadWrite));
    // With no update service reached there is nothing to wait for: a hello
    // would have shown before its answer.
    QVERIFY(ends.isEmpty() ? sim.waitForEvent("dfu-start", 200).isEmpty()
                           : !sim.waitForEvent("firmware ").isEmpty());
    const QRegularExpression ending("^dfu-(installed|reset|abandoned|unanswered)");
    QCOMPARE(sim.events().filter(ending), ends);
}

QTEST_GUILESS_MAIN(TstDfuProcedure)
#include "tst_dfu_procedure.moc"
