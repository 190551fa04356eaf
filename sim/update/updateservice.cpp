#include "updateservice.h"

#include <zlib.h>

#include <algorithm>

namespace zel::sim {

namespace {

constexpr quint16 helloType = 0;
constexpr quint16 helloAnswerType = 1;
constexpr quint16 descriptorType = 2;
constexpr quint16 updateCommandType = 3;
constexpr quint16 resetType = 6;
constexpr quint16 acknowledgementType = 7;
constexpr quint16 chunkType = 8;
// What a confused service answers a hello with when told to.
constexpr quint16 wrongHelloAnswerType = 5;
constexpr int wrongHelloAnswerLength = 64;

constexpr int headerLength = 8;
constexpr int chunkHeaderLength = 12;
constexpr quint32 descriptorWord = 0x000FE000;
constexpr quint32 resetWord = 1;
constexpr quint32 idleState = 1;

quint16 le16(const QByteArray &bytes, int at)
{
    return quint16(quint8(bytes.at(at)) | quint8(bytes.at(at + 1)) << 8);
}

quint32 le32(const QByteArray &bytes, int at)
{
    return quint32(quint8(bytes.at(at))) | quint32(quint8(bytes.at(at + 1))) << 8
        | quint32(quint8(bytes.at(at + 2))) << 16 | quint32(quint8(bytes.at(at + 3))) << 24;
}

void put16(QByteArray &bytes, quint16 value)
{
    bytes.append(char(value & 0xFF));
    bytes.append(char(value >> 8));
}

void put32(QByteArray &bytes, quint32 value)
{
    put16(bytes, quint16(value & 0xFFFF));
    put16(bytes, quint16(value >> 16));
}

quint32 crcOf(const char *data, int length)
{
    return quint32(
        crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef *>(data), uInt(length)));
}

quint32 crcOf(const QByteArray &bytes)
{
    return crcOf(bytes.constData(), bytes.size());
}

// A body with the CRC-32 of its bytes in front, as both sides frame what
// they send.
QByteArray framed(const QByteArray &body)
{
    QByteArray bytes;
    put32(bytes, crcOf(body));
    return bytes + body;
}

// Time `count` bytes take on the line.
qint64 lineTimeNs(qint64 count)
{
    return count * 1'000'000'000LL / UpdateService::lineBytesPerSecond;
}

QString statusName(quint32 status)
{
    switch (status) {
    case UpdateService::BadCrc:
        return QStringLiteral("bad CRC");
    case UpdateService::BadLength:
        return QStringLiteral("bad length");
    case UpdateService::OutOfSequence:
        return QStringLiteral("out of sequence");
    case UpdateService::TooLarge:
        return QStringLiteral("too large");
    case UpdateService::ImageCrcMismatch:
        return QStringLiteral("image CRC mismatch");
    case UpdateService::UnknownType:
        return QStringLiteral("unknown type");
    case UpdateService::BadValue:
        return QStringLiteral("bad value");
    default:
        return QStringLiteral("status %1").arg(status);
    }
}

} // namespace

QString FirmwareVersion::toString() const
{
    return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(patch);
}

quint32 FirmwareVersion::word() const
{
    return quint32(major & 0xFF) << 16 | quint32(minor & 0xFF) << 8 | quint32(patch & 0xFF);
}

bool FirmwareVersion::operator==(const FirmwareVersion &other) const
{
    return major == other.major && minor == other.minor && patch == other.patch;
}

UpdateService::UpdateService(const UpdateFaults &faults)
    : faultSettings(faults)
{
}

void UpdateService::setFaults(const UpdateFaults &faults)
{
    faultSettings = faults;
}

void UpdateService::setAnswerDelayNs(qint64 delayNs)
{
    answerDelayNs = std::max<qint64>(0, delayNs);
}

void UpdateService::setFirmwareVersion(const FirmwareVersion &current)
{
    version = current;
}

void UpdateService::setNextFirmwareVersion(const FirmwareVersion &next)
{
    nextVersion = next;
}

QByteArray UpdateService::helloRequest()
{
    QByteArray body;
    put16(body, helloType);
    put16(body, headerLength);
    return framed(body);
}

bool UpdateService::startsWithHello(const QByteArray &bytes)
{
    return bytes.startsWith(helloRequest());
}

void UpdateService::powerCycle()
{
    session = Session();
    pending.clear();
    outgoing.clear();
    hung = false;
    note(QStringLiteral("power cycle"));
}

void UpdateService::receive(const QByteArray &bytes, qint64 nowNs)
{
    if (bytes.isEmpty())
        return;
    if (!pending.isEmpty() && nowNs - lastInputNs >= resyncSilenceNs) {
        note(QStringLiteral("dropped %1 bytes of an unfinished message").arg(pending.size()));
        pending.clear();
    }
    lastInputNs = nowNs;
    received += bytes.size();

    const qint64 batchStartNs = std::max(nowNs, inputFreeNs);
    inputFreeNs = batchStartNs + lineTimeNs(bytes.size());
    // Bytes in the buffer ahead of this batch; negative once messages have
    // taken bytes of the batch itself.
    int earlierBytes = pending.size();
    pending += bytes;

    while (pending.size() >= headerLength) {
        const int length = le16(pending, 6);
        if (length < headerLength || length > maxMessageLength) {
            note(QStringLiteral("no message length in %1 bytes, dropped").arg(pending.size()));
            pending.clear();
            break;
        }
        if (pending.size() < length)
            break;
        const qint64 arrivedNs = batchStartNs + lineTimeNs(std::max(0, length - earlierBytes));
        const QByteArray message = pending.left(length);
        pending.remove(0, length);
        earlierBytes -= length;
        handleMessage(message, arrivedNs);
    }
}

QByteArray UpdateService::takeDue(qint64 nowNs)
{
    QByteArray due;
    while (!outgoing.empty() && outgoing.front().dueNs <= nowNs) {
        due.append(outgoing.front().byte);
        outgoing.pop_front();
    }
    return due;
}

qint64 UpdateService::nextDueNs() const
{
    return outgoing.empty() ? -1 : outgoing.front().dueNs;
}

void UpdateService::handleMessage(const QByteArray &message, qint64 arrivedNs)
{
    const quint16 type = le16(message, 4);
    if (hung) {
        ++messagesHandled;
        note(QStringLiteral("type %1 left unanswered: hung").arg(type));
        return;
    }
    if (le32(message, 0) != crcOf(message.constData() + 4, message.size() - 4)) {
        refuse(type, BadCrc, QStringLiteral("type %1").arg(type), arrivedNs);
    } else {
        switch (type) {
        case helloType:
            handleHello(message, arrivedNs);
            break;
        case descriptorType:
            handleDescriptor(message, arrivedNs);
            break;
        case updateCommandType:
            handleUpdateCommand(message, arrivedNs);
            break;
        case chunkType:
            handleChunk(message, arrivedNs);
            break;
        case resetType:
            handleReset(message, arrivedNs);
            break;
        default:
            refuse(type, UnknownType, QStringLiteral("type %1").arg(type), arrivedNs);
            break;
        }
    }
    ++messagesHandled;
}

void UpdateService::handleHello(const QByteArray &message, qint64 arrivedNs)
{
    if (message.size() != headerLength) {
        refuse(helloType, BadLength, QStringLiteral("hello"), arrivedNs);
        return;
    }
    session = Session();
    session.greeted = true;

    QByteArray body;
    const bool wrongType = faultSettings.hello == UpdateFaults::Hello::WrongType;
    put16(body, wrongType ? wrongHelloAnswerType : helloAnswerType);
    put16(body, helloAnswerLength);
    put32(body, version.word());
    put32(body, capacity);
    put32(body, 0); // status2: nothing to report
    put32(body, idleState);
    body.append("ZEL update service");
    body.append(helloAnswerLength - 4 - body.size(), '\0');
    QByteArray answerBytes = framed(body);

    switch (faultSettings.hello) {
    case UpdateFaults::Hello::Silent:
        note(QStringLiteral("hello left unanswered"));
        return;
    case UpdateFaults::Hello::WrongLength:
        answerBytes.truncate(wrongHelloAnswerLength);
        note(QStringLiteral("hello answered with %1 bytes").arg(answerBytes.size()));
        break;
    case UpdateFaults::Hello::WrongType:
        note(QStringLiteral("hello answered with type %1").arg(wrongHelloAnswerType));
        break;
    case UpdateFaults::Hello::Answer:
        note(QStringLiteral("hello answered, version %1").arg(version.toString()));
        break;
    }
    answer(answerBytes, arrivedNs);
}

void UpdateService::handleDescriptor(const QByteArray &message, qint64 arrivedNs)
{
    const QString what = QStringLiteral("descriptor");
    if (message.size() != headerLength + 4)
        return refuse(descriptorType, BadLength, what, arrivedNs);
    if (!session.greeted)
        return refuse(descriptorType, OutOfSequence, what, arrivedNs);
    if (le32(message, 8) != descriptorWord)
        return refuse(descriptorType, BadValue, what, arrivedNs);
    if (faultSettings.refuseDescriptor)
        return refuse(descriptorType, faultSettings.refusalStatus, what, arrivedNs);
    session.described = true;
    note(what + QStringLiteral(" taken"));
    acknowledge(descriptorType, Accepted, arrivedNs);
}

void UpdateService::handleUpdateCommand(const QByteArray &message, qint64 arrivedNs)
{
    const QString what = QStringLiteral("update command");
    if (message.size() != headerLength + 12)
        return refuse(updateCommandType, BadLength, what, arrivedNs);
    if (!session.described)
        return refuse(updateCommandType, OutOfSequence, what, arrivedNs);
    const quint32 length = le32(message, 8);
    if (length == 0 || length > capacity)
        return refuse(updateCommandType, TooLarge, what, arrivedNs);
    if (le32(message, 16) != 0)
        return refuse(updateCommandType, BadValue, what, arrivedNs);
    if (faultSettings.refuseUpdateCommand)
        return refuse(updateCommandType, faultSettings.refusalStatus, what, arrivedNs);

    session.receiving = true;
    session.complete = false;
    session.expectedLength = length;
    session.expectedCrc = le32(message, 12);
    session.chunksSeen = 0;
    session.image.clear();
    session.image.reserve(int(length));
    note(QStringLiteral("update of %1 bytes announced").arg(length));
    acknowledge(updateCommandType, Accepted, arrivedNs);
}

void UpdateService::handleChunk(const QByteArray &message, qint64 arrivedNs)
{
    const int index = session.chunksSeen++;
    const QString what = QStringLiteral("chunk %1").arg(index);
    if (faultSettings.stopAnsweringAfterChunk >= 0
        && index > faultSettings.stopAnsweringAfterChunk) {
        hung = true;
        note(what + QStringLiteral(" left unanswered: hung"));
        return;
    }
    if (message.size() < chunkHeaderLength)
        return refuse(chunkType, BadLength, what, arrivedNs);
    if (!session.receiving)
        return refuse(chunkType, OutOfSequence, what, arrivedNs);
    const quint32 offset = le32(message, 8);
    const int length = message.size() - chunkHeaderLength;
    if (offset != quint32(session.image.size()))
        return refuse(
            chunkType, OutOfSequence, what + QStringLiteral(" at %1").arg(offset), arrivedNs);
    if (quint32(session.image.size()) + quint32(length) > session.expectedLength)
        return refuse(chunkType, TooLarge, what, arrivedNs);
    if (index == faultSettings.refuseChunk) {
        session.receiving = false;
        return refuse(chunkType, faultSettings.refusalStatus, what, arrivedNs);
    }

    session.image.append(message.constData() + chunkHeaderLength, length);
    if (quint32(session.image.size()) == session.expectedLength && !session.complete) {
        if (crcOf(session.image) != session.expectedCrc) {
            session.receiving = false;
            return refuse(chunkType, ImageCrcMismatch, what, arrivedNs);
        }
        session.complete = true;
    }
    note(QStringLiteral("%1 at %2, %3 bytes taken").arg(what).arg(offset).arg(length));
    acknowledge(chunkType, Accepted, arrivedNs);
}

void UpdateService::handleReset(const QByteArray &message, qint64 arrivedNs)
{
    const QString what = QStringLiteral("reset");
    if (message.size() != headerLength + 4)
        return refuse(resetType, BadLength, what, arrivedNs);
    if (le32(message, 8) != resetWord)
        return refuse(resetType, BadValue, what, arrivedNs);
    acknowledge(resetType, Accepted, arrivedNs);
    ++resets;
    if (session.complete) {
        installed = session.image;
        version = nextVersion;
        ++installs;
        note(QStringLiteral("reset: image of %1 bytes installed, version %2")
                 .arg(installed.size())
                 .arg(version.toString()));
    } else {
        note(QStringLiteral("reset: no complete image, version %1 kept").arg(version.toString()));
    }
    const QByteArray image = session.image;
    session = Session();
    session.image = image;
}

void UpdateService::acknowledge(quint16 requestType, quint32 status, qint64 arrivedNs)
{
    QByteArray body;
    put16(body, acknowledgementType);
    put16(body, acknowledgementLength);
    put32(body, requestType);
    put32(body, status);
    put32(body, quint32(session.image.size()));
    answer(framed(body), arrivedNs);
}

void UpdateService::refuse(
    quint16 requestType, quint32 status, const QString &why, qint64 arrivedNs)
{
    note(QStringLiteral("%1 refused: %2").arg(why, statusName(status)));
    acknowledge(requestType, status, arrivedNs);
}

void UpdateService::answer(const QByteArray &bytes, qint64 arrivedNs)
{
    const int answerIndex = messagesHandled;
    const bool longGap = answerIndex == faultSettings.longGapInAnswer;
    const bool split = !longGap && faultSettings.splitAnswers && faultSettings.splitPieceBytes > 0;

    qint64 runStartNs = std::max(arrivedNs + answerDelayNs, outputFreeNs);
    qint64 dueNs = runStartNs;
    int runBytes = 0;
    for (int i = 0; i < bytes.size(); ++i) {
        const bool gapBefore = (longGap && i == faultSettings.longGapAfterBytes)
            || (split && i > 0 && i % faultSettings.splitPieceBytes == 0);
        if (gapBefore) {
            runStartNs = dueNs + (longGap ? faultSettings.longGapNs : faultSettings.splitGapNs);
            runBytes = 0;
        }
        dueNs = runStartNs + lineTimeNs(++runBytes);
        outgoing.push_back({ dueNs, bytes.at(i) });
    }
    outputFreeNs = dueNs;
    answered += bytes.size();
}

void UpdateService::note(const QString &event)
{
    // A simulator may run for hours; only the recent story is of use.
    constexpr int eventLimit = 2000;
    if (eventLog.size() >= eventLimit)
        eventLog.removeFirst();
    eventLog.append(event);
    ++eventsNoted;
}

} // namespace zel::sim
