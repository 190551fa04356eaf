#pragma once

#include "protocol.h"

#include <QCoreApplication>
#include <QList>

#include <array>

class ChartView;
class CubeView;
class QSurfaceFormat;
class QWidget;

// The cube and the four charts (acceleration, magnetic field, angular rate,
// Euler angles): windows of their own with no parent, fed with each poll's
// samples and held still together while the live view is paused.
class GraphWindows
{
    Q_DECLARE_TR_FUNCTIONS(MainView)

public:
    // Indexes of the windows, as the Graphs menu lists them.
    enum Graph { Cube, AccChart, MagChart, GyrChart, EulChart, graphCount };

    explicit GraphWindows(const QSurfaceFormat &cubeFormat);
    ~GraphWindows();
    GraphWindows(const GraphWindows &) = delete;
    GraphWindows &operator=(const GraphWindows &) = delete;

    // Hides a visible window, otherwise brings it to the front.
    void toggle(Graph graph);
    // Hides them all when any is visible, otherwise brings each to the
    // front, the Euler chart last.
    void toggleAll();
    QList<int> visibleGraphs() const;
    void show(const QList<int> &graphs);
    void closeAll();

    // Every sample to the charts, the last attitude to the cube.
    void receiveSamples(const zel::SensorSamples &samples);
    // The charts' samples replaced by these, as if they had come alone.
    void replaceSamples(const zel::SensorSamples &samples);
    void setPaused(bool paused);
    // Paused, the windows hold what they showed; this has them show the
    // newest samples instead and hold those.
    void holdNewest();

private:
    std::array<QWidget *, graphCount> windows() const;

    std::array<ChartView *, 4> charts {};
    CubeView *cubeView;
    bool held = false;
};
