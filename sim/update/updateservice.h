#pragma once

// A model of the sensor module's firmware-update service, as the host meets
// it at the other end of the serial line. It is fed the host's bytes with the
// time they arrived and hands back its answers with the time each byte is
// due, paced at the line rate of 921600 baud. It depends on nothing of the
// host: it has its own encoders and checks, so it can catch the host's
// mistakes rather than share them.
//
// Messages from the host: a 32-bit CRC of the body, then the body, which
// starts with a 16-bit type and the 16-bit length of the whole message. All
// fields are little-endian. The service answers a hello with an 88-byte
// response of type 1 and every other message with a 20-byte acknowledgement
// of type 7, whose status word at byte 12 is 0 when the message was taken.

#include "simwire.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <deque>

namespace zel::sim {

// Ways to make the service misbehave, one setting per fault.
struct UpdateFaults
{
    enum class Hello {
        Answer,
        Silent, // the hello goes unanswered
        WrongType, // an 88-byte answer of type 5
        WrongLength, // a 64-byte answer
        // The module never enters its update service: it keeps streaming.
        Ignored,
    };
    Hello hello = Hello::Answer;
    bool refuseDescriptor = false;
    bool refuseUpdateCommand = false;
    // Index of the data chunk to refuse, counting from 0; -1 for none.
    int refuseChunk = -1;
    // The service hangs once chunk K is acknowledged: nothing after it is
    // answered for as long as the service runs. -1 for never.
    int stopAnsweringAfterChunk = -1;
    // Index of the host message (0 for the first one since power-up, the
    // hello) whose answer is cut in two by a long silence; -1 for none.
    int longGapInAnswer = -1;
    int longGapAfterBytes = 10;
    qint64 longGapNs = 50'000'000;
    // Every answer comes in small pieces with short silences between them.
    bool splitAnswers = false;
    int splitPieceBytes = 8;
    qint64 splitGapNs = 2'000'000;
    // Status of a refusal that a fault asks for. Top bit set, so a host that
    // reads it as signed shows a negative number.
    quint32 refusalStatus = 0x80000000u;
};

class UpdateService
{
public:
    static constexpr qint64 lineBytesPerSecond = 921600 / 10;
    // Largest image the module's update area holds.
    static constexpr quint32 capacity = 295008;
    static constexpr int maxMessageLength = 8192;
    static constexpr int helloAnswerLength = 88;
    static constexpr int acknowledgementLength = 20;
    // A partial message followed by this much silence is dropped, so the
    // service finds the start of the next message again.
    static constexpr qint64 resyncSilenceNs = 100'000'000;

    // Status words of the service's own refusals.
    enum Status : quint32 {
        Accepted = 0,
        BadCrc = 1,
        BadLength = 2,
        OutOfSequence = 3,
        TooLarge = 4,
        ImageCrcMismatch = 5,
        UnknownType = 6,
        BadValue = 7,
    };

    explicit UpdateService(const UpdateFaults &faults = {});

    // Host bytes that arrived at `nowNs` on any monotonic nanosecond clock.
    // They are taken to cross the line one after the other at the line rate.
    void receive(const QByteArray &bytes, qint64 nowNs);
    // Answer bytes due by `nowNs`, in order; they leave the queue.
    QByteArray takeDue(qint64 nowNs);
    // When the next queued byte is due, or -1 when nothing is queued.
    qint64 nextDueNs() const;
    bool hasPendingOutput() const { return !m_outgoing.empty(); }

    // The image assembled by the update under way or the last one.
    QByteArray image() const { return m_session.image; }
    // The image installed by the last update that was complete, checked and
    // followed by a reset.
    QByteArray installedImage() const { return m_installed; }
    FirmwareVersion firmwareVersion() const { return m_version; }
    void setFirmwareVersion(const FirmwareVersion &current) { m_version = current; }
    // The version a good update installs.
    void setNextFirmwareVersion(const FirmwareVersion &next) { m_nextVersion = next; }
    int installCount() const { return m_installs; }
    // Reset commands acknowledged: each one restarts the module, out of its
    // update service and back into its application firmware.
    int resetCount() const { return m_resets; }

    // The zel-sim event lines ("dfu-hello 1.2.3", "dfu-chunk 0 8180", ...)
    // of the messages handled and the answers withheld since the last call.
    QStringList takeEvents();
    qint64 bytesReceived() const { return m_received; }
    qint64 bytesAnswered() const { return m_answered; }

    // The hello exactly as the host sends it, the first thing a host says
    // when it wants the update service: its CRC, then 00 00 08 00.
    static QByteArray helloRequest();

private:
    struct Session
    {
        bool greeted = false;
        bool described = false;
        bool receiving = false;
        bool complete = false;
        quint32 expectedLength = 0;
        quint32 expectedCrc = 0;
        int chunksSeen = 0;
        QByteArray image;
    };

    struct PendingByte
    {
        qint64 dueNs;
        char byte;
    };

    void handleMessage(const QByteArray &message, qint64 arrivedNs);
    void handleHello(const QByteArray &message, qint64 arrivedNs);
    void handleDescriptor(const QByteArray &message, qint64 arrivedNs);
    void handleUpdateCommand(const QByteArray &message, qint64 arrivedNs);
    void handleChunk(const QByteArray &message, qint64 arrivedNs);
    void handleReset(const QByteArray &message, qint64 arrivedNs);

    void acknowledge(quint16 requestType, quint32 status, qint64 arrivedNs);
    void refuse(quint16 requestType, quint32 status, const QString &why, qint64 arrivedNs);
    void answer(const QByteArray &bytes, qint64 arrivedNs);
    void event(const QString &line);

    UpdateFaults m_faults;

    QByteArray m_pending;
    qint64 m_lastInputNs = 0;
    qint64 m_inputFreeNs = 0;
    qint64 m_outputFreeNs = 0;
    std::deque<PendingByte> m_outgoing;

    Session m_session;
    int m_messagesHandled = 0;
    bool m_hung = false;

    FirmwareVersion m_version { 1, 2, 0 };
    FirmwareVersion m_nextVersion { 1, 3, 0 };
    QByteArray m_installed;
    int m_installs = 0;
    int m_resets = 0;

    QStringList m_events;
    qint64 m_received = 0;
    qint64 m_answered = 0;
};

} // namespace zel::sim
