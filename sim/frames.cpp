#include "frames.h"

namespace zel::sim {

QByteArray encodeFrame(quint8 frameClass, quint8 frameType, const QByteArray &payload)
{
    QByteArray frame;
    frame.reserve(payload.size() + frameOverhead);
    frame.append(char(frameClass));
    frame.append(char(frameType));
    appendUInt16(frame, quint16(payload.size()));
    frame.append(payload);
    frame.append("\r\n", 2);
    return frame;
}

QByteArray encodeSensorFrame(const SensorSample &sample)
{
    QByteArray payload;
    payload.reserve(sensorPayloadLength);
    const auto appendAll = [&payload](const auto &values) {
        for (float v : values)
            appendFloat(payload, v);
    };
    appendFloat(payload, sample.timestamp);
    appendAll(sample.acc);
    appendAll(sample.mag);
    appendAll(sample.gyr);
    appendAll(sample.quat);
    appendAll(sample.euler);
    appendFloat(payload, sample.angle);
    appendAll(sample.axis);
    appendUInt32(payload, sample.qualityStatus);
    return encodeFrame(dataClass, sensorType, payload);
}

QByteArray encodeVersionReply(const FirmwareVersion &version, bool shortForm)
{
    // The version is packed in nibbles, so each number only has four bits.
    QByteArray payload;
    payload.append(char((version.patch & 0x0F) << 4));
    payload.append(char(((version.major & 0x0F) << 4) | (version.minor & 0x0F)));
    payload.append(2, '\0');
    // The long form adds the device id and the product id.
    if (!shortForm)
        payload.append(QByteArray::fromHex("5a31c4079e120105"));
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
