#include "charttraces.h"

namespace zel {

ChartTraces::ChartTraces(int ticks, double span)
    : tickCount(ticks)
    , lastX(span)
    , visibleHigh(span)
{
    for (QVector<QPointF> &trace : traces) {
        trace.reserve(2 * tickCount);
        trace.append(QPointF(lastX, 0));
    }
}

void ChartTraces::append(float first, float second, float third)
{
    const double step = (visibleHigh - visibleLow) / tickCount;
    lastX += step;
    const float values[3] = { first, second, third };
    for (int i = 0; i < 3; ++i)
        traces[std::size_t(i)].append(QPointF(lastX, double(values[i])));
    // Dropping a whole screen at once keeps removal off the per-sample path.
    if (traces[0].size() >= 2 * tickCount) {
        for (QVector<QPointF> &trace : traces)
            trace.remove(0, tickCount);
    }
    visibleLow += step;
    visibleHigh += step;
}

int ChartTraces::firstVisible() const
{
    return qMax(0, traces[0].size() - tickCount);
}

} // namespace zel
