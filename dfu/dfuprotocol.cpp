#include "dfuprotocol.h"

#include "bytes.h"

#include <zlib.h>

#include <algorithm>

namespace zel::dfu {

namespace {

QByteArray messageStart(MessageType type, int wireLength)
{
    QByteArray body;
    body.reserve(wireLength - crcSize);
    appendUInt16(body, type);
    appendUInt16(body, quint16(wireLength));
    return body;
}

} // namespace

quint32 crc32Of(const QByteArray &bytes)
{
    return quint32(
        crc32(0L, reinterpret_cast<const Bytef *>(bytes.constData()), uInt(bytes.size())));
}

QByteArray helloBody()
{
    return messageStart(HelloRequest, messageHeaderSize);
}

QByteArray otaDescriptorBody()
{
    QByteArray body = messageStart(OtaDescriptor, messageHeaderSize + 4);
    appendUInt32(body, 0x000FE000);
    return body;
}

QByteArray updateCommandBody(quint32 imageLength, quint32 imageCrc)
{
    QByteArray body = messageStart(UpdateCommand, messageHeaderSize + 12);
    appendUInt32(body, imageLength);
    appendUInt32(body, imageCrc);
    appendUInt32(body, 0);
    return body;
}

QByteArray resetBody()
{
    QByteArray body = messageStart(ResetCommand, messageHeaderSize + 4);
    appendUInt32(body, 1);
    return body;
}

QByteArray dataChunkBody(quint32 offset, const char *data, int length)
{
    QByteArray body = messageStart(DataChunk, chunkHeaderSize + length);
    appendUInt32(body, offset);
    body.append(data, length);
    return body;
}

QByteArray crcPrefix(const QByteArray &body)
{
    QByteArray prefix;
    appendUInt32(prefix, crc32Of(body));
    return prefix;
}

QByteArray wireMessage(const QByteArray &body)
{
    return crcPrefix(body) + body;
}

quint32 readUInt32(const QByteArray &response, int index)
{
    quint8 bytes[4] = {};
    for (int i = 0; i < 4; ++i) {
        const int at = index + i;
        if (at >= 0 && at < response.size())
            bytes[i] = quint8(response.at(at));
    }
    return zel::readUInt32(bytes);
}

QString hexUInt32(quint32 value)
{
    QString text;
    for (int shift = 24; shift >= 0; shift -= 8)
        appendHexByte(text, quint8(value >> shift));
    return text;
}

quint16 responseType(const QByteArray &response)
{
    return quint16(readUInt32(response, 4) & 0xFFFF);
}

AckVerdict judgeAcknowledgement(const QByteArray &response)
{
    AckVerdict verdict;
    if (response.size() != acknowledgementSize) {
        verdict.logLine = QStringLiteral("send_ackd_command response : %1").arg(response.size());
        return verdict;
    }
    if (responseType(response) != Acknowledgement) {
        verdict.logLine = QStringLiteral("send_ackd_command string: ") + hexDump(response);
        return verdict;
    }
    const quint32 status = readUInt32(response, 12);
    if (status != 0) {
        verdict.logLine = QStringLiteral("send_ackd_command status wrong: %1").arg(status);
        return verdict;
    }
    verdict.accepted = true;
    return verdict;
}

HelloVerdict judgeHelloResponse(const QByteArray &response)
{
    HelloVerdict verdict;
    verdict.logLines << QStringLiteral("response : %1").arg(response.size());
    if (response.size() != helloResponseSize)
        return verdict;

    verdict.logLines << QStringLiteral("response string:") + hexDump(response);
    const quint16 type = responseType(response);
    verdict.logLines << QStringLiteral("response status  : %1").arg(type);
    if (type != HelloResponse)
        return verdict;

    QString length = QStringLiteral("length = ");
    appendHexByte(length, quint8(response.at(6)));
    appendHexByte(length, quint8(response.at(7)));
    verdict.logLines << length;
    verdict.logLines << QStringLiteral("version = ") + hexUInt32(readUInt32(response, 8));
    verdict.logLines << QStringLiteral("storage = ") + hexUInt32(readUInt32(response, 12));
    verdict.logLines << QStringLiteral("status2 = ") + hexUInt32(readUInt32(response, 16));
    verdict.logLines << QStringLiteral("state = ") + hexUInt32(readUInt32(response, 20));
    verdict.accepted = true;
    return verdict;
}

QByteArray helloAnswerWithin(const QByteArray &response)
{
    if (response.size() <= helloResponseSize)
        return response;
    const QByteArray tail = response.right(helloResponseSize);
    return responseType(tail) == HelloResponse ? tail : response;
}

qint64 updatesNeeded(qint64 imageLength)
{
    if (imageLength <= 0)
        return 0;
    return (imageLength + updateSize - 1) / updateSize;
}

QVector<ChunkPlan> planChunks(qint64 imageLength)
{
    QVector<ChunkPlan> plan;
    if (imageLength <= 0 || imageLength > updateSize)
        return plan;
    const int fullChunks = int(imageLength / chunkSize);
    plan.reserve(fullChunks + 1);
    for (int k = 0; k <= fullChunks; ++k) {
        ChunkPlan chunk;
        chunk.offset = quint32(k) * chunkSize;
        chunk.length = int(std::min<qint64>(chunkSize, imageLength - chunk.offset));
        chunk.progress = fullChunks == 0 ? progressFullScale : progressFullScale * k / fullChunks;
        plan.append(chunk);
    }
    return plan;
}

} // namespace zel::dfu
