// zel-cli as a script runs it, against the module simulator: what each
// command prints and exits with, and what a stream or a recording holds.
// The worker and the codecs beneath it have tests of their own.

#include "firmware.h"
#include "logcheck.h"
#include "simprocess.h"

#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <csignal>
#include <iterator>

namespace {

struct CliRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

// ZEL_EXTRA_PORTS lists the simulator's port, marked or not, to choose from.
CliRun runCli(const QStringList &arguments, const QString &extraPorts = QString())
{
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ZEL_EXTRA_PORTS"), extraPorts);
    cli.setProcessEnvironment(environment);
    cli.start(qEnvironmentVariable("ZEL_CLI"), arguments);
    if (!cli.waitForFinished(60000) || cli.exitStatus() != QProcess::NormalExit)
        return {};
    return { cli.exitCode(), QString::fromUtf8(cli.readAllStandardOutput()),
        QString::fromUtf8(cli.readAllStandardError()) };
}

struct CommandCase
{
    const char *name;
    QStringList simArguments;
    QString extraPorts; // PORT: the simulator's
    QStringList arguments; // DIR holds fw.bin
    int exitCode;
    QString out; // patterns
    QString err;
    QString simEvent; // what the module must have been told
};

const QString marked = QStringLiteral("PORT=Enhanced bridge");
const CommandCase commandCases[] = {
    { "no command", {}, marked, {}, 2, "^$", "no command given", "" },
    { "unknown setting", {}, marked, { "config", "set", "colour=red" }, 2, "^$",
        "unknown setting 'colour=red'", "" },
    { "ports", {}, marked, { "ports" }, 0, "(^|\n)PORT\tEnhanced bridge\t\\*\n", "^$", "" },
    { "no marked port", {}, "PORT=plain", { "info" }, 3, "^$", "no port is marked", "" },
    { "two marked ports", {}, "PORT=Enhanced;PORT=Enhanced", { "info" }, 3, "^$",
        "2 ports are marked as the module's \\(PORT, PORT\\)", "" },
    { "missing port", {}, marked, { "info", "--port", "/nonexistent/tty" }, 3, "^$",
        "Cannot open /nonexistent/tty: .+\\.", "" },
    { "info", { "--short-version", "--odr", "3" }, marked, { "info" }, 0,
        "^firmware=1.2.3\nrate=100Hz\nmode=AHRS\nbaud=115200\noutput=Enabled\ncity=Taipei\n"
        "magfield=45.55\nrecord=030001000001\n$",
        "^$", "" },
    { "info, long version", {}, marked, { "info", "--json" }, 0,
        "\"dev_id\": \"(\\w\\w:){5}\\w\\w\"", "^$", "" },
    { "silent module", { "--no-version-reply" }, marked, { "info", "--timeout", "300" }, 1, "^$",
        "did not answer within 300 ms at 115200 baud", "version-request" },
    { "config set", {}, marked, { "config", "set", "rate=100Hz", "city=Dallas" }, 0,
        "^rate=100Hz\nmode=AHRS\nbaud=115200\noutput=Enabled\ncity=Dallas\n", "^$",
        "datactrl-write 030001000001 48.53" },
    { "config set baud, host follows", {}, marked, { "config", "set", "baud=921600" }, 0,
        "\nbaud=921600\n", "^$", "baud 921600" },
    { "reset", { "--odr", "3", "--mode", "imu" }, marked, { "reset" }, 0, "^rate=50Hz\nmode=AHRS\n",
        "^$", "reset" },
    { "identify", {}, marked, { "identify" }, 0, "^identify=sent\n$", "Status LED will blink",
        "identify" },
    { "calibrate", { "--calibration-time", "0.3" }, marked, { "calibrate" }, 0,
        "^calibration=done\n$", "Keep the device steady", "calibrate" },
    { "update", {}, marked, { "update", "DIR/fw.bin" }, 0, "^DFU Success.\n$", "\n100%\n",
        "dfu-reset" },
    { "update refused", { "--dfu-ignore-hello" }, marked, { "update", "DIR/fw.bin" }, 1, "^$",
        "the update did not start: response : \\d+\n$", "" },
    { "update, no file", {}, marked, { "update", "DIR/none.bin" }, 2, "^$",
        "none.bin does not exist", "" },
};

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void commands_data();
    void commands();
    void rowsAreTheFramesSent_data();
    void rowsAreTheFramesSent();
    void ctrlCDuringRecordEndsOnAWholeRow();
};

void TestCli::commands_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < int(std::size(commandCases)); ++i)
        QTest::newRow(commandCases[i].name) << i;
}

void TestCli::commands()
{
    QFETCH(int, index);
    CommandCase c = commandCases[index];
    SimProcess sim;
    QVERIFY(sim.start(c.simArguments));
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("fw.bin"), firmwareImage(20000)));
    for (QString &argument : c.arguments)
        argument.replace("DIR", dir.path());
    const CliRun run = runCli(c.arguments, c.extraPorts.replace("PORT", sim.portPath()));
    QCOMPARE(run.exitCode, c.exitCode);
    const QString port = QRegularExpression::escape(sim.portPath());
    QVERIFY2(QRegularExpression(c.out.replace("PORT", port)).match(run.out).hasMatch(),
        qPrintable(run.out));
    QVERIFY2(QRegularExpression(c.err.replace("PORT", port)).match(run.err).hasMatch(),
        qPrintable(run.err));
    if (!c.simEvent.isEmpty())
        QCOMPARE(sim.waitForEvent(c.simEvent), c.simEvent);
}

// Stream and record both stop on the very frame asked for.
void TestCli::rowsAreTheFramesSent_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("stream") << "stream";
    QTest::newRow("record") << "record";
}

void TestCli::rowsAreTheFramesSent()
{
    QFETCH(QString, command);
    QTemporaryDir dir;
    const QString log = dir.filePath("log.csv");
    SimProcess sim;
    QVERIFY(sim.start({ "--odr", "4", "--baud", "921600", "--record", dir.filePath("sent.bin") }));
    QStringList arguments { command, "--port", sim.portPath(), "--baud", "921600", "--frames",
        "700" };
    if (command == "record")
        arguments << log;
    const CliRun run = runCli(arguments);
    QCOMPARE(run.exitCode, 0);
    if (command == "stream")
        QVERIFY(writeFile(log, run.out.toUtf8()));
    int rows = 0;
    QCOMPARE(logcheck::problem(log, dir.filePath("sent.bin"), &rows), QString());
    QCOMPARE(rows, 700);
}

void TestCli::ctrlCDuringRecordEndsOnAWholeRow()
{
    QTemporaryDir dir;
    const QString log = dir.filePath("log.csv");
    SimProcess sim;
    QVERIFY(sim.start({ "--odr", "4", "--record", dir.filePath("sent.bin") }));
    QProcess cli;
    cli.start(qEnvironmentVariable("ZEL_CLI"), { "record", log, "--port", sim.portPath() });
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(log).size() > 50000, 20000);
    ::kill(pid_t(cli.processId()), SIGINT);
    QVERIFY(cli.waitForFinished(10000));
    QCOMPARE(cli.exitCode(), 130);
    QVERIFY(cli.readAllStandardError().endsWith(": interrupted\n"));
    QCOMPARE(logcheck::problem(log, dir.filePath("sent.bin")), QString());
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
