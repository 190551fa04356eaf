#pragma once

// The host's view of the module's byte stream, written apart from the
// simulator's own encoders so that tests check the wire, not the code.

#include <QByteArray>
#include <QList>

#include <cstring>

namespace simtest {

inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

inline QByteArray floatBytes(float value)
{
    char bytes[4];
    std::memcpy(bytes, &value, 4); // the test machines are little-endian, like the wire
    return QByteArray(bytes, 4);
}

inline float floatAt(const QByteArray &bytes, int offset)
{
    float value;
    std::memcpy(&value, bytes.constData() + offset, 4);
    return value;
}

struct Frame
{
    int offset;
    QByteArray bytes;
};

// Frames found the way a host finds them: a known header, then the
// terminator where the length says; anything else is stepped over.
inline QList<Frame> findFrames(const QByteArray &stream)
{
    static const QList<QByteArray> headers { hex("20025800"), hex("20050c00"), hex("20090000"),
        hex("10010400"), hex("10010c00") };
    QList<Frame> frames;
    for (int i = 0; i + 6 <= stream.size();) {
        const QByteArray header = stream.mid(i, 4);
        const int total = quint8(header.at(2)) + 6;
        if (headers.contains(header) && stream.mid(i + total - 2, 2) == "\r\n") {
            frames.append({ i, stream.mid(i, total) });
            i += total;
        } else {
            ++i;
        }
    }
    return frames;
}

inline QList<QByteArray> framesWithHeader(const QByteArray &stream, const QByteArray &header)
{
    QList<QByteArray> out;
    for (const Frame &frame : findFrames(stream)) {
        if (frame.bytes.startsWith(header))
            out.append(frame.bytes);
    }
    return out;
}

inline QList<QByteArray> sensorFrames(const QByteArray &stream)
{
    return framesWithHeader(stream, hex("20025800"));
}

// A sensor frame's 21 floats in wire order, then its status word.
struct Sensor
{
    float v[21];
    quint32 quality;

    float timestamp() const { return v[0]; }
};

inline Sensor decodeSensor(const QByteArray &frame)
{
    Sensor s;
    std::memcpy(s.v, frame.constData() + 4, sizeof s.v);
    std::memcpy(&s.quality, frame.constData() + 88, 4);
    return s;
}

inline QList<Sensor> decodeSensors(const QByteArray &stream)
{
    QList<Sensor> samples;
    for (const QByteArray &frame : sensorFrames(stream))
        samples.append(decodeSensor(frame));
    return samples;
}

inline QByteArray dataCtrlWrite(const QByteArray &record, float magField)
{
    return hex("20040c00") + record + hex("0000") + floatBytes(magField) + hex("0d0a");
}

const QByteArray versionRequest = hex("100100000d0a");
const QByteArray dataCtrlRequest = hex("200500000d0a");
const QByteArray resetCommand = hex("1002020002000d0a");
const QByteArray rebootCommand = hex("1002020001000d0a");
const QByteArray identifyCommand = hex("1002020000010d0a");
const QByteArray calibrateCommand = hex("1002020003000d0a");
const QByteArray longVersionReply = hex("10010c00301200005a31c4079e1201050d0a");
const QByteArray defaultDataCtrlReply = hex("20050c00020001000001000033333642"
                                            "0d0a");

} // namespace simtest
