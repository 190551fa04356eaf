#pragma once

#include "simwire.h"

#include <QByteArray>
#include <QtGlobal>

namespace zel::sim {

// Frame envelope on the serial link: class, type, 16-bit little-endian payload
// length, payload, then CR LF. There is no checksum, so every reader has to
// recognise frames by their header and terminator alone.
constexpr quint8 systemClass = 0x10;
constexpr quint8 dataClass = 0x20;

constexpr quint8 versionType = 0x01;
constexpr quint8 maintenanceType = 0x02;
constexpr quint8 sensorType = 0x02;
constexpr quint8 dataCtrlWriteType = 0x04;
constexpr quint8 dataCtrlType = 0x05;
constexpr quint8 bleNoticeType = 0x09;

constexpr int frameOverhead = 6;
constexpr int sensorPayloadLength = 88;
constexpr int sensorFrameLength = sensorPayloadLength + frameOverhead;
constexpr int dataCtrlPayloadLength = 12;
constexpr int dataCtrlRecordLength = 6;
constexpr int longVersionPayloadLength = 12;
constexpr int shortVersionPayloadLength = 4;

// One sample as the module's fusion reports it; the field order is the order
// on the wire.
struct SensorSample
{
    float timestamp = 0; // seconds since the simulator started
    float acc[3] = {}; // m/s^2
    float mag[3] = {}; // uT
    float gyr[3] = {}; // dps
    float quat[4] = {}; // w, x, y, z
    float euler[3] = {}; // pitch, roll, yaw in degrees
    float angle = 0; // radians, 0..pi
    float axis[3] = {};
    quint32 qualityStatus = 3;
};

QByteArray encodeFrame(quint8 frameClass, quint8 frameType, const QByteArray &payload);
QByteArray encodeSensorFrame(const SensorSample &sample);
QByteArray encodeVersionReply(const FirmwareVersion &version, bool shortForm);
QByteArray encodeDataCtrlReply(const QByteArray &record, float magField);
QByteArray encodeBleNotice();

} // namespace zel::sim
