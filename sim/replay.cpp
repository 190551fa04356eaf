#include "replay.h"

#include "recordingreader.h"

#include <algorithm>
#include <cmath>

namespace zel::sim {

namespace {

// The module's default output rate paces rows with no spacing to go by.
constexpr qint64 loneRowDelayUs = 20000;

qint64 delayUs(double seconds)
{
    return std::llround(std::min(seconds, 3600.0) * 1e6);
}

} // namespace

// The log is read as the tool reads it to play it: the same rows, the same
// segments where time goes back, the same messages for a file that is not
// a data log.
bool loadReplay(const QString &path, double rateHz, QVector<ReplayRow> *rows, QString *error)
{
    Recording log;
    if (!readRecordingFile(path, &log, error))
        return false;
    const std::vector<int> &segments = log.segmentStarts();
    QVector<ReplayRow> parsed;
    parsed.reserve(log.rows());
    double spacingSum = 0; // seconds, over the rows that follow one of their segment
    int spacings = 0;
    for (int i = 0; i < log.rows(); ++i) {
        const zel::SensorSample read = log.sample(i);
        ReplayRow row { SensorSample(), 0 };
        SensorSample &s = row.sample;
        s.timestamp = read.timestamp;
        std::copy(read.acc.begin(), read.acc.end(), s.acc);
        std::copy(read.mag.begin(), read.mag.end(), s.mag);
        std::copy(read.gyr.begin(), read.gyr.end(), s.gyr);
        std::copy(read.quat.begin(), read.quat.end(), s.quat);
        std::copy(read.euler.begin(), read.euler.end(), s.euler);
        s.angle = read.angleAxis[0];
        std::copy(read.angleAxis.begin() + 1, read.angleAxis.end(), s.axis);
        if (i > 0 && std::binary_search(segments.begin(), segments.end(), i)) {
            row.segmentLine = i + 2; // below the header
        } else if (i > 0) {
            const double spacing = double(s.timestamp) - double(log.timestamp(i - 1));
            row.delayUs = delayUs(spacing);
            spacingSum += spacing;
            ++spacings;
        }
        parsed.append(row);
    }
    parsed[0].delayUs = spacings > 0 ? delayUs(spacingSum / spacings) : loneRowDelayUs;
    for (int i = 1; i < parsed.size(); ++i) {
        if (parsed[i].segmentLine > 0)
            parsed[i].delayUs = parsed[i - 1].delayUs;
    }
    if (rateHz > 0) {
        for (ReplayRow &row : parsed)
            row.delayUs = delayUs(1 / rateHz);
    }
    *rows = parsed;
    return true;
}

} // namespace zel::sim
