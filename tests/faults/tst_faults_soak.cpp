// The tool recording the module's fastest stream (500 Hz at 921600 baud)
// for a long while: every frame sent while recording becomes one whole row,
// none is lost between the first row and the last, and the process's
// resident memory stays flat.
//
// ZEL_SOAK_SECONDS sets how long the recording runs (20 s by default);
// scripts/soak runs the long one. ZEL_SOAK_GRAPHS=1 opens every graph
// window and the cube as well: with software OpenGL on two cores they take
// the whole GUI thread at this rate (see docs/benchmarks.md), so the CI
// variant leaves them shut.

#include "logaudit.h"
#include "mainwindows.h"
#include "procstats.h"
#include "task.h"
#include "toolharness.h"

#include <QAction>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cstdio>

namespace {

constexpr int streamRateHz = 500;
// Frames on their way between the simulator and the worker when recording
// starts or stops: a few polls' worth, with room for a loaded machine.
constexpr qint64 boundarySlackFrames = 250;
constexpr double grossGrowthMegabytes = 50;

int soakSeconds()
{
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("ZEL_SOAK_SECONDS", &ok);
    return ok && seconds > 0 ? seconds : 20;
}

bool graphsWanted()
{
    return qEnvironmentVariable("ZEL_SOAK_GRAPHS") == QLatin1String("1");
}

} // namespace

class TestFaultsSoak : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void recordingAtTheHighestRateStaysWholeAndFlat();
};

void TestFaultsSoak::initTestCase()
{
    Q_INIT_RESOURCE(resources);
}

void TestFaultsSoak::recordingAtTheHighestRateStaysWholeAndFlat()
{
    const int seconds = soakSeconds();
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString record = dir.filePath(QStringLiteral("sent.bin"));
    const QString log = dir.filePath(QStringLiteral("soak.csv"));

    ToolHarness tool;
    QVERIFY(tool.start({ "--odr", "4", "--baud", "921600", "--record", record }));
    QVERIFY(tool.pressConnect(QStringLiteral("921600")));
    QVERIFY(tool.waitUntilConnected());
    if (graphsWanted())
        tool.action(QStringLiteral("&Open/Close All Graphs"))->trigger();

    // Memory is measured from a warmed-up tool: the first seconds fill the
    // charts' windows and the console.
    QVERIFY(waitUntil([&] { return tool.samples() >= 2 * streamRateHz; }, 20000));
    const qint64 residentAtStart = procstats::residentBytes();
    QVERIFY(residentAtStart > 0);
    qint64 residentPeak = residentAtStart;
    // A line every tenth of the run (at most every minute) shows the trend
    // of a long soak, not just its two ends.
    const int reportEveryMs = qMin(60000, seconds * 100);
    QElapsedTimer sinceReport;
    sinceReport.start();
    QElapsedTimer sinceStart;
    sinceStart.start();
    // Growth over the second half shows a leak apart from warming up.
    qint64 residentAtHalf = -1;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, this, [&] {
        const qint64 resident = procstats::residentBytes();
        residentPeak = qMax(residentPeak, resident);
        if (residentAtHalf < 0 && sinceStart.elapsed() >= seconds * 500)
            residentAtHalf = resident;
        if (sinceReport.elapsed() >= reportEveryMs) {
            sinceReport.restart();
            std::printf("soak: %5.0f s  resident %.1f MB  %d samples\n",
                sinceStart.elapsed() / 1000.0, procstats::megabytes(resident), tool.samples());
            std::fflush(stdout);
        }
    });
    sampler.start(250);

    const qint64 sentBefore = tool.framesSent(record);
    const double cpuAtStart = procstats::cpuSeconds();
    QElapsedTimer elapsed;
    elapsed.start();
    QVERIFY(tool.startRecording(log));
    const int samplesAtStart = tool.samples();
    const int wanted = seconds * streamRateHz;
    // A GUI thread that cannot keep up never returns to its timers, only the
    // samples still come through: the graphs are shut from the sample path.
    bool graphsOpen = graphsWanted();
    connect(tool.window()->deviceWorker(), &Task::sendAcc, tool.window(), [&] {
        if (graphsOpen && tool.samples() - samplesAtStart >= wanted) {
            graphsOpen = false;
            tool.action(QStringLiteral("&Open/Close All Graphs"))->trigger();
        }
    });
    // Generous: the stream's own pace sets the time, the limit only catches
    // a tool that has stopped keeping up.
    const bool kept = waitUntil(
        [&] { return tool.samples() - samplesAtStart >= wanted; }, seconds * 3000 + 20000);
    tool.stopRecording();
    const qint64 sentAtStop = tool.framesSent(record);
    const double wallSeconds = elapsed.nsecsElapsed() / 1e9;
    const double cpuSeconds = procstats::cpuSeconds() - cpuAtStart;
    sampler.stop();
    const qint64 residentAtEnd = procstats::residentBytes();
    residentPeak = qMax(residentPeak, residentAtEnd);
    const int received = tool.samples() - samplesAtStart;

    // The log is read once the worker has let go of the port, so no row can
    // still be on its way.
    tool.action(QStringLiteral("&Disconnect"))->trigger();
    QVERIFY(waitUntil(
        [&] { return !tool.action(QStringLiteral("Identify The Device"))->isEnabled(); }, 5000));
    tool.stop();

    const logaudit::Audit verdict
        = logaudit::audit(recordcheck::expectedRows(record), recordcheck::readLog(log));
    const qint64 sentWhileRecording = sentAtStop - sentBefore;
    const double growth = procstats::megabytes(residentAtEnd - residentAtStart);
    std::printf("soak: %.1f s at %d Hz, graphs %s\n", wallSeconds, streamRateHz,
        graphsWanted() ? "open" : "closed");
    std::printf("soak: %lld frames sent while recording, %d received, %d rows logged (%s)\n",
        sentWhileRecording, received, verdict.rows,
        verdict.problem.isEmpty() ? "whole, one unbroken run" : qPrintable(verdict.problem));
    std::printf("soak: CPU %.0f %% of one core\n", 100.0 * cpuSeconds / wallSeconds);
    std::printf("soak: resident memory %.1f MB at start, %.1f MB at end, %.1f MB peak; "
                "growth %+.1f MB (%+.2f MB per minute)\n",
        procstats::megabytes(residentAtStart), procstats::megabytes(residentAtEnd),
        procstats::megabytes(residentPeak), growth, growth * 60.0 / wallSeconds);
    if (residentAtHalf > 0)
        std::printf("soak: growth over the second half %+.1f MB\n",
            procstats::megabytes(residentAtEnd - residentAtHalf));
    std::fflush(stdout);

    QVERIFY2(kept,
        qPrintable(QStringLiteral("only %1 of %2 samples arrived").arg(received).arg(wanted)));
    QVERIFY2(verdict.problem.isEmpty(), qPrintable(verdict.problem));
    QVERIFY2(qAbs(verdict.rows - sentWhileRecording) <= boundarySlackFrames,
        qPrintable(QStringLiteral("%1 rows for %2 frames sent while recording")
                       .arg(verdict.rows)
                       .arg(sentWhileRecording)));
    QVERIFY2(growth < grossGrowthMegabytes,
        qPrintable(QStringLiteral("resident memory grew by %1 MB").arg(growth)));
}

QTEST_MAIN(TestFaultsSoak)
#include "tst_faults_soak.moc"
