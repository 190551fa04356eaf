#pragma once

// What both firmwares of the simulated module share: the version they
// report, and the little-endian fields and CRC-32 of their encoders. The
// simulator keeps its own, apart from the tool's, so that a fault in the
// tool's encoders or decoders shows as a disagreement on the line.

#include <QByteArray>
#include <QString>

#include <zlib.h>

#include <cstring>

namespace zel::sim {

struct FirmwareVersion
{
    int major = 1;
    int minor = 2;
    int patch = 3;

    // "1.3.0"
    QString toString() const { return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(patch); }
};

inline void appendUInt16(QByteArray &out, quint16 value)
{
    out.append(char(value & 0xFF));
    out.append(char(value >> 8));
}

inline void appendUInt32(QByteArray &out, quint32 value)
{
    appendUInt16(out, quint16(value & 0xFFFF));
    appendUInt16(out, quint16(value >> 16));
}

inline void appendFloat(QByteArray &out, float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    appendUInt32(out, bits);
}

inline quint16 uint16At(const QByteArray &bytes, int at)
{
    return quint16(quint8(bytes.at(at)) | quint8(bytes.at(at + 1)) << 8);
}

inline quint32 uint32At(const QByteArray &bytes, int at)
{
    return uint16At(bytes, at) | quint32(uint16At(bytes, at + 2)) << 16;
}

inline float floatAt(const QByteArray &bytes, int at)
{
    const quint32 bits = uint32At(bytes, at);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// CRC-32/ISO-HDLC, as the update service frames its messages.
inline quint32 crc32Of(const QByteArray &bytes)
{
    return quint32(
        ::crc32(0L, reinterpret_cast<const Bytef *>(bytes.constData()), uInt(bytes.size())));
}

} // namespace zel::sim
