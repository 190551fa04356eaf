// Feeds the four charts and the cube at the module's highest output rate
// (500 samples a second), delivered in 5 ms batches as the device worker
// delivers them, and reports how often the windows redraw and how much CPU
// a second of samples costs. Then fills each chart's history with a
// minute of samples and reports how long a paused chart takes to redraw it
// all zoomed out, and the history's memory.
//
//   bench_views [seconds of live feed, default 10]

#include "benchsetup.h"
#include "chartrange.h"
#include "chartview.h"
#include "cubeview.h"
#include "procstats.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QOpenGLWidget>
#include <QSurfaceFormat>
#include <QTextStream>
#include <QTimer>

#include <array>
#include <cmath>

namespace {

constexpr int sampleRate = 500;
constexpr int pollMs = 5;

// A smooth, slowly drifting signal with some noise, so that the range
// follows it and trims now and then.
std::array<float, 3> sampleAt(long index)
{
    const double t = index / double(sampleRate);
    const double wobble = std::sin(index * 12.9898) * 0.3;
    return { float(9.0 * std::sin(t * 1.3) + wobble), float(4.0 * std::cos(t * 0.7) - wobble),
        float(9.81 + 2.0 * std::sin(t * 3.1)) };
}

} // namespace

int main(int argc, char *argv[])
{
    QTextStream out(stdout);
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        out << "no X display: falling back to the offscreen platform (no OpenGL figures)\n";
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QSurfaceFormat format;
    format.setDepthBufferSize(24);
    QSurfaceFormat::setDefaultFormat(format);
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(resources);

    const double liveSeconds = argc > 1 ? qMax(1.0, QString(argv[1]).toDouble()) : 10.0;

    const double limits[4] = { 50, 1600, 1000, 180 };
    std::array<ChartView *, 4> charts {};
    bench::PaintCounter chartPaints;
    int chartGlFrames = 0;
    for (int i = 0; i < 4; ++i) {
        charts[i] = new ChartView;
        charts[i]->setRangeLimits(-limits[i], limits[i]);
        charts[i]->resize(640, 400);
        charts[i]->move(40 * i, 30 * i);
        charts[i]->show();
        charts[i]->centralWidget()->installEventFilter(&chartPaints);
    }
    CubeView cube;
    int cubeFrames = 0;
    QObject::connect(&cube, &QOpenGLWidget::frameSwapped, [&cubeFrames] { ++cubeFrames; });
    cube.resize(400, 400);
    cube.show();

    // Let the windows come up and the OpenGL series create their widgets.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 500)
        app.processEvents(QEventLoop::AllEvents, 50);
    for (ChartView *chart : charts)
        for (QOpenGLWidget *gl : chart->findChildren<QOpenGLWidget *>())
            QObject::connect(
                gl, &QOpenGLWidget::frameSwapped, [&chartGlFrames] { ++chartGlFrames; });
    chartPaints.paints = 0;
    cubeFrames = 0;

    // Live feed: every 5 ms, deliver the samples that fell due since the
    // last poll.
    long delivered = 0;
    QElapsedTimer clock;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const long due = long(clock.elapsed() * (sampleRate / 1000.0));
        for (; delivered < due; ++delivered) {
            const auto v = sampleAt(delivered);
            for (ChartView *chart : charts)
                chart->receiveData(v[0], v[1], v[2]);
            cube.receiveAngleAxis(float(std::fmod(delivered / 400.0, 6.283)), 0.3f, 0.5f, 0.8f);
        }
        if (clock.elapsed() >= liveSeconds * 1000)
            app.quit();
    });
    const double cpuBefore = procstats::cpuSeconds();
    clock.start();
    poll.start(pollMs);
    app.exec();
    const double wall = clock.elapsed() / 1000.0;
    const double cpu = procstats::cpuSeconds() - cpuBefore;
    const double sampleSeconds = delivered / double(sampleRate);

    out << "live feed, 4 charts + cube at " << sampleRate << " Hz in " << pollMs << " ms batches, "
        << QString::number(wall, 'f', 1) << " s:\n";
    out << "  samples delivered per chart: " << delivered << " ("
        << QString::number(delivered / wall, 'f', 0) << " per second)\n";
    out << "  chart redraws per second (each chart): "
        << QString::number(chartPaints.paints / wall / 4, 'f', 1) << " widget, "
        << QString::number(chartGlFrames / wall / 4, 'f', 1) << " OpenGL series\n";
    out << "  cube frames per second: " << QString::number(cubeFrames / wall, 'f', 1) << "\n";
    out << "  CPU per second of samples: " << QString::number(cpu / sampleSeconds * 1000, 'f', 0)
        << " ms (" << QString::number(cpu / wall * 100, 'f', 0) << "% of one core)\n";

    // The cost of taking a sample, without redrawing: a chart as the window
    // sees it, and the range tracking on its own.
    constexpr long burst = 50000;
    QElapsedTimer timer;
    timer.start();
    for (long i = 0; i < burst; ++i) {
        const auto v = sampleAt(i);
        charts[0]->receiveData(v[0], v[1], v[2]);
    }
    const double chartNs = timer.nsecsElapsed() / double(burst);
    zel::ChartRange range(500);
    range.setRangeLimits(-50, 50);
    timer.restart();
    long changes = 0;
    for (long i = 0; i < burst; ++i) {
        const auto v = sampleAt(i);
        changes += range.trackExtremes(v[0], v[1], v[2]);
    }
    const double rangeNs = timer.nsecsElapsed() / double(burst);
    out << "per sample, no redraw: receiveData " << QString::number(chartNs / 1000, 'f', 1)
        << " us, range tracking alone " << QString::number(rangeNs, 'f', 0) << " ns (" << changes
        << " range updates in " << burst << " samples)\n";

    // A minute at 500 Hz in every chart's history, paused and zoomed out
    // over all of it; each redraw is painted at once (repaint), so the time
    // is the drawing's own.
    constexpr int historySamples = 60 * sampleRate;
    constexpr int redraws = 40;
    for (ChartView *chart : charts) {
        for (int k = 0; k < historySamples; ++k) {
            const auto v = sampleAt(k);
            chart->receiveSample(float(k) / sampleRate, v[0], v[1], v[2]);
        }
    }
    const auto redrawMs = [&] {
        QElapsedTimer redrawTimer;
        redrawTimer.start();
        for (int i = 0; i < redraws; ++i)
            for (ChartView *chart : charts)
                chart->centralWidget()->repaint();
        return redrawTimer.nsecsElapsed() / 1e6 / redraws / charts.size();
    };
    const double liveMs = redrawMs();
    for (ChartView *chart : charts) {
        chart->setPaused(true);
        const zel::ChartHistory &history = chart->history();
        chart->showTimeWindow({ history.at(0).time, history.at(history.size() - 1).time });
    }
    const double historyMs = redrawMs();
    std::size_t historyBytes = 0;
    for (ChartView *chart : charts)
        historyBytes += chart->history().memoryBytes();
    const QSize plotSize = charts[0]->centralWidget()->size();
    out << "history: " << charts[0]->history().size() << " samples per chart ("
        << QString::number(historySamples / double(sampleRate), 'f', 0) << " s at " << sampleRate
        << " Hz), plot widget " << plotSize.width() << " x " << plotSize.height() << ":\n";
    out << "  redraw, paused and zoomed out over all of it: " << QString::number(historyMs, 'f', 2)
        << " ms per chart (live view: " << QString::number(liveMs, 'f', 2) << " ms)\n";
    out << "  memory of the four histories: " << QString::number(historyBytes / 1e6, 'f', 2)
        << " MB\n";

    for (ChartView *chart : charts)
        delete chart;
    return 0;
}
