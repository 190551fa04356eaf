// The soak: the whole tool records the module's fastest stream (500 Hz at
// 921600 baud, the simulator on a pseudo-terminal) for a long while and
// reports what it logged against what was sent, whether the log is whole,
// its CPU and its resident memory over the run. It reports and never fails.
//
//   bench_soak [seconds (20)]
//
// ZEL_SOAK_GRAPHS=1 opens every graph window and the cube as well: with
// software OpenGL on two cores they take the whole GUI thread at this rate
// (see docs/benchmarks.md).

#include "benchsetup.h"
#include "logcheck.h"
#include "mainwindows.h"
#include "procstats.h"
#include "task.h"
#include "toolharness.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cstdio>

int main(int argc, char *argv[])
{
    constexpr int streamRateHz = 500;
    bench::quietDiagnostics();
    Q_INIT_RESOURCE(resources);
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? qMax(1, QString(argv[1]).toInt()) : 20;
    const bool graphs = qEnvironmentVariable("ZEL_SOAK_GRAPHS") == QLatin1String("1");
    bench::useSimulatorBesideProgram();

    QTemporaryDir dir;
    const QString record = dir.filePath(QStringLiteral("sent.bin"));
    const QString log = dir.filePath(QStringLiteral("soak.csv"));
    ToolHarness tool;
    if (!tool.start({ "--odr", "4", "--baud", "921600", "--record", record })
        || !tool.pressConnect(QStringLiteral("921600")) || !tool.waitUntilConnected()) {
        std::printf("soak: the tool did not connect to the simulator\n");
        return 0;
    }
    if (graphs)
        tool.action("&Open/Close All Graphs")->trigger();

    // Memory is measured from a warmed-up tool: the first seconds fill the
    // charts' windows and the console.
    static_cast<void>(QTest::qWaitFor([&] { return tool.samples >= 2 * streamRateHz; }, 20000));
    const qint64 residentAtStart = procstats::residentBytes();
    qint64 residentPeak = residentAtStart;
    qint64 residentAtHalf = -1;
    // A line every tenth of the run (at most every minute) shows the trend.
    const int reportEveryMs = qMin(60000, seconds * 100);
    QElapsedTimer sinceReport;
    sinceReport.start();
    QElapsedTimer elapsed;
    elapsed.start();
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const qint64 resident = procstats::residentBytes();
        residentPeak = qMax(residentPeak, resident);
        if (residentAtHalf < 0 && elapsed.elapsed() >= seconds * 500)
            residentAtHalf = resident;
        if (sinceReport.elapsed() >= reportEveryMs) {
            sinceReport.restart();
            std::printf("soak: %5.0f s  resident %.1f MB  %d samples\n", elapsed.elapsed() / 1000.0,
                procstats::megabytes(resident), tool.samples);
            std::fflush(stdout);
        }
    });
    sampler.start(250);

    const qint64 sentBefore = procstats::framesSent(record);
    const double cpuAtStart = procstats::cpuSeconds();
    tool.startRecording(log);
    const int samplesAtStart = tool.samples;
    const int wanted = seconds * streamRateHz;
    // A GUI thread that cannot keep up never returns to its timers, only the
    // samples still come through: the graphs are shut from the sample path.
    bool graphsOpen = graphs;
    QObject::connect(tool.window->deviceWorker(), &Task::sendAcc, tool.window, [&] {
        if (graphsOpen && tool.samples - samplesAtStart >= wanted) {
            graphsOpen = false;
            tool.action("&Open/Close All Graphs")->trigger();
        }
    });
    // The stream's own pace sets the time; the limit only catches a tool
    // that has stopped keeping up.
    const bool kept = QTest::qWaitFor(
        [&] { return tool.samples - samplesAtStart >= wanted; }, seconds * 3000 + 20000);
    tool.action("&Stop Saving Log")->trigger();
    const qint64 sentWhileRecording = procstats::framesSent(record) - sentBefore;
    const double wallSeconds = elapsed.nsecsElapsed() / 1e9;
    const double cpuSeconds = procstats::cpuSeconds() - cpuAtStart;
    sampler.stop();
    const qint64 residentAtEnd = procstats::residentBytes();
    residentPeak = qMax(residentPeak, residentAtEnd);
    const int received = tool.samples - samplesAtStart;
    // Whatever the worker was asked before this call it has done: no row is
    // on its way.
    QMetaObject::invokeMethod(
        tool.window->deviceWorker(), [] {}, Qt::BlockingQueuedConnection);

    int rows = 0;
    const QString problem = logcheck::problem(log, record, &rows);
    const double growth = procstats::megabytes(residentAtEnd - residentAtStart);
    std::printf("soak: %.1f s at %d Hz, graphs %s%s\n", wallSeconds, streamRateHz,
        graphs ? "open" : "closed", kept ? "" : ", the tool fell behind the stream");
    std::printf("soak: %lld frames sent while recording, %d received, %d rows logged (%s)\n",
        sentWhileRecording, received, rows,
        problem.isEmpty() ? "whole, one unbroken run" : qPrintable(problem));
    std::printf("soak: CPU %.0f %% of one core\n", 100.0 * cpuSeconds / wallSeconds);
    std::printf("soak: resident memory %.1f MB at start, %.1f MB at end, %.1f MB peak; "
                "growth %+.1f MB (%+.2f MB per minute)\n",
        procstats::megabytes(residentAtStart), procstats::megabytes(residentAtEnd),
        procstats::megabytes(residentPeak), growth, growth * 60.0 / wallSeconds);
    if (residentAtHalf > 0)
        std::printf("soak: growth over the second half %+.1f MB\n",
            procstats::megabytes(residentAtEnd - residentAtHalf));
    return 0;
}
