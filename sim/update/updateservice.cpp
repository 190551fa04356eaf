#include "updateservice.h"

#include <algorithm>
#include <iterator>

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
// Between the last byte of a message and the first byte of its answer.
constexpr qint64 answerDelayNs = 200'000;

// A body with the CRC-32 of its bytes in front, as both sides frame what
// they send.
QByteArray framed(const QByteArray &body)
{
    QByteArray bytes;
    appendUInt32(bytes, crc32Of(body));
    return bytes + body;
}

// Time `count` bytes take on the line.
qint64 lineTimeNs(qint64 count)
{
    return count * 1'000'000'000LL / UpdateService::lineBytesPerSecond;
}

QString statusName(quint32 status)
{
    // By status word, from BadCrc on.
    static const char *const names[] = { "bad CRC", "bad length", "out of sequence", "too large",
        "image CRC mismatch", "unknown type", "bad value" };
    if (status >= UpdateService::BadCrc && status < UpdateService::BadCrc + std::size(names))
        return QString::fromLatin1(names[status - UpdateService::BadCrc]);
    return QStringLiteral("status %1").arg(status);
}

} // namespace

UpdateService::UpdateService(const UpdateFaults &faults)
    : m_faults(faults)
{
}

QByteArray UpdateService::helloRequest()
{
    QByteArray body;
    appendUInt16(body, helloType);
    appendUInt16(body, headerLength);
    return framed(body);
}

void UpdateService::receive(const QByteArray &bytes, qint64 nowNs)
{
    if (bytes.isEmpty())
        return;
    if (!m_pending.isEmpty() && nowNs - m_lastInputNs >= resyncSilenceNs) {
        event(QStringLiteral("dfu-note dropped %1 bytes of an unfinished message")
                  .arg(m_pending.size()));
        m_pending.clear();
    }
    m_lastInputNs = nowNs;
    m_received += bytes.size();

    const qint64 batchStartNs = std::max(nowNs, m_inputFreeNs);
    m_inputFreeNs = batchStartNs + lineTimeNs(bytes.size());
    // Bytes in the buffer ahead of this batch; negative once messages have
    // taken bytes of the batch itself.
    int earlierBytes = m_pending.size();
    m_pending += bytes;

    while (m_pending.size() >= headerLength) {
        const int length = uint16At(m_pending, 6);
        if (length < headerLength || length > maxMessageLength) {
            event(QStringLiteral("dfu-note no message length in %1 bytes, dropped")
                      .arg(m_pending.size()));
            m_pending.clear();
            break;
        }
        if (m_pending.size() < length)
            break;
        const qint64 arrivedNs = batchStartNs + lineTimeNs(std::max(0, length - earlierBytes));
        const QByteArray message = m_pending.left(length);
        m_pending.remove(0, length);
        earlierBytes -= length;
        handleMessage(message, arrivedNs);
    }
}

QByteArray UpdateService::takeDue(qint64 nowNs)
{
    QByteArray due;
    while (!m_outgoing.empty() && m_outgoing.front().dueNs <= nowNs) {
        due.append(m_outgoing.front().byte);
        m_outgoing.pop_front();
    }
    return due;
}

qint64 UpdateService::nextDueNs() const
{
    return m_outgoing.empty() ? -1 : m_outgoing.front().dueNs;
}

void UpdateService::handleMessage(const QByteArray &message, qint64 arrivedNs)
{
    const quint16 type = uint16At(message, 4);
    if (m_hung) {
        ++m_messagesHandled;
        event(QStringLiteral("dfu-unanswered type %1").arg(type));
        return;
    }
    if (uint32At(message, 0) != crc32Of(message.mid(4))) {
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
    ++m_messagesHandled;
}

void UpdateService::handleHello(const QByteArray &message, qint64 arrivedNs)
{
    if (message.size() != headerLength) {
        refuse(helloType, BadLength, QStringLiteral("hello"), arrivedNs);
        return;
    }
    m_session = Session();
    m_session.greeted = true;

    QByteArray body;
    const bool wrongType = m_faults.hello == UpdateFaults::Hello::WrongType;
    appendUInt16(body, wrongType ? wrongHelloAnswerType : helloAnswerType);
    appendUInt16(body, helloAnswerLength);
    // 0x00MMmmpp
    appendUInt32(body,
        quint32(m_version.major & 0xFF) << 16 | quint32(m_version.minor & 0xFF) << 8
            | quint32(m_version.patch & 0xFF));
    appendUInt32(body, capacity);
    appendUInt32(body, 0); // status2: nothing to report
    appendUInt32(body, idleState);
    body.append("ZEL update service");
    body.append(helloAnswerLength - 4 - body.size(), '\0');
    QByteArray answerBytes = framed(body);

    switch (m_faults.hello) {
    case UpdateFaults::Hello::Silent:
        event(QStringLiteral("dfu-hello unanswered"));
        return;
    case UpdateFaults::Hello::WrongLength:
        answerBytes.truncate(wrongHelloAnswerLength);
        event(QStringLiteral("dfu-hello %1 bytes").arg(answerBytes.size()));
        break;
    case UpdateFaults::Hello::WrongType:
        event(QStringLiteral("dfu-hello type %1").arg(wrongHelloAnswerType));
        break;
    case UpdateFaults::Hello::Answer:
    case UpdateFaults::Hello::Ignored: // a hello the module never hands over
        event(QStringLiteral("dfu-hello ") + m_version.toString());
        break;
    }
    answer(answerBytes, arrivedNs);
}

void UpdateService::handleDescriptor(const QByteArray &message, qint64 arrivedNs)
{
    const QString what = QStringLiteral("descriptor");
    if (message.size() != headerLength + 4)
        return refuse(descriptorType, BadLength, what, arrivedNs);
    if (!m_session.greeted)
        return refuse(descriptorType, OutOfSequence, what, arrivedNs);
    if (uint32At(message, 8) != descriptorWord)
        return refuse(descriptorType, BadValue, what, arrivedNs);
    if (m_faults.refuseDescriptor)
        return refuse(descriptorType, m_faults.refusalStatus, what, arrivedNs);
    m_session.described = true;
    event(QStringLiteral("dfu-descriptor"));
    acknowledge(descriptorType, Accepted, arrivedNs);
}

void UpdateService::handleUpdateCommand(const QByteArray &message, qint64 arrivedNs)
{
    const QString what = QStringLiteral("update command");
    if (message.size() != headerLength + 12)
        return refuse(updateCommandType, BadLength, what, arrivedNs);
    if (!m_session.described)
        return refuse(updateCommandType, OutOfSequence, what, arrivedNs);
    const quint32 length = uint32At(message, 8);
    if (length == 0 || length > capacity)
        return refuse(updateCommandType, TooLarge, what, arrivedNs);
    if (uint32At(message, 16) != 0)
        return refuse(updateCommandType, BadValue, what, arrivedNs);
    if (m_faults.refuseUpdateCommand)
        return refuse(updateCommandType, m_faults.refusalStatus, what, arrivedNs);

    m_session.receiving = true;
    m_session.complete = false;
    m_session.expectedLength = length;
    m_session.expectedCrc = uint32At(message, 12);
    m_session.chunksSeen = 0;
    m_session.image.clear();
    m_session.image.reserve(int(length));
    event(QStringLiteral("dfu-update %1").arg(length));
    acknowledge(updateCommandType, Accepted, arrivedNs);
}

void UpdateService::handleChunk(const QByteArray &message, qint64 arrivedNs)
{
    const int index = m_session.chunksSeen++;
    const QString what = QStringLiteral("chunk %1").arg(index);
    if (m_faults.stopAnsweringAfterChunk >= 0 && index > m_faults.stopAnsweringAfterChunk) {
        m_hung = true;
        event(QStringLiteral("dfu-unanswered ") + what);
        return;
    }
    if (message.size() < chunkHeaderLength)
        return refuse(chunkType, BadLength, what, arrivedNs);
    if (!m_session.receiving)
        return refuse(chunkType, OutOfSequence, what, arrivedNs);
    const quint32 offset = uint32At(message, 8);
    const int length = message.size() - chunkHeaderLength;
    if (offset != quint32(m_session.image.size()))
        return refuse(
            chunkType, OutOfSequence, what + QStringLiteral(" at %1").arg(offset), arrivedNs);
    if (quint32(m_session.image.size()) + quint32(length) > m_session.expectedLength)
        return refuse(chunkType, TooLarge, what, arrivedNs);
    if (index == m_faults.refuseChunk) {
        m_session.receiving = false;
        return refuse(chunkType, m_faults.refusalStatus, what, arrivedNs);
    }

    m_session.image.append(message.constData() + chunkHeaderLength, length);
    if (quint32(m_session.image.size()) == m_session.expectedLength && !m_session.complete) {
        if (crc32Of(m_session.image) != m_session.expectedCrc) {
            m_session.receiving = false;
            return refuse(chunkType, ImageCrcMismatch, what, arrivedNs);
        }
        m_session.complete = true;
    }
    event(QStringLiteral("dfu-chunk %1 %2").arg(offset).arg(length));
    acknowledge(chunkType, Accepted, arrivedNs);
}

void UpdateService::handleReset(const QByteArray &message, qint64 arrivedNs)
{
    const QString what = QStringLiteral("reset");
    if (message.size() != headerLength + 4)
        return refuse(resetType, BadLength, what, arrivedNs);
    if (uint32At(message, 8) != resetWord)
        return refuse(resetType, BadValue, what, arrivedNs);
    acknowledge(resetType, Accepted, arrivedNs);
    ++m_resets;
    if (m_session.complete) {
        m_installed = m_session.image;
        m_version = m_nextVersion;
        ++m_installs;
        event(QStringLiteral("dfu-installed %1 %2")
                  .arg(m_installed.size())
                  .arg(crc32Of(m_installed), 8, 16, QLatin1Char('0')));
    }
    const QByteArray image = m_session.image;
    m_session = Session();
    m_session.image = image;
}

void UpdateService::acknowledge(quint16 requestType, quint32 status, qint64 arrivedNs)
{
    QByteArray body;
    appendUInt16(body, acknowledgementType);
    appendUInt16(body, acknowledgementLength);
    appendUInt32(body, requestType);
    appendUInt32(body, status);
    appendUInt32(body, quint32(m_session.image.size()));
    answer(framed(body), arrivedNs);
}

void UpdateService::refuse(
    quint16 requestType, quint32 status, const QString &why, qint64 arrivedNs)
{
    event(QStringLiteral("dfu-refused %1: %2").arg(why, statusName(status)));
    acknowledge(requestType, status, arrivedNs);
}

void UpdateService::answer(const QByteArray &bytes, qint64 arrivedNs)
{
    const int answerIndex = m_messagesHandled;
    const bool longGap = answerIndex == m_faults.longGapInAnswer;
    const bool split = !longGap && m_faults.splitAnswers && m_faults.splitPieceBytes > 0;

    qint64 runStartNs = std::max(arrivedNs + answerDelayNs, m_outputFreeNs);
    qint64 dueNs = runStartNs;
    int runBytes = 0;
    for (int i = 0; i < bytes.size(); ++i) {
        const bool gapBefore = (longGap && i == m_faults.longGapAfterBytes)
            || (split && i > 0 && i % m_faults.splitPieceBytes == 0);
        if (gapBefore) {
            runStartNs = dueNs + (longGap ? m_faults.longGapNs : m_faults.splitGapNs);
            runBytes = 0;
        }
        dueNs = runStartNs + lineTimeNs(++runBytes);
        m_outgoing.push_back({ dueNs, bytes.at(i) });
    }
    m_outputFreeNs = dueNs;
    m_answered += bytes.size();
}

QStringList UpdateService::takeEvents()
{
    QStringList events;
    events.swap(m_events);
    return events;
}

void UpdateService::event(const QString &line)
{
    // A service nobody takes the lines from may run for hours; only the
    // recent story is of use.
    constexpr int eventLimit = 2000;
    if (m_events.size() >= eventLimit)
        m_events.removeFirst();
    m_events.append(line);
}

} // namespace zel::sim
