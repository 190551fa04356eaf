#include "replay.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <limits>

namespace zel::sim {

namespace {

constexpr int logColumns = 17;
// The module's default output rate paces a lone row that loops.
constexpr qint64 loneRowDelayUs = 20000;

qint64 delayUs(double seconds)
{
    return std::llround(std::min(seconds, 3600.0) * 1e6);
}

// The float the tool wrote as `text`. The nearest float rounds back to the
// same text, but for one case: a negative value that rounds to zero is
// written "-0.000000" while -0.0 itself is written "0.000000".
float valueOf(const QByteArray &text, bool *ok)
{
    const float value = text.toFloat(ok);
    if (value == 0 && text.startsWith('-'))
        return -std::numeric_limits<float>::denorm_min();
    return value;
}

// The rotation of quaternion (w, x, y, z) as the module reports it beside.
void setAngleAxis(SensorSample &s)
{
    const double norm = std::hypot(double(s.quat[1]), double(s.quat[2]), double(s.quat[3]));
    s.angle = float(2 * std::acos(std::clamp(double(s.quat[0]), -1.0, 1.0)));
    if (norm > 0) {
        for (int i = 0; i < 3; ++i)
            s.axis[i] = float(s.quat[i + 1] / norm);
    } else {
        s.axis[2] = 1; // no rotation; four zeros would read as nothing received yet
    }
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
    for (line = 2; !file.atEnd(); ++line) {
        const QList<QByteArray> fields = file.readLine().trimmed().split(',');
        if (fields.size() != logColumns)
            return fail(
                QStringLiteral("%1 fields instead of %2").arg(fields.size()).arg(logColumns));
        float values[logColumns];
        for (int i = 0; i < logColumns; ++i) {
            bool ok = false;
            values[i] = valueOf(fields[i], &ok);
            if (!ok || (i == 0 && !std::isfinite(values[0])))
                return fail(QStringLiteral("field %1 '%2' is not a number")
                                .arg(i + 1)
                                .arg(QString::fromLatin1(fields[i])));
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
            if (s.timestamp < previous)
                return fail(QStringLiteral("timestamp %1 is earlier than %2")
                                .arg(QString::fromLatin1(fields[0]))
                                .arg(double(previous), 0, 'g', 6));
            row.delayUs = delayUs(double(s.timestamp) - double(previous));
        }
        parsed.append(row);
    }
    if (parsed.isEmpty())
        return fail(QStringLiteral("no rows to replay"));
    const int last = parsed.size() - 1;
    parsed[0].delayUs = last > 0
        ? delayUs(
            (double(parsed[last].sample.timestamp) - double(parsed[0].sample.timestamp)) / last)
        : loneRowDelayUs;
    if (rateHz > 0) {
        for (ReplayRow &row : parsed)
            row.delayUs = delayUs(1 / rateHz);
    }
    *rows = parsed;
    return true;
}

} // namespace zel::sim
