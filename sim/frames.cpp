#include "frames.h"

#include <cstring>

namespace zel::sim {

QByteArray encodeFrame(quint8 frameClass, quint8 frameType, const QByteArray &payload)
{
    QByteArray frame;
    frame.reserve(payload.size() + frameOverhead);
    frame.append(char(frameClass));
    frame.append(char(frameType));
    frame.append(char(payload.size() & 0xFF));
    frame.append(char((payload.size() >> 8) & 0xFF));
    frame.append(payload);
    frame.append("\r\n", 2);
    return frame;
}

void appendUInt32(QByteArray &out, quint32 value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.append(char((value >> shift) & 0xFF));
}

void appendFloat(QByteArray &out, float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    appendUInt32(out, bits);
}

float floatAt(const QByteArray &bytes, int offset)
{
    quint32 bits = 0;
    for (int i = 3; i >= 0; --i)
        bits = (bits << 8) | quint8(bytes.at(offset + i));
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

QByteArray encodeSensorFrame(const SensorSample &sample)
{
    QByteArray payload;
    payload.reserve(sensorPayloadLength);
    appendFloat(payload, sample.timestamp);
    for (float v : sample.acc)
        appendFloat(payload, v);
    for (float v : sample.mag)
        appendFloat(payload, v);
    for (float v : sample.gyr)
        appendFloat(payload, v);
    for (float v : sample.quat)
        appendFloat(payload, v);
    for (float v : sample.euler)
        appendFloat(payload, v);
    appendFloat(payload, sample.angle);
    for (float v : sample.axis)
        appendFloat(payload, v);
    appendUInt32(payload, sample.qualityStatus);
    return encodeFrame(dataClass, sensorType, payload);
}

QByteArray deviceId()
{
    return QByteArray::fromHex("5a31c4079e12");
}

QByteArray productId()
{
    return QByteArray::fromHex("0105");
}

QByteArray encodeVersionReply(const ApplicationVersion &version, bool shortForm)
{
    // The version is packed in nibbles, so each number only has four bits.
    QByteArray payload;
    payload.append(char((version.patch & 0x0F) << 4));
    payload.append(char(((version.major & 0x0F) << 4) | (version.minor & 0x0F)));
    payload.append(2, '\0');
    if (!shortForm) {
        payload.append(deviceId());
        payload.append(productId());
    }
    return encodeFrame(systemClass, versionType, payload);
}

QByteArray encodeDataCtrlReply(const QByteArray &record, float magField)
{
    QByteArray payload = record.left(dataCtrlRecordLength);
    payload.append(dataCtrlRecordLength - payload.size(), '\0');
    payload.append(2, '\0');
    appendFloat(payload, magField);
    return encodeFrame(dataClass, dataCtrlType, payload);
}

QByteArray encodeBleNotice()
{
    return encodeFrame(dataClass, bleNoticeType, QByteArray());
}

} // namespace zel::sim
