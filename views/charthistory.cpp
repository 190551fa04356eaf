#include "charthistory.h"

#include "sampletext.h"

#include <algorithm>
#include <cmath>

namespace zel {

ChartHistory::ChartHistory(int capacity)
    : samples(std::size_t(std::max(1, capacity)))
{
}

void ChartHistory::append(float time, float first, float second, float third)
{
    if (count > 0 && time < at(count - 1).time)
        count = 0;
    samples[std::size_t(next)] = { time, { first, second, third } };
    if (++next == capacity())
        next = 0;
    if (count < capacity())
        ++count;
}

int ChartHistory::lowerBound(double time) const
{
    int low = 0;
    int high = count;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (double(at(middle).time) < time)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

void minMaxColumns(const ChartHistory &history, int trace, int first, int last, double start,
    double columnsPerSecond, std::vector<ColumnSpan> &out)
{
    out.clear();
    const auto t = std::size_t(trace);
    for (int i = first; i < last; ++i) {
        const HistorySample &sample = history.at(i);
        // Samples off the left only need to stay there: clamping before the
        // conversion keeps a wild timestamp (or none, NaN) from overflowing.
        const double position = std::floor((double(sample.time) - start) * columnsPerSecond);
        const int column = position >= -1 ? int(std::min(position, 1e6)) : -1;
        const float value = sample.values[t];
        if (out.empty() || out.back().column != column) {
            out.push_back({ column, value, value });
        } else {
            out.back().low = std::min(out.back().low, value);
            out.back().high = std::max(out.back().high, value);
        }
    }
}

QByteArray historyCsv(const std::vector<const ChartHistory *> &histories,
    const QStringList &columns, double start, double end)
{
    QString text = QStringLiteral("Timestamp,") + columns.join(QLatin1Char(',')) + '\n';
    if (histories.empty())
        return text.toLatin1();
    int kept = histories.front()->size();
    for (const ChartHistory *history : histories)
        kept = std::min(kept, history->size());
    const ChartHistory &first = *histories.front();
    const int firstIndex = std::max(first.lowerBound(start), first.size() - kept);
    for (int i = firstIndex; i < first.size() && double(first.at(i).time) <= end; ++i) {
        const int fromNewest = first.size() - 1 - i;
        text.append(timestampText(first.at(i).time));
        for (const ChartHistory *history : histories) {
            for (const float value : history->at(history->size() - 1 - fromNewest).values) {
                text.append(QLatin1Char(','));
                appendValueText(text, value);
            }
        }
        text.append(QLatin1Char('\n'));
    }
    return text.toUtf8();
}

} // namespace zel
