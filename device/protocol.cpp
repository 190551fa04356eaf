#include "protocol.h"

namespace zel {

namespace {

QByteArray frameHeader(quint8 frameClass, quint8 frameType, quint16 payloadLength)
{
    QByteArray frame;
    frame.reserve(payloadLength + frameOverhead);
    frame.append(char(frameClass));
    frame.append(char(frameType));
    appendUInt16(frame, payloadLength);
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
    appendFloat(frame, magField);
    appendTerminator(frame);
    return frame;
}

ScanResult scanFrames(const uchar *data, qint64 total, const FrameHandler &onFrame)
{
    ScanResult result;
    qint64 i = 0;
    while (i + frameOverhead <= total) {
        const int payloadLength = readUInt16(data + i + 2);
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
    sample.timestamp = readFloat(payload);
    int offset = 4;
    auto readInto = [&](auto &values) {
        for (float &value : values) {
            value = readFloat(payload + offset);
            offset += 4;
        }
    };
    readInto(sample.acc);
    readInto(sample.mag);
    readInto(sample.gyr);
    readInto(sample.quat);
    readInto(sample.euler);
    readInto(sample.angleAxis);
    sample.qualityStatus = readUInt32(payload + offset);
    return sample;
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

DataCtrlReply decodeDataCtrlPayload(const uchar *payload)
{
    DataCtrlReply reply;
    reply.dataCtrl = QByteArray(reinterpret_cast<const char *>(payload), dataCtrlRecordLength);
    reply.magField = readFloat(payload + 8);
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
