#pragma once

// The module's side of the wire, written out as hex so that a test's
// expected bytes never come from the tool's own frame builders or decoders.

#include <QByteArray>

#include <cstring>
#include <initializer_list>

namespace frames {

inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// Requests and commands the tool sends.
inline const QByteArray versionRequest = hex("100100000d0a");
inline const QByteArray dataCtrlRequest = hex("200500000d0a");
inline const QByteArray resetCommand = hex("1002020002000d0a");
inline const QByteArray rebootCommand = hex("1002020001000d0a");
inline const QByteArray identifyCommand = hex("1002020000010d0a");
inline const QByteArray calibrateCommand = hex("1002020003000d0a");

// Replies the module sends.
inline const QByteArray shortVersionReply = hex("10010400301200000d0a");
inline const QByteArray longVersionReply = hex("10010c00301200005a31c4079e1201050d0a");
// The module's record as it leaves the factory, reference field 45.55 uT.
inline const QByteArray defaultDataCtrlReply = hex("20050c000200010000010000333336420d0a");
inline const QByteArray bleNotice = hex("200900000d0a");

// The bytes of a frame as the decoders take them.
inline const uchar *bytes(const QByteArray &data)
{
    return reinterpret_cast<const uchar *>(data.constData());
}

inline QByteArray floatBytes(float value)
{
    char bytes[4];
    std::memcpy(bytes, &value, 4); // the test machines are little-endian, like the wire
    return QByteArray(bytes, 4);
}

// A sensor data frame from its 21 floats in wire order (timestamp, acc,
// mag, gyr, quaternion w x y z, pitch roll yaw, angle and axis) and its
// quality status word.
inline QByteArray sensorFrame(std::initializer_list<float> values, quint32 quality = 3)
{
    QByteArray frame = hex("20025800");
    for (float value : values)
        frame += floatBytes(value);
    frame += QByteArray(4 * (21 - int(values.size())), '\0');
    frame += char(quality & 0xFF);
    frame += char((quality >> 8) & 0xFF);
    frame += char((quality >> 16) & 0xFF);
    frame += char(quality >> 24);
    return frame + hex("0d0a");
}

// A sensor data frame whose fields all differ, so that two swapped fields show:
// timestamp 1234.5, acc 1.5 -2.5 3.5, mag 4.5 5.5 -6.5, gyr 7.5 8.5 9.5,
// quaternion 10.5 -11.5 12.5 13.5, Euler 14.5 15.5 -16.5, angle-axis 17.5 18.5 19.5 -20.5.
inline const QByteArray distinctSensorFrame
    = sensorFrame({ 1234.5f, 1.5f, -2.5f, 3.5f, 4.5f, 5.5f, -6.5f, 7.5f, 8.5f, 9.5f, 10.5f, -11.5f,
        12.5f, 13.5f, 14.5f, 15.5f, -16.5f, 17.5f, 18.5f, 19.5f, -20.5f });

// A data-control reply with the six record bytes given as hex and a 45.55 uT field.
inline QByteArray dataCtrlReply(const char *record)
{
    return hex("20050c00") + hex(record) + hex("0000333336420d0a");
}

} // namespace frames
