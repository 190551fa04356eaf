#pragma once

// The device frame protocol spoken with the module's application firmware:
// frame envelope, the kinds of frames the tool accepts, the command frames it
// sends, and the decoding of the replies and the sensor stream. Everything
// here works on bytes and numbers so that it can be checked without a port,
// a thread or a window.

#include "bytes.h"

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QVector>

#include <array>
#include <functional>

namespace zel {

// Class byte, type byte, 16-bit little-endian payload length, payload, CR LF.
constexpr int frameOverhead = 6;
constexpr quint8 frameClassSystem = 0x10;
constexpr quint8 frameClassData = 0x20;

constexpr int sensorPayloadLength = 88;
constexpr int sensorFrameLength = sensorPayloadLength + frameOverhead;
constexpr int dataCtrlPayloadLength = 12;
constexpr int dataCtrlRecordLength = 6;
constexpr int versionShortPayloadLength = 4;
constexpr int versionLongPayloadLength = 12;

// The receive buffer and how much of an unconsumed tail is carried over.
constexpr qint64 rxBufferSize = 20000;
constexpr qint64 rxCarryOverCap = 999;

enum class FrameKind { SensorData, DataCtrlReply, BleNotice, VersionReply };

enum class MaintenanceCommand { Reset, Reboot, Identify, Calibrate };

// Frames the tool sends, each complete with its envelope.
QByteArray versionRequestFrame();
QByteArray dataCtrlRequestFrame();
QByteArray maintenanceFrame(MaintenanceCommand command);
// Only the first six bytes of the record are sent; the caller makes sure
// there are six.
QByteArray dataCtrlWriteFrame(const QByteArray &dataCtrl, float magField);

// What a scan of received bytes found. `consumed` is the index just past the
// last frame (or BLE notice) taken from the data; everything from there on is
// still unread.
struct ScanResult
{
    qint64 consumed = 0;
    bool stoppedAtBleNotice = false;
};

// Walks the bytes for frames the tool accepts and hands each to `onFrame`
// with the frame's first byte and payload length. A frame is well formed
// when its length field points at a CR LF inside the data; anything that is
// not a well-formed frame of an accepted kind is stepped over one byte at a
// time. A BLE notice is handed over and consumed, and the scan stops there.
using FrameHandler = std::function<void(FrameKind kind, qint64 index, int payloadLength)>;
ScanResult scanFrames(const uchar *data, qint64 total, const FrameHandler &onFrame);

// How many unconsumed bytes to carry over to the next read: the whole tail
// from `consumed`, but never more than the newest rxCarryOverCap bytes.
qint64 carryOverLength(qint64 total, qint64 consumed);

// One sensor data frame's payload, decoded.
struct SensorSample
{
    float timestamp = 0;
    std::array<float, 3> acc {};
    std::array<float, 3> mag {};
    std::array<float, 3> gyr {};
    std::array<float, 4> quat {}; // w, x, y, z
    std::array<float, 3> euler {}; // pitch, roll, yaw
    std::array<float, 4> angleAxis {}; // angle, axis x, y, z
    quint32 qualityStatus = 0;
};

SensorSample decodeSensorPayload(const uchar *payload);
using SensorSamples = QVector<SensorSample>;
inline bool isGoodQuality(quint32 qualityStatus)
{
    return qualityStatus >= 2;
}

// Version reply: payload of 4 or 12 bytes.
QString versionText(const uchar *payload, int payloadLength);

// Data-control reply: the six record bytes and the reference field.
struct DataCtrlReply
{
    QByteArray dataCtrl;
    float magField = 0;
};
DataCtrlReply decodeDataCtrlPayload(const uchar *payload);

// Poor-quality limit that follows the output data rate code, or the current
// limit for codes that do not change it.
int poorQualityLimitFor(quint8 odrCode, int currentLimit);

} // namespace zel

Q_DECLARE_METATYPE(zel::SensorSample)
