#include "sampletext.h"

#include <QFile>

#include <charconv>
#include <cmath>

namespace zel {

namespace {

void appendPadded(QString &text, int value, int width)
{
    char digits[8];
    for (int i = width - 1; i >= 0; --i) {
        digits[i] = char('0' + value % 10);
        value /= 10;
    }
    text.append(QLatin1String(digits, width));
}

template <std::size_t N>
void appendValues(
    QString &text, const std::array<float, N> &values, bool &first, const QLatin1String &separator)
{
    for (float value : values) {
        if (!first)
            text.append(separator);
        first = false;
        appendValueText(text, value);
    }
}

} // namespace

QString timestampText(float timestamp)
{
    // Six significant digits are what every reader has seen so far; they
    // stay wherever they read back as the module's float. Beyond 1000 s they
    // no longer do (a 10 ms step, several rows sharing one stamp at 500 Hz),
    // and the shortest text that reads back exactly takes their place.
    const QString general = QString::number(double(timestamp), 'g', 6);
    if (general.toFloat() == timestamp)
        return general;
    char digits[32];
    const auto written = std::to_chars(digits, digits + sizeof digits, timestamp);
    return QString::fromLatin1(digits, int(written.ptr - digits));
}

QString valueText(float value)
{
    QString text;
    appendValueText(text, value);
    return text;
}

void appendValueText(QString &text, float value)
{
    // Up to 500 frames a second each carry sixteen of these, and the general
    // number formatting was most of the decoding time. A float times 10^6 is
    // exact in a double (24 significant bits times 15625 * 2^6), so rounding
    // that product half away from zero, as Qt does, gives Qt's digits with
    // integer work only. Values beyond that range, non-finite values and
    // negative values that round to zero are left to Qt.
    const double scaled = double(value) * 1e6;
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 9e18) {
        text.append(QString::number(double(value), 'f', 6));
        return;
    }
    const double rounded = std::round(scaled);
    if (rounded == 0 && std::signbit(value)) {
        text.append(QString::number(double(value), 'f', 6));
        return;
    }
    auto magnitude = quint64(std::fabs(rounded));
    char digits[32];
    char *end = digits + sizeof digits;
    char *p = end;
    for (int i = 0; i < 6; ++i) {
        *--p = char('0' + magnitude % 10);
        magnitude /= 10;
    }
    *--p = '.';
    do {
        *--p = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (rounded < 0)
        *--p = '-';
    text.append(QLatin1String(p, int(end - p)));
}

QString consoleStamp(const QDate &date, const QTime &time)
{
    // "yyyy/MM/dd HH:mm:ss.zzz", built by hand: the pattern formatter is the
    // slowest part of a frame's console text.
    if (!date.isValid() || !time.isValid() || date.year() < 0 || date.year() > 9999)
        return date.toString(QStringLiteral("yyyy/MM/dd "))
            + time.toString(QStringLiteral("HH:mm:ss.zzz"));
    QString text;
    text.reserve(23);
    appendPadded(text, date.year(), 4);
    text.append(QLatin1Char('/'));
    appendPadded(text, date.month(), 2);
    text.append(QLatin1Char('/'));
    appendPadded(text, date.day(), 2);
    text.append(QLatin1Char(' '));
    appendPadded(text, time.hour(), 2);
    text.append(QLatin1Char(':'));
    appendPadded(text, time.minute(), 2);
    text.append(QLatin1Char(':'));
    appendPadded(text, time.second(), 2);
    text.append(QLatin1Char('.'));
    appendPadded(text, time.msec(), 3);
    return text;
}

QString elapsedText(double seconds, bool withHours)
{
    const qint64 ms = seconds > 0 ? std::llround(std::min(seconds, 1e12) * 1000) : 0;
    QString text;
    const qint64 minutes = ms / 60000;
    if (withHours) {
        text = QString::number(minutes / 60).rightJustified(2, QLatin1Char('0'));
        text.append(QLatin1Char(':'));
        appendPadded(text, int(minutes % 60), 2);
    } else {
        text = QString::number(minutes).rightJustified(2, QLatin1Char('0'));
    }
    text.append(QLatin1Char(':'));
    appendPadded(text, int(ms / 1000 % 60), 2);
    text.append(QLatin1Char('.'));
    appendPadded(text, int(ms % 1000), 3);
    return text;
}

QString sensorConsoleText(const SensorSample &sample, const QDate &date, const QTime &time)
{
    QString text;
    text.reserve(400);
    appendSensorConsoleText(text, sample, consoleStamp(date, time));
    return text;
}

void appendSensorConsoleText(QString &text, const SensorSample &sample, const QString &stamp)
{
    const QLatin1String separator(", ");
    bool first = true;
    text.append(stamp).append(QLatin1String(" Sensors "));
    appendValues(text, sample.acc, first, separator);
    appendValues(text, sample.mag, first, separator);
    appendValues(text, sample.gyr, first, separator);
    text.append(QLatin1Char('\n'));
    first = true;
    text.append(stamp).append(QLatin1String(" Quaternions "));
    appendValues(text, sample.quat, first, separator);
    text.append(QLatin1Char('\n'));
    first = true;
    text.append(stamp).append(QLatin1String(" Euler Angles "));
    appendValues(text, sample.euler, first, separator);
    text.append(QLatin1Char('\n'));
}

QByteArray csvHeader()
{
    return QByteArrayLiteral("Timestamp,"
                             "Acc_X,Acc_Y,Acc_Z,"
                             "Mag_X,Mag_Y,Mag_Z,"
                             "Gyr_X,Gyr_Y,Gyr_Z,"
                             "Quat_W,Quat_X,Quat_Y,Quat_Z,"
                             "EulerAngle_X,EulerAngle_Y,EulerAngle_Z\n");
}

QByteArray csvRow(const SensorSample &sample)
{
    QString row;
    row.reserve(200);
    row.append(timestampText(sample.timestamp));
    bool first = false;
    const QLatin1String separator(",");
    appendValues(row, sample.acc, first, separator);
    appendValues(row, sample.mag, first, separator);
    appendValues(row, sample.gyr, first, separator);
    appendValues(row, sample.quat, first, separator);
    appendValues(row, sample.euler, first, separator);
    row.append(QLatin1Char('\n'));
    return row.toLatin1();
}

bool createDataLog(const QString &path, QString *error)
{
    // Text mode: the header line ends as the platform ends lines.
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Text) && file.write(csvHeader()) > 0
        && file.flush())
        return true;
    *error = file.errorString();
    return false;
}

} // namespace zel
