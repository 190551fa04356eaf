#pragma once

// The vertical range of a scrolling chart: always centred on zero, a multiple
// of five wide on each side, following the recent data within fixed limits.
// Kept apart from the window so the arithmetic can be checked on its own.

#include <QVector>

#include <array>

namespace zel {

// How many of the oldest values a trim drops. It varies with the last digit
// of the first value so that trims do not fall into a fixed rhythm; the
// product is taken in single precision, which makes d = 5 give 49 for n = 500.
int trimCount(float firstValue, int tickCount);

// Half-span r of the range -r..r that covers low..high once both are clamped
// to the limits: the larger magnitude rounded up to a multiple of five.
int zeroCentredHalfSpan(double low, double high, double limitLow, double limitHigh);

struct FloatSpan
{
    float low;
    float high;
};

// The span low..high widened on each side by a tenth of its half-span plus
// one unit, in single precision.
FloatSpan withMargin(float low, float high);

class ChartRange
{
public:
    explicit ChartRange(int tickCount);

    // Sets the limits and applies them at once as the range.
    void setRangeLimits(double low, double high);
    // Forgets every value: the range is the limits again.
    void clear();

    // Takes one sample. Returns true when the range was recomputed (it may
    // come out the same as before).
    bool trackExtremes(float first, float second, float third);

    int halfSpan() const { return r; }
    float minimum() const { return valueMin; }
    float maximum() const { return valueMax; }
    int windowSize() const { return valueWindow[0].size(); }

private:
    void applyZeroCentredRange(double low, double high);
    void rangeFromExtremes();
    void rangeFromBlendedExtremes(float previousMin, float previousMax);
    void rescanExtremes();

    int tickCount;
    std::array<QVector<float>, 3> valueWindow;
    double limitLow;
    double limitHigh;
    float valueMin;
    float valueMax;
    int r = 0;
};

} // namespace zel
