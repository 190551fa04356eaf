#pragma once

// The byte helpers shared by the module's frames, its data-control record
// and its update messages: little-endian fields, IEEE single-precision
// floats carried as their bits, and upper-case hexadecimal texts.

#include <QByteArray>
#include <QString>

#include <cstring>

namespace zel {

inline quint16 readUInt16(const uchar *data)
{
    return quint16(data[0] | data[1] << 8);
}

inline quint32 readUInt32(const uchar *data)
{
    return quint32(data[0]) | quint32(data[1]) << 8 | quint32(data[2]) << 16
        | quint32(data[3]) << 24;
}

inline float readFloat(const uchar *data)
{
    const quint32 bits = readUInt32(data);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline void appendUInt16(QByteArray &bytes, quint16 value)
{
    bytes.append(char(value & 0xFF));
    bytes.append(char(value >> 8));
}

inline void appendUInt32(QByteArray &bytes, quint32 value)
{
    for (int shift = 0; shift < 32; shift += 8)
        bytes.append(char((value >> shift) & 0xFF));
}

inline void appendFloat(QByteArray &bytes, float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    appendUInt32(bytes, bits);
}

// Appends the byte as exactly two upper-case hexadecimal digits.
inline void appendHexByte(QString &text, quint8 byte)
{
    static const char digits[] = "0123456789ABCDEF";
    text.append(QLatin1Char(digits[byte >> 4]));
    text.append(QLatin1Char(digits[byte & 0x0F]));
}

// Every byte as two upper-case hexadecimal digits, without separators.
inline QString hexDump(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size() * 2);
    for (const char byte : bytes)
        appendHexByte(text, quint8(byte));
    return text;
}

} // namespace zel
