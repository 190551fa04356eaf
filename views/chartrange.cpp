#include "chartrange.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>

namespace zel {

int trimCount(float firstValue, int tickCount)
{
    // The integer part modulo ten, taken on the float itself: a value beyond
    // the int range (or not a number at all) must not reach an int cast.
    int d = 0;
    if (std::isfinite(firstValue))
        d = static_cast<int>(std::fmod(std::trunc(std::fabs(firstValue)), 10.0f));
    const float fraction = static_cast<float>(d) * 0.01f + 0.05f;
    return static_cast<int>(fraction * static_cast<float>(tickCount));
}

int zeroCentredHalfSpan(double low, double high, double limitLow, double limitHigh)
{
    const double clampedLow = std::min(limitHigh, std::max(limitLow, low));
    const double clampedHigh = std::min(limitHigh, std::max(limitLow, high));
    const double m = std::max(std::fabs(clampedLow), std::fabs(clampedHigh)) / 5.0;
    // Saturate rather than overflow: before the limits are set they span the
    // whole double range, and a wild sample could ask for more than an int.
    constexpr double largest = INT_MAX / 5;
    const double steps = std::ceil(m);
    if (!(steps < largest))
        return static_cast<int>(largest) * 5;
    return 5 * static_cast<int>(steps);
}

FloatSpan withMargin(float low, float high)
{
    const float mid = (low + high) * 0.5f;
    return { low - (mid - low) / 10 - 1, high + (high - mid) / 10 + 1 };
}

ChartRange::ChartRange(int ticks)
    : tickCount(ticks)
    , limitLow(-DBL_MAX)
    , limitHigh(DBL_MAX)
    , valueMin(FLT_MAX)
    , valueMax(-FLT_MAX)
{
}

void ChartRange::setRangeLimits(double low, double high)
{
    limitLow = low;
    limitHigh = high;
    applyZeroCentredRange(low, high);
}

void ChartRange::clear()
{
    for (QVector<float> &window : valueWindow)
        window.clear();
    valueMin = FLT_MAX;
    valueMax = -FLT_MAX;
    applyZeroCentredRange(limitLow, limitHigh);
}

bool ChartRange::trackExtremes(float first, float second, float third)
{
    const float previousMin = valueMin;
    const float previousMax = valueMax;
    const int trim = trimCount(first, tickCount);

    bool trimmed = false;
    if (valueWindow[0].size() > tickCount + trim) {
        for (QVector<float> &window : valueWindow)
            window.remove(0, trim);
        rescanExtremes();
        trimmed = true;
    }

    valueWindow[0].append(first);
    valueWindow[1].append(second);
    valueWindow[2].append(third);

    // Plain comparisons: a NaN never becomes an extreme.
    const float values[3] = { first, second, third };
    bool newMaximum = false;
    bool newMinimum = false;
    for (float value : values) {
        if (value > valueMax) {
            valueMax = value;
            newMaximum = true;
        }
    }
    for (float value : values) {
        if (value < valueMin) {
            valueMin = value;
            newMinimum = true;
        }
    }
    if (newMinimum) {
        rangeFromExtremes();
        return true;
    }
    if (newMaximum) {
        rangeFromExtremes();
        return true;
    }
    if (trimmed) {
        rangeFromBlendedExtremes(previousMin, previousMax);
        return true;
    }
    return false;
}

void ChartRange::rescanExtremes()
{
    // Comparisons rather than std::minmax_element so that a NaN in a window
    // is passed over instead of poisoning the result.
    valueMin = FLT_MAX;
    valueMax = -FLT_MAX;
    for (const QVector<float> &window : valueWindow) {
        for (float value : window) {
            if (value > valueMax)
                valueMax = value;
            if (value < valueMin)
                valueMin = value;
        }
    }
}

void ChartRange::applyZeroCentredRange(double low, double high)
{
    r = zeroCentredHalfSpan(low, high, limitLow, limitHigh);
}

void ChartRange::rangeFromExtremes()
{
    const FloatSpan span = withMargin(valueMin, valueMax);
    applyZeroCentredRange(span.low, span.high);
}

void ChartRange::rangeFromBlendedExtremes(float previousMin, float previousMax)
{
    // The blend is shown but not kept, so a dropped extreme narrows the
    // range in two steps instead of one jump.
    const float lo = (previousMin + valueMin) * 0.5f;
    const float hi = (previousMax + valueMax) * 0.5f;
    const FloatSpan span = withMargin(lo, hi);
    applyZeroCentredRange(span.low, span.high);
}

} // namespace zel
