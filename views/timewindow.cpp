#include "timewindow.h"

#include <algorithm>
#include <cmath>

namespace zel {

namespace {
// Pixels left free between two neighbouring tick labels.
constexpr double labelGap = 12;
} // namespace

int decimalsFor(double step)
{
    return std::max(0, int(std::ceil(-std::log10(step) - 1e-9)));
}

TimeWindow zoomedAround(const TimeWindow &window, double anchor, double factor)
{
    return { anchor - (anchor - window.start) * factor, anchor + (window.end - anchor) * factor };
}

TimeWindow withinHistory(
    const TimeWindow &window, double oldest, double newest, double minWidth, double maxWidth)
{
    const double width = std::clamp(window.width(), minWidth, std::max(minWidth, maxWidth));
    if (width >= newest - oldest || window.start + width > newest)
        return { newest - width, newest };
    if (window.start < oldest)
        return { oldest, oldest + width };
    return { window.start, window.start + width };
}

double tickStep(double pixelsPerSecond, const std::function<double(double step)> &labelWidth)
{
    if (!(pixelsPerSecond > 0))
        return 1;
    // From a step too small for even a narrow label, upwards through 1, 2, 5.
    double decade = std::pow(10.0, std::floor(std::log10(1 / pixelsPerSecond)));
    for (;; decade *= 10) {
        for (const double mantissa : { 1.0, 2.0, 5.0 }) {
            const double step = mantissa * decade;
            if (step * pixelsPerSecond >= labelWidth(step) + labelGap)
                return step;
        }
    }
}

QString tickLabel(double seconds, double step)
{
    const int decimals = decimalsFor(step);
    // Ticks are multiples of the step, so rounding to the step's decimals
    // loses nothing but the float noise, including a "-0".
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(seconds * scale) / scale;
    return QString::number(rounded == 0 ? 0.0 : rounded, 'f', decimals) + QStringLiteral(" s");
}

} // namespace zel
