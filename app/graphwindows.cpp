#include "graphwindows.h"

#include "chartview.h"
#include "cubeview.h"

#include <QSurfaceFormat>

#include <algorithm>

namespace {

void bringToFront(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

GraphWindows::GraphWindows(const QSurfaceFormat &cubeFormat)
{
    struct ChartSetup
    {
        const char *title;
        std::array<const char *, 3> seriesNames;
        double limit;
        QString unit;
    };
    const std::array<ChartSetup, 4> setups { {
        { "Accelerometer Data", { "X", "Y", "Z" }, 50, QStringLiteral("m/s^2") },
        { "Magnetometer Data", { "X", "Y", "Z" }, 1600, QStringLiteral("\u03bcT") },
        { "Gyroscope Data", { "X", "Y", "Z" }, 1000, QStringLiteral("dps") },
        { "Euler Angle Data", { "Pitch", "Roll", "Yaw" }, 180, QStringLiteral("degrees") },
    } };
    for (std::size_t i = 0; i < charts.size(); ++i) {
        const ChartSetup &setup = setups[i];
        auto *chart = new ChartView;
        chart->setWindowTitle(tr(setup.title));
        QStringList names;
        for (const char *name : setup.seriesNames)
            names << tr(name);
        chart->setTraceNames(names);
        chart->setRangeLimits(-setup.limit, setup.limit);
        chart->setAxisTitle(setup.unit);
        chart->hide();
        charts[i] = chart;
    }
    // Paused, the four charts look at one moment together.
    zel::linkCharts(std::vector<ChartView *>(charts.begin(), charts.end()));
    cubeView = new CubeView;
    cubeView->setFormat(cubeFormat);
}

GraphWindows::~GraphWindows()
{
    for (ChartView *chart : charts)
        delete chart;
    delete cubeView;
}

std::array<QWidget *, GraphWindows::graphCount> GraphWindows::windows() const
{
    return { cubeView, charts[0], charts[1], charts[2], charts[3] };
}

void GraphWindows::toggle(Graph graph)
{
    QWidget *window = windows()[graph];
    if (window->isVisible())
        window->hide();
    else
        bringToFront(window);
}

void GraphWindows::toggleAll()
{
    const auto all = windows();
    const bool anyVisible
        = std::any_of(all.begin(), all.end(), [](QWidget *w) { return w->isVisible(); });
    for (QWidget *window : all) {
        if (anyVisible)
            window->hide();
        else
            bringToFront(window);
    }
}

QList<int> GraphWindows::visibleGraphs() const
{
    QList<int> visible;
    for (int graph = 0; graph < graphCount; ++graph) {
        if (windows()[graph]->isVisible())
            visible << graph;
    }
    return visible;
}

void GraphWindows::show(const QList<int> &graphs)
{
    for (int graph : graphs) {
        if (graph >= 0 && graph < graphCount)
            windows()[graph]->show();
    }
}

void GraphWindows::closeAll()
{
    for (ChartView *chart : charts)
        chart->close();
    cubeView->close();
}

void GraphWindows::receiveSamples(const zel::SensorSamples &samples)
{
    for (const zel::SensorSample &sample : samples) {
        charts[0]->receiveSample(sample.timestamp, sample.acc[0], sample.acc[1], sample.acc[2]);
        charts[1]->receiveSample(sample.timestamp, sample.mag[0], sample.mag[1], sample.mag[2]);
        charts[2]->receiveSample(sample.timestamp, sample.gyr[0], sample.gyr[1], sample.gyr[2]);
        charts[3]->receiveSample(
            sample.timestamp, sample.euler[0], sample.euler[1], sample.euler[2]);
    }
    if (!samples.isEmpty()) {
        const auto &angleAxis = samples.constLast().angleAxis;
        cubeView->receiveAngleAxis(angleAxis[0], angleAxis[1], angleAxis[2], angleAxis[3]);
    }
}

void GraphWindows::replaceSamples(const zel::SensorSamples &samples)
{
    for (ChartView *chart : charts)
        chart->clearSamples();
    receiveSamples(samples);
    holdNewest();
}

void GraphWindows::holdNewest()
{
    if (held) {
        setPaused(false);
        setPaused(true);
    }
}

void GraphWindows::setPaused(bool paused)
{
    held = paused;
    for (ChartView *chart : charts)
        chart->setPaused(paused);
    cubeView->setPaused(paused);
}
