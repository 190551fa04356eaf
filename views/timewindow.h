#pragma once

// The arithmetic of looking back through a chart's history: which stretch of
// module time is visible, how zooming and panning move it, and where the
// time axis puts its ticks. Plain numbers, apart from any widget.

#include <QString>

#include <functional>

namespace zel {

// A stretch of module time in seconds, start before end.
struct TimeWindow
{
    double start = 0;
    double end = 0;
    double width() const { return end - start; }
    bool operator==(const TimeWindow &other) const
    {
        return start == other.start && end == other.end;
    }
};

// `window` scaled by `factor` (below 1 zooms in) so that the time `anchor`
// stays at the same place on the screen.
TimeWindow zoomedAround(const TimeWindow &window, double anchor, double factor);

// `window` held within the history oldest..newest: its width within
// minWidth..maxWidth, moved back inside where it sticks out. A window wider
// than the history keeps its right edge at the newest sample, as the live
// view does while it is filling.
TimeWindow withinHistory(
    const TimeWindow &window, double oldest, double newest, double minWidth, double maxWidth);

// The tick spacing of a time axis: the smallest 1, 2 or 5 x 10^n seconds at
// which the widest label for that spacing, as `labelWidth` measures it in
// pixels, fits between two ticks with a gap to spare.
double tickStep(double pixelsPerSecond, const std::function<double(double step)> &labelWidth);

// Decimals that tell apart labels `step` apart: none for whole numbers,
// one for 0.5, two for 0.02.
int decimalsFor(double step);

// A tick's label, seconds relative to the newest sample, with as many
// decimals as the spacing needs: "-2.5 s", "0 s".
QString tickLabel(double seconds, double step);

} // namespace zel
