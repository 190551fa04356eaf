#include "replay.h"

#include "logfield.h"

#include <QFile>

#include <algorithm>
#include <cmath>

namespace zel::sim {

namespace {

constexpr int logColumns = 17;
// The module's default output rate paces rows with no spacing to go by.
constexpr qint64 loneRowDelayUs = 20000;

qint64 delayUs(double seconds)
{
    return std::llround(std::min(seconds, 3600.0) * 1e6);
}

// The float the tool wrote as `text` in column `column` (from 0).
bool readValue(const QByteArray &text, int column, float *value)
{
    return readLogField(text.constData(), text.constData() + text.size(), column, value);
}

// The rotation of quaternion (w, x, y, z) as the module reports it beside.
void setAngleAxis(SensorSample &s)
{
    const std::array<float, 4> angleAxis
        = angleAxisFromQuaternion(s.quat[0], s.quat[1], s.quat[2], s.quat[3]);
    s.angle = angleAxis[0];
    std::copy(angleAxis.begin() + 1, angleAxis.end(), s.axis);
}

} // namespace

bool loadReplay(const QString &path, double rateHz, QVector<ReplayRow> *rows, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    int line = 1;
    const auto fail = [&](const QString &what) {
        *error = QStringLiteral("%1:%2: %3").arg(path).arg(line).arg(what);
        return false;
    };
    if (file.readLine().trimmed()
        != "Timestamp,Acc_X,Acc_Y,Acc_Z,Mag_X,Mag_Y,Mag_Z,Gyr_X,Gyr_Y,Gyr_Z,"
           "Quat_W,Quat_X,Quat_Y,Quat_Z,EulerAngle_X,EulerAngle_Y,EulerAngle_Z")
        return fail(QStringLiteral("not the header of a data log"));
    QVector<ReplayRow> parsed;
    double spacingSum = 0; // seconds, over the rows that follow one of their segment
    int spacings = 0;
    for (line = 2; !file.atEnd(); ++line) {
        const QList<QByteArray> fields = file.readLine().trimmed().split(',');
        if (fields.size() != logColumns)
            return fail(
                QStringLiteral("%1 fields instead of %2").arg(fields.size()).arg(logColumns));
        float values[logColumns];
        for (int i = 0; i < logColumns; ++i) {
            const QByteArray field = fields[i].trimmed();
            if (!readValue(field, i, &values[i]) || (i == 0 && !std::isfinite(values[0])))
                return fail(QStringLiteral("field %1 '%2' is not a number")
                                .arg(i + 1)
                                .arg(QString::fromLatin1(field)));
        }
        ReplayRow row { SensorSample(), 0 };
        SensorSample &s = row.sample;
        s.timestamp = values[0];
        std::copy(values + 1, values + 4, s.acc);
        std::copy(values + 4, values + 7, s.mag);
        std::copy(values + 7, values + 10, s.gyr);
        std::copy(values + 10, values + 14, s.quat);
        std::copy(values + 14, values + 17, s.euler);
        setAngleAxis(s);
        if (!parsed.isEmpty()) {
            const float previous = parsed.last().sample.timestamp;
            if (s.timestamp < previous) {
                row.segmentLine = line;
            } else {
                const double spacing = double(s.timestamp) - double(previous);
                row.delayUs = delayUs(spacing);
                spacingSum += spacing;
                ++spacings;
            }
        }
        parsed.append(row);
    }
    if (parsed.isEmpty())
        return fail(QStringLiteral("no rows to replay"));
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
