#include "protocol.h"

#include <cmath>
#include <cstring>

namespace zel {

namespace {

QByteArray frameHeader(quint8 frameClass, quint8 frameType, quint16 payloadLength)
{
    QByteArray frame;
    frame.reserve(payloadLength + frameOverhead);
    frame.append(char(frameClass));
    frame.append(char(frameType));
    frame.append(char(payloadLength & 0xFF));
    frame.append(char(payloadLength >> 8));
    return frame;
}

void appendTerminator(QByteArray &frame)
{
    frame.append('\r');
    frame.append('\n');
}

bool matchesKind(const uchar *frame, int payloadLength, FrameKind *kind)
{
    const quint8 frameClass = frame[0];
    const quint8 frameType = frame[1];
    if (frameClass == frameClassData) {
        if (frameType == 0x02 && payloadLength == sensorPayloadLength)
            *kind = FrameKind::SensorData;
        else if (frameType == 0x05 && payloadLength == dataCtrlPayloadLength)
            *kind = FrameKind::DataCtrlReply;
        else if (frameType == 0x09 && payloadLength == 0)
            *kind = FrameKind::BleNotice;
        else
            return false;
        return true;
    }
    if (frameClass == frameClassSystem && frameType == 0x01
        && (payloadLength == versionShortPayloadLength
            || payloadLength == versionLongPayloadLength)) {
        *kind = FrameKind::VersionReply;
        return true;
    }
    return false;
}

} // namespace

float bytesToFloat(quint8 b0, quint8 b1, quint8 b2, quint8 b3)
{
    const quint32 bits = bytesToUInt32(b0, b1, b2, b3);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

float readFloatAt(const uchar *data)
{
    return bytesToFloat(data[0], data[1], data[2], data[3]);
}

quint32 readUInt32At(const uchar *data)
{
    return bytesToUInt32(data[0], data[1], data[2], data[3]);
}

void appendHexByte(QString &text, quint8 byte)
{
    static const char digits[] = "0123456789ABCDEF";
    text.append(QLatin1Char(digits[byte >> 4]));
    text.append(QLatin1Char(digits[byte & 0x0F]));
}

QByteArray versionRequestFrame()
{
    QByteArray frame = frameHeader(frameClassSystem, 0x01, 0);
    appendTerminator(frame);
    return frame;
}

QByteArray dataCtrlRequestFrame()
{
    QByteArray frame = frameHeader(frameClassData, 0x05, 0);
    appendTerminator(frame);
    return frame;
}

QByteArray maintenanceFrame(MaintenanceCommand command)
{
    QByteArray frame = frameHeader(frameClassSystem, 0x02, 2);
    switch (command) {
    case MaintenanceCommand::Reset:
        frame.append('\x02').append('\x00');
        break;
    case MaintenanceCommand::Reboot:
        frame.append('\x01').append('\x00');
        break;
    case MaintenanceCommand::Identify:
        frame.append('\x00').append('\x01');
        break;
    case MaintenanceCommand::Calibrate:
        frame.append('\x03').append('\x00');
        break;
    }
    appendTerminator(frame);
    return frame;
}

QByteArray dataCtrlWriteFrame(const QByteArray &dataCtrl, float magField)
{
    QByteArray frame = frameHeader(frameClassData, 0x04, dataCtrlPayloadLength);
    frame.append(dataCtrl.left(dataCtrlRecordLength));
    frame.append('\x00').append('\x00');
    quint32 bits;
    std::memcpy(&bits, &magField, sizeof bits);
    for (int shift = 0; shift < 32; shift += 8)
        frame.append(char((bits >> shift) & 0xFF));
    appendTerminator(frame);
    return frame;
}

ScanResult scanFrames(const uchar *data, qint64 total, const FrameHandler &onFrame)
{
    ScanResult result;
    qint64 i = 0;
    while (i + frameOverhead <= total) {
        const int payloadLength = data[i + 2] | data[i + 3] << 8;
        const qint64 end = i + frameOverhead + payloadLength;
        FrameKind kind;
        if (end <= total && data[end - 2] == '\r' && data[end - 1] == '\n'
            && matchesKind(data + i, payloadLength, &kind)) {
            onFrame(kind, i, payloadLength);
            i = end;
            result.consumed = i;
            if (kind == FrameKind::BleNotice) {
                result.stoppedAtBleNotice = true;
                break;
            }
        } else {
            ++i;
        }
    }
    return result;
}

qint64 carryOverLength(qint64 total, qint64 consumed)
{
    return qMin(total - consumed, rxCarryOverCap);
}

SensorSample decodeSensorPayload(const uchar *payload)
{
    SensorSample sample;
    sample.timestamp = readFloatAt(payload);
    int offset = 4;
    auto readInto = [&](auto &values) {
        for (float &value : values) {
            value = readFloatAt(payload + offset);
            offset += 4;
        }
    };
    readInto(sample.acc);
    readInto(sample.mag);
    readInto(sample.gyr);
    readInto(sample.quat);
    readInto(sample.euler);
    readInto(sample.angleAxis);
    sample.qualityStatus = readUInt32At(payload + offset);
    return sample;
}

QString timestampText(float timestamp)
{
    return QString::number(double(timestamp), 'g', 6);
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

} // namespace

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

namespace {

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

QString sensorConsoleText(const SensorSample &sample, const QDate &date, const QTime &time)
{
    const QString stamp = consoleStamp(date, time);
    const QLatin1String separator(", ");
    QString text;
    text.reserve(400);
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
    return text;
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

QString versionText(const uchar *payload, int payloadLength)
{
    QString text = QString::number(payload[1] >> 4) + QLatin1Char('.')
        + QString::number(payload[1] & 0x0F) + QLatin1Char('.') + QString::number(payload[0] >> 4);
    if (payloadLength == versionLongPayloadLength) {
        text.append(QLatin1String("\nDev Id: "));
        for (int i = 0; i < 6; ++i) {
            if (i > 0)
                text.append(QLatin1Char(':'));
            appendHexByte(text, payload[4 + i]);
        }
        text.append(QLatin1String("\nProduct Id: QZ"));
        appendHexByte(text, payload[10]);
        appendHexByte(text, payload[11]);
    }
    return text;
}

QString hexDump(const uchar *data, qint64 length)
{
    QString text;
    text.reserve(int(length * 2));
    for (qint64 i = 0; i < length; ++i)
        appendHexByte(text, data[i]);
    return text;
}

DataCtrlReply decodeDataCtrlPayload(const uchar *payload)
{
    DataCtrlReply reply;
    reply.dataCtrl = QByteArray(reinterpret_cast<const char *>(payload), dataCtrlRecordLength);
    reply.magField = readFloatAt(payload + 8);
    return reply;
}

int poorQualityLimitFor(quint8 odrCode, int currentLimit)
{
    switch (odrCode) {
    case 1:
        return 750;
    case 2:
        return 1500;
    case 3:
        return 3000;
    default:
        return currentLimit;
    }
}

} // namespace zel
