// Closing the main window at the worst moments, with the tool's own program
// end: while a firmware update blocks the GUI thread, and while recording
// the 500 Hz stream. The program must end by itself with exit code 0, the
// update must finish as the module saw it, and every logged row be whole.
// The tool runs as its own process (zel-fault-driver) so that its event
// loop, shutdown and exit are the real ones.

#include "dfuprotocol.h"
#include "logaudit.h"
#include "simprocess.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray firmwareImage(int length)
{
    QByteArray image(length, '\0');
    quint32 state = 0x6C078965;
    for (char &byte : image) {
        state = state * 1664525u + 1013904223u;
        byte = char(state >> 24);
    }
    return image;
}

struct DriverRun
{
    bool finished = false;
    int exitCode = -1;
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    QStringList lines;
};

// Runs the driver to its end; a driver that does not end within the limit
// is a hang and is killed.
DriverRun runDriver(const QString &scenario, const QString &port, const QString &file)
{
    QProcess driver;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(
        QStringLiteral("ZEL_EXTRA_PORTS"), port + QStringLiteral("=Enhanced module"));
    // The per-chunk and per-frame diagnostics would drown the steps.
    environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("default.debug=false"));
    driver.setProcessEnvironment(environment);
    driver.setProcessChannelMode(QProcess::MergedChannels);
    driver.start(QCoreApplication::applicationDirPath() + QStringLiteral("/zel-fault-driver"),
        { scenario, port, file });
    DriverRun run;
    run.finished = driver.waitForFinished(90000);
    if (!run.finished) {
        driver.kill();
        driver.waitForFinished(5000);
    }
    run.exitCode = driver.exitCode();
    run.exitStatus = driver.exitStatus();
    const QString output = QString::fromLocal8Bit(driver.readAll());
    run.lines = output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return run;
}

QString describe(const DriverRun &run)
{
    return QStringLiteral("finished %1, exit code %2, %3\n%4")
        .arg(run.finished)
        .arg(run.exitCode)
        .arg(run.exitStatus == QProcess::NormalExit ? "normal exit" : "crashed")
        .arg(run.lines.join(QLatin1Char('\n')));
}

} // namespace

class TestFaultsShutdown : public QObject
{
    Q_OBJECT

private slots:
    void closeDuringFirmwareUpdate();
    void closeWhileRecordingAtTheHighestRate();
};

void TestFaultsShutdown::closeDuringFirmwareUpdate()
{
    QTemporaryDir dir;
    const QString installed = dir.filePath(QStringLiteral("installed.bin"));
    const QString firmware = dir.filePath(QStringLiteral("fw.bin"));
    const QByteArray image = firmwareImage(200000);
    QFile file(firmware);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(image) == image.size());
    file.close();

    SimProcess sim;
    QVERIFY(sim.start({ "--odr", "3", "--dfu-image", installed }));
    const DriverRun run
        = runDriver(QStringLiteral("close-during-update"), sim.portPath(), firmware);

    // The close waited for the update, which ran to its end; then the
    // program ended by itself.
    QVERIFY2(run.finished && run.exitStatus == QProcess::NormalExit && run.exitCode == 0,
        qPrintable(describe(run)));
    const int posted = run.lines.indexOf(QStringLiteral("close-posted"));
    QVERIFY2(
        posted > run.lines.indexOf(QStringLiteral("update-started")), qPrintable(describe(run)));
    QVERIFY2(run.lines.contains(QStringLiteral("outcome success")), qPrintable(describe(run)));
    QVERIFY2(run.lines.last().startsWith(QStringLiteral("event loop ended 0")),
        qPrintable(describe(run)));

    const quint32 crc = zel::dfu::crc32Of(image);
    QCOMPARE(sim.waitForEvent(QStringLiteral("dfu-installed")),
        QStringLiteral("dfu-installed %1 %2").arg(image.size()).arg(crc, 8, 16, QLatin1Char('0')));
    QVERIFY(!sim.waitForEvent(QStringLiteral("dfu-reset")).isEmpty());
    QFile written(installed);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll() == image);
}

void TestFaultsShutdown::closeWhileRecordingAtTheHighestRate()
{
    QTemporaryDir dir;
    const QString record = dir.filePath(QStringLiteral("sent.bin"));
    const QString log = dir.filePath(QStringLiteral("log.csv"));
    SimProcess sim;
    QVERIFY(sim.start({ "--odr", "4", "--baud", "921600", "--record", record }));
    const DriverRun run = runDriver(QStringLiteral("close-while-recording"), sim.portPath(), log);
    sim.stop();

    QVERIFY2(run.finished && run.exitStatus == QProcess::NormalExit && run.exitCode == 0,
        qPrintable(describe(run)));
    QVERIFY2(run.lines.contains(QStringLiteral("close-posted")), qPrintable(describe(run)));

    const logaudit::Audit verdict
        = logaudit::audit(recordcheck::expectedRows(record), recordcheck::readLog(log));
    QVERIFY2(verdict.problem.isEmpty(), qPrintable(verdict.problem));
    QVERIFY2(verdict.rows > 900, qPrintable(QString::number(verdict.rows)));
}

QTEST_MAIN(TestFaultsShutdown)
#include "tst_faults_shutdown.moc"
