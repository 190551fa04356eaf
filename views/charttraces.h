#pragma once

// The points of a scrolling chart's three traces, apart from any drawing:
// every sample steps the horizontal position by one tick and moves the
// visible window with it, and points are dropped a screenful at a time.

#include <QPointF>
#include <QVector>

#include <array>

namespace zel {

class ChartTraces
{
public:
    // `ticks` samples across a visible width of `span` axis units.
    ChartTraces(int ticks, double span);

    void append(float first, float second, float third);

    const QVector<QPointF> &points(int trace) const { return traces[std::size_t(trace)]; }
    int ticks() const { return tickCount; }
    double visibleMin() const { return visibleLow; }
    double visibleMax() const { return visibleHigh; }
    // Index of the oldest point inside the visible window.
    int firstVisible() const;

private:
    int tickCount;
    double lastX;
    double visibleLow = 0;
    double visibleHigh;
    std::array<QVector<QPointF>, 3> traces;
};

} // namespace zel
