#pragma once

// The recent past of a chart's three traces, kept for looking back while
// the live view is paused: a fixed ring of samples with the module's
// timestamp of each, and the reduction of many samples to few pixels.

#include <QByteArray>
#include <QStringList>

#include <array>
#include <cstddef>
#include <vector>

namespace zel {

struct HistorySample
{
    float time; // the module's timestamp, seconds
    std::array<float, 3> values;
};

class ChartHistory
{
public:
    // Room for `capacity` samples, taken once: appending never allocates.
    explicit ChartHistory(int capacity);

    // Keeps the sample, dropping the oldest once full. A timestamp earlier
    // than the newest kept one means the module's clock started again (it
    // restarted, or another module answers): times from before cannot share
    // an axis with the new ones, so the history starts afresh.
    void append(float time, float first, float second, float third);
    void clear()
    {
        count = 0;
        next = 0;
    }

    int size() const { return count; }
    int capacity() const { return int(samples.size()); }
    std::size_t memoryBytes() const { return samples.size() * sizeof(HistorySample); }
    // 0 is the oldest sample kept, size() - 1 the newest.
    const HistorySample &at(int index) const
    {
        int slot = next - count + index;
        if (slot < 0)
            slot += capacity();
        return samples[std::size_t(slot)];
    }
    // The index of the first sample at or after `time` (size() if none).
    int lowerBound(double time) const;

private:
    std::vector<HistorySample> samples;
    int next = 0; // the slot the next sample goes to
    int count = 0;
};

// The lowest and highest value of one trace within one pixel column.
struct ColumnSpan
{
    int column;
    float low;
    float high;
};

// Trace `trace` of samples first..last-1 reduced to one ColumnSpan per pixel
// column that holds any of them, column 0 starting at time `start`: the cost
// follows the samples once and the drawing follows the width, and every
// extreme, a spike of one sample too, stays in its column. Replaces `out`.
void minMaxColumns(const ChartHistory &history, int trace, int first, int last, double start,
    double columnsPerSecond, std::vector<ColumnSpan> &out);

// The samples of start..end as CSV in the data log's form: a header line of
// "Timestamp" and `columns` (three per history), then one row per sample
// with the module timestamp and the values of every history at the same
// place from the newest (the histories take the same samples together).
QByteArray historyCsv(const std::vector<const ChartHistory *> &histories,
    const QStringList &columns, double start, double end);

} // namespace zel
