// The whole tool under the module's fastest stream: its main window in this
// process, the module simulator at 500 Hz and 921600 baud on a
// pseudo-terminal. Reports the CPU the tool takes with the graph windows
// shut and with all of them open, how often the windows redraw, frames
// received against frames sent (a backlog would show as a shortfall), the
// resident memory over a long stream.
//
//   bench_tool [seconds per phase (15)] [seconds of long stream (600)]
//
// Prints figures, with one "RESULT name value" line for each headline
// figure; never fails.

#include "benchsetup.h"
#include "mainwindows.h"
#include "procstats.h"
#include "simprocess.h"
#include "task.h"
#include "uihelpers.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QOpenGLWidget>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <functional>
#include <type_traits>

namespace {

constexpr int streamRateHz = 500;

QTextStream out(stdout);

void result(const char *name, double value, int decimals = 1)
{
    out << "RESULT " << name << ' ' << QString::number(value, 'f', decimals) << '\n';
    out.flush();
}

// Where a chart window's drawing shows as paint events: its central widget,
// or that widget's viewport where it is a scroll area (a graphics view).
QWidget *paintTarget(QMainWindow *chart)
{
    QWidget *central = chart->centralWidget();
    if (auto *area = qobject_cast<QAbstractScrollArea *>(central))
        return area->viewport();
    return central;
}

// Counts the samples that reach the GUI thread the way the worker under test
// sends them there: one poll's samples in one call where it offers that, a
// call per sample otherwise. Counting through a per-sample connection of
// its own would add a queued call per sample the tool does not make.
template <typename Worker, typename = void> struct SendsPolls : std::false_type
{
};
template <typename Worker>
struct SendsPolls<Worker, std::void_t<decltype(&Worker::sendSamples)>> : std::true_type
{
};

template <typename Worker>
void countSamples(Worker *worker, QObject *context, const std::function<void(int)> &received)
{
    if constexpr (SendsPolls<Worker>::value) {
        QObject::connect(worker, &Worker::sendSamples, context,
            [received](const auto &samples) { received(samples.size()); });
    } else {
        QObject::connect(worker, &Worker::sendAcc, context, [received] { received(1); });
    }
}

struct Counters
{
    int samples = 0;
    int consoleTexts = 0;
    int cubeFrames = 0;
    int timerTicks = 0;
    bench::PaintCounter chartPaints;
    // Runs on every sample, on the GUI thread.
    std::function<void()> onSample;
};

struct Snapshot
{
    double wall = 0;
    double cpu = 0;
    qint64 received = 0;
    qint64 sent = 0;
    int consoleTexts = 0;
    int chartPaints = 0;
    int cubeFrames = 0;
    int timerTicks = 0;
    qint64 resident = 0;
};

struct Phase
{
    double wall = 0;
    double cpu = 0;
    qint64 received = 0;
    qint64 sent = 0;
    int consoleTexts = 0;
    int chartPaints = 0;
    int cubeFrames = 0;
    int timerTicks = 0;
    qint64 residentStart = 0;
    qint64 residentEnd = 0;
};

Snapshot snapshot(const Counters &counters, const QString &record, const QElapsedTimer &clock)
{
    Snapshot now;
    now.wall = clock.nsecsElapsed() / 1e9;
    now.cpu = procstats::cpuSeconds();
    now.received = counters.samples;
    now.sent = procstats::framesSent(record);
    now.consoleTexts = counters.consoleTexts;
    now.chartPaints = counters.chartPaints.paints;
    now.cubeFrames = counters.cubeFrames;
    now.timerTicks = counters.timerTicks;
    now.resident = procstats::residentBytes();
    return now;
}

Phase between(const Snapshot &from, const Snapshot &to)
{
    Phase phase;
    phase.wall = to.wall - from.wall;
    phase.cpu = to.cpu - from.cpu;
    phase.received = to.received - from.received;
    phase.sent = to.sent - from.sent;
    phase.consoleTexts = to.consoleTexts - from.consoleTexts;
    phase.chartPaints = to.chartPaints - from.chartPaints;
    phase.cubeFrames = to.cubeFrames - from.cubeFrames;
    phase.timerTicks = to.timerTicks - from.timerTicks;
    phase.residentStart = from.resident;
    phase.residentEnd = to.resident;
    return phase;
}

// Streams for the marks given in seconds and returns one phase per mark.
// The marks are taken on the sample path, not by a timer: a GUI thread
// that cannot keep up never gets to its timers, and then only the samples
// still come through. `atMark` runs there after each mark, with its index.
QVector<Phase> measure(Counters &counters, const QString &record, const QVector<int> &marks,
    const std::function<void(int)> &atMark = {})
{
    QElapsedTimer clock;
    clock.start();
    QVector<Snapshot> taken { snapshot(counters, record, clock) };
    bool done = false;
    counters.onSample = [&] {
        if (done || clock.elapsed() < marks.at(taken.size() - 1) * 1000)
            return;
        taken.append(snapshot(counters, record, clock));
        done = taken.size() > marks.size();
        if (atMark)
            atMark(taken.size() - 2);
    };
    static_cast<void>(QTest::qWaitFor([&] { return done; }, marks.last() * 4000 + 60000));
    counters.onSample = nullptr;
    QVector<Phase> phases;
    for (int i = 1; i < taken.size(); ++i)
        phases.append(between(taken.at(i - 1), taken.at(i)));
    return phases;
}

void report(const char *title, const Phase &phase, bool graphs)
{
    out << title << " (" << QString::number(phase.wall, 'f', 1) << " s):\n"
        << "  CPU " << QString::number(100 * phase.cpu / phase.wall, 'f', 1)
        << " % of one core (all threads of the tool)\n"
        << "  frames sent " << QString::number(phase.sent / phase.wall, 'f', 1) << " /s, received "
        << QString::number(phase.received / phase.wall, 'f', 1) << " /s ("
        << QString::number(phase.sent ? 100.0 * phase.received / phase.sent : 0, 'f', 1) << " %)\n"
        << "  console texts from the worker "
        << QString::number(phase.consoleTexts / phase.wall, 'f', 1) << " /s; a 100 ms timer fired "
        << QString::number(phase.timerTicks / phase.wall, 'f', 1) << " /s of 10 /s\n";
    if (graphs) {
        out << "  chart redraws " << QString::number(phase.chartPaints / phase.wall / 4, 'f', 1)
            << " /s per chart, cube frames "
            << QString::number(phase.cubeFrames / phase.wall, 'f', 1) << " /s\n";
    }
    out.flush();
}

} // namespace

int main(int argc, char *argv[])
{
    bench::quietDiagnostics();
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        out << "bench_tool: needs an X server (run it under xvfb-run)\n";
        return 0;
    }
    Q_INIT_RESOURCE(resources);
    QApplication app(argc, argv);
    const int phaseSeconds = argc > 1 ? qMax(2, QString(argv[1]).toInt()) : 15;
    const int longSeconds = qMax(phaseSeconds + 2, argc > 2 ? QString(argv[2]).toInt() : 600);
    bench::useSimulatorBesideProgram();

    QTemporaryDir dir;
    // Windows an earlier run left open would start open in this one.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    const QString record = dir.filePath(QStringLiteral("sent.bin"));
    SimProcess sim;
    if (!dir.isValid() || !sim.start({ "--odr", "4", "--baud", "921600", "--record", record })) {
        out << "bench_tool: the simulator did not start (ZEL_SIM=" << qgetenv("ZEL_SIM") << ")\n";
        return 0;
    }
    qputenv("ZEL_EXTRA_PORTS", (sim.portPath() + "=Enhanced module simulator").toLocal8Bit());

    auto *window = new MainView;
    window->show();
    Counters counters;
    countSamples(window->deviceWorker(), window, [&](int samples) {
        counters.samples += samples;
        if (counters.onSample)
            counters.onSample();
    });
    QObject::connect(window->deviceWorker(), &Task::signalLogMessage, window,
        [&](const QString &text) { counters.consoleTexts += !text.isEmpty(); });
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++counters.timerTicks; });
    ticker.start(100);

    window->findChild<QComboBox *>(QStringLiteral("comboBox_2"))->setCurrentText("921600");
    window->findChild<QPushButton *>(QStringLiteral("pushButton_2"))->click();
    QAction *allGraphs = findAction(window, QStringLiteral("&Open/Close All Graphs"));
    if (!QTest::qWaitFor([&] { return allGraphs->isEnabled(); }, 20000)) {
        out << "bench_tool: the tool did not connect to the simulator\n";
        return 0;
    }
    out << "the tool against the simulator at " << streamRateHz << " Hz, 921600 baud\n";
    static_cast<void>(QTest::qWaitFor([&] { return counters.samples >= 2 * streamRateHz; }, 20000));

    const Phase closed = measure(counters, record, { phaseSeconds }).value(0);
    report("graphs closed", closed, false);

    allGraphs->trigger();
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (!top->isVisible())
            continue;
        if (auto *chart = qobject_cast<QMainWindow *>(top); chart && top->inherits("ChartView"))
            paintTarget(chart)->installEventFilter(&counters.chartPaints);
        if (auto *cube = qobject_cast<QOpenGLWidget *>(top))
            QObject::connect(cube, &QOpenGLWidget::frameSwapped, [&] { ++counters.cubeFrames; });
    }
    // The first seconds with the graphs open are measured on their own; then
    // the stream goes on, recorded to a data log, for the lost-sample and
    // memory figures (memory from a tenth of the long stream, minute 1 of
    // 10, to its end). The graphs close at the end, from the sample path.
    const QString csv = dir.filePath(QStringLiteral("recorded.csv"));
    qint64 sentAtStart = 0;
    qint64 sentWhileRecording = 0;
    const int memoryFrom = qMax(phaseSeconds + 1, longSeconds / 10);
    const QVector<Phase> open
        = measure(counters, record, { phaseSeconds, memoryFrom, longSeconds }, [&](int mark) {
              // Recording goes straight to the worker, as the main window's
              // Start Saving Log does after its file dialog: a GUI thread that
              // falls behind would answer a dialog only at the end.
              if (mark == 0) {
                  QFile header(csv);
                  if (header.open(QIODevice::WriteOnly))
                      header.write("header\n");
                  header.close();
                  emit window->proxySaveLog(csv);
                  sentAtStart = procstats::framesSent(record);
              } else if (mark == 2) {
                  emit window->proxyStopSaveLog();
                  sentWhileRecording = procstats::framesSent(record) - sentAtStart;
                  allGraphs->trigger();
              }
          });
    if (open.size() < 3) {
        out << "bench_tool: the stream stopped with the graphs open\n";
        return 0;
    }
    report("all graphs and the cube open", open.at(0), true);
    Phase longRun = open.at(1);
    longRun.wall += open.at(2).wall;
    longRun.received += open.at(2).received;
    longRun.sent += open.at(2).sent;
    longRun.timerTicks += open.at(2).timerTicks;
    QFile recorded(csv);
    qint64 rows = 0;
    if (recorded.open(QIODevice::ReadOnly)) {
        while (!recorded.readLine().isEmpty())
            ++rows;
        rows = qMax<qint64>(0, rows - 1); // the header
    }
    const double growth = procstats::megabytes(open.at(2).residentEnd - open.at(2).residentStart);
    out << "long stream, graphs open, recording (" << QString::number(longRun.wall, 'f', 0)
        << " s):\n"
        << "  resident memory " << QString::number(procstats::megabytes(closed.residentEnd), 'f', 1)
        << " MB with graphs closed, "
        << QString::number(procstats::megabytes(open.at(0).residentStart), 'f', 1)
        << " MB on opening them, "
        << QString::number(procstats::megabytes(open.at(2).residentStart), 'f', 1) << " MB at "
        << memoryFrom << " s, "
        << QString::number(procstats::megabytes(open.at(2).residentEnd), 'f', 1) << " MB at "
        << longSeconds << " s: growth " << QString::number(growth, 'f', 1) << " MB\n"
        << "  frames received " << QString::number(100.0 * longRun.received / longRun.sent, 'f', 2)
        << " % of sent; CSV rows " << rows << " of " << sentWhileRecording
        << " sent while recording ("
        << QString::number(100.0 * rows / qMax<qint64>(1, sentWhileRecording), 'f', 2)
        << " %); a 100 ms timer fired "
        << QString::number(longRun.timerTicks / longRun.wall, 'f', 1) << " /s of 10 /s\n";
    out.flush();

    // With the graphs closed again the tool has to catch up.
    const Phase recovered = measure(counters, record, { phaseSeconds }).value(0);
    report("graphs closed again", recovered, false);

    window->close();
    delete window;
    sim.stop();

    result("cpu_graphs_closed_pct", 100 * closed.cpu / closed.wall);
    result("cpu_graphs_open_pct", 100 * open.at(0).cpu / open.at(0).wall);
    result("received_of_sent_closed_pct", 100.0 * closed.received / qMax<qint64>(1, closed.sent));
    result("received_of_sent_open_pct",
        100.0 * open.at(0).received / qMax<qint64>(1, open.at(0).sent));
    result(
        "received_of_sent_long_pct", 100.0 * longRun.received / qMax<qint64>(1, longRun.sent), 2);
    result("csv_rows_of_sent_pct", 100.0 * rows / qMax<qint64>(1, sentWhileRecording), 2);
    result("timer_ticks_open_per_s", longRun.timerTicks / longRun.wall);
    result("chart_redraws_per_s", open.at(0).chartPaints / open.at(0).wall / 4);
    result("cube_frames_per_s", open.at(0).cubeFrames / open.at(0).wall);
    result("long_stream_s", longRun.wall, 0);
    result("memory_from_s", memoryFrom, 0);
    result("memory_to_s", longSeconds, 0);
    result("resident_start_mb", procstats::megabytes(open.at(2).residentStart));
    result("resident_growth_mb", growth);
    return 0;
}
