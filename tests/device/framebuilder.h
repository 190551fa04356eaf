#pragma once

// Builds the frames the module sends, for tests that play the module.

#include "protocol.h"

#include <QByteArray>

#include <cstring>

namespace testframes {

inline void appendFloat(QByteArray &bytes, float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int shift = 0; shift < 32; shift += 8)
        bytes.append(char((bits >> shift) & 0xFF));
}

inline void appendUInt32(QByteArray &bytes, quint32 value)
{
    for (int shift = 0; shift < 32; shift += 8)
        bytes.append(char((value >> shift) & 0xFF));
}

inline QByteArray frame(quint8 frameClass, quint8 frameType, const QByteArray &payload)
{
    QByteArray bytes;
    bytes.append(char(frameClass)).append(char(frameType));
    bytes.append(char(payload.size() & 0xFF)).append(char(payload.size() >> 8));
    bytes.append(payload);
    bytes.append("\r\n", 2);
    return bytes;
}

inline zel::SensorSample sample(float base = 1.0f, quint32 quality = 3)
{
    zel::SensorSample s;
    s.timestamp = 1234.5f;
    s.acc = { -9.81f, base, 0.25f };
    s.mag = { 20.5f, -3.0f, 40.125f };
    s.gyr = { 0.5f, -0.5f, base * 2 };
    s.quat = { 1.0f, 0.0f, 0.0f, 0.0f };
    s.euler = { 10.0f, -20.0f, 170.5f };
    s.angleAxis = { 0.5f, 0.0f, 0.0f, 1.0f };
    s.qualityStatus = quality;
    return s;
}

inline QByteArray sensorFrame(const zel::SensorSample &s)
{
    QByteArray payload;
    appendFloat(payload, s.timestamp);
    for (float v : s.acc)
        appendFloat(payload, v);
    for (float v : s.mag)
        appendFloat(payload, v);
    for (float v : s.gyr)
        appendFloat(payload, v);
    for (float v : s.quat)
        appendFloat(payload, v);
    for (float v : s.euler)
        appendFloat(payload, v);
    for (float v : s.angleAxis)
        appendFloat(payload, v);
    appendUInt32(payload, s.qualityStatus);
    return frame(0x20, 0x02, payload);
}

inline QByteArray sensorFrame(quint32 quality = 3)
{
    return sensorFrame(sample(1.0f, quality));
}

inline QByteArray versionReply(const QByteArray &payload)
{
    return frame(0x10, 0x01, payload);
}

inline QByteArray shortVersionReply()
{
    return versionReply(QByteArray::fromHex("30120000"));
}

inline QByteArray dataCtrlReply(const QByteArray &record, float magField = 45.55f)
{
    QByteArray payload = record.left(6);
    payload.append('\0').append('\0');
    appendFloat(payload, magField);
    return frame(0x20, 0x05, payload);
}

inline QByteArray bleNotice()
{
    return frame(0x20, 0x09, QByteArray());
}

} // namespace testframes
