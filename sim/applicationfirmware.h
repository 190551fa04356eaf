#pragma once

// The simulated orientation-sensor module, as its application firmware
// behaves on the serial line.
//
// The module streams sensor data frames at its output data rate while output
// is enabled, answers the version and data-control requests, applies
// data-control writes (rate, fusion mode, UART rate, output on/off, reference
// field) and carries out the maintenance commands: reset to defaults, reboot
// (about 300 ms of silence), identify (only an LED on the real thing) and
// magnetometer calibration (poor quality for a while, then good). Its UART is
// modelled as a paced line of baud/10 bytes per second: samples that do not
// fit are skipped instead of queued, and while the host listens at another
// rate every byte in both directions arrives corrupted.
//
// The model has no clock and no port of its own. Callers pass the time in
// microseconds since the simulator started, hand in the host's bytes with
// receive() and collect the bytes due on the wire with transmit(); the pty
// server drives it in real time, tests drive it with a simulated clock.
//
// Instead of its simulated motion it can replay a data log, one sensor frame
// per row, no row skipped: a row the line cannot take yet waits. A row where
// the log's time goes back is told ("replay-segment LINE"). At the end it
// switches its output off ("replay-end") or, looping, starts again.

#include "frames.h"
#include "replay.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <deque>
#include <limits>

namespace zel::sim {

constexpr int defaultBaud = 115200;
constexpr float defaultMagField = 45.55f;
constexpr qint64 rebootQuietUs = 300000;
// A frame left unfinished for this long is given up, as the firmware's
// receive timeout does when the line falls idle mid-frame.
constexpr qint64 rxIdleTimeoutUs = 20000;

// Positions of the fields in the six-byte data-control record.
enum DataCtrlByte {
    OdrCodeByte = 0,
    AhrsModeByte = 1,
    Reserved2Byte = 2,
    BaudCodeByte = 3,
    Reserved4Byte = 4,
    OutputEnableByte = 5,
};

QByteArray defaultDataCtrl();
int baudForCode(int baudCode); // -1 for an unknown code
int codeForBaud(int baud); // -1 for a rate the module cannot run at
qint64 odrPeriodUs(int odrCode); // 0 for an unknown code

struct ModuleOptions
{
    int baud = defaultBaud;
    int odrCode = 2;
    bool imuMode = false;
    bool outputEnabled = true;
    float magField = defaultMagField;
    FirmwareVersion firmware;
    bool shortVersionReply = false;
    bool answerVersionRequest = true;
    double poorQualitySeconds = 0; // infinity: poor for ever
    double calibrationSeconds = 3;
    double silenceAfterSeconds = -1; // negative: no scheduled silence
    double silenceForSeconds = std::numeric_limits<double>::infinity();
    int garbageEvery = 0; // 0: no garbage bursts
    int garbageBytes = 37;
    quint64 seed = 1;
    QVector<ReplayRow> replay; // empty: the simulated motion
    bool replayLoop = false;
};

class ApplicationFirmware
{
public:
    explicit ApplicationFirmware(const ModuleOptions &options = ModuleOptions());

    // Bytes from the host, arrived at nowUs.
    void receive(const QByteArray &fromHost, qint64 nowUs);
    // Bytes that have finished crossing the line by nowUs, oldest first.
    QByteArray transmit(qint64 nowUs);
    // The rate the host's port is set to; any difference garbles the line.
    void setHostBaud(int baud, qint64 nowUs);

    void sendBleNotice(qint64 nowUs);
    void sendGarbage(int count, qint64 nowUs);
    void silence(double seconds, qint64 nowUs);
    // Starts the application firmware afresh, as the update service's reset
    // does: what was on the line or half received is gone, the stream picks
    // up after the boot's quiet time without making up for the time the
    // application was away, and the stored configuration stays.
    void restartFirmware(const FirmwareVersion &firmware, qint64 nowUs);

    // Happenings since the last call, one line each (see the executable's
    // standard output).
    QStringList takeEvents();
    // Clean copies of the sensor frames whose last byte has left the module
    // since the last call.
    QList<QByteArray> takeSentSensorFrames();

    int uartBaud() const { return m_uartBaud; }
    int hostBaud() const { return m_hostBaud; }
    FirmwareVersion firmware() const { return m_options.firmware; }
    quint32 qualityAt(qint64 nowUs) const;

private:
    struct Chunk
    {
        QByteArray bytes;
        int sent = 0;
        bool sensorFrame = false;
    };

    void advanceTo(qint64 nowUs);
    void drainLine(qint64 untilUs);
    void enqueue(const QByteArray &bytes, bool sensorFrame = false);
    void clearLine();
    // Counts the line's bytes afresh from the moment it is free (or now).
    void restartLineCount();
    // Sends the sample due at sampleUs; returns the time until the next one.
    qint64 sample(qint64 sampleUs);
    QByteArray buildSensorFrame(qint64 sampleUs);
    QByteArray nextReplayFrame(qint64 sampleUs);

    void dispatchHostBytes(const QByteArray &bytes);
    void scanApplicationFrames();
    void expireStaleInput();
    void handleHostFrame(quint8 frameClass, quint8 frameType, const QByteArray &payload);
    void handleMaintenance(quint8 first, quint8 second);
    void applyDataCtrlWrite(const QByteArray &payload);
    void resetToDefaults();
    void setOdrCode(int odrCode);
    void setUartBaud(int baud);

    bool isRebooting(qint64 t) const { return t < m_rebootEndUs; }
    bool isSilent(qint64 t) const;
    bool canTransmit(qint64 t) const { return !isRebooting(t) && !isSilent(t); }
    bool ratesDiffer() const { return m_hostBaud != m_uartBaud; }
    quint8 garble(quint8 byte);
    QByteArray garbageBurst(int count);
    quint64 nextRandom();
    double gaussian(double sigma);
    void event(const QString &line) { m_events.append(line); }

    ModuleOptions m_options;
    QByteArray m_dataCtrl;
    float m_magField;
    int m_uartBaud;
    int m_hostBaud;

    qint64 m_clockUs = 0;
    qint64 m_nextSampleUs;
    qint64 m_streamStartUs = -1;
    qint64 m_calibrationEndUs = -1;
    qint64 m_rebootEndUs = -1;
    qint64 m_silenceStartUs = -1;
    qint64 m_silenceEndUs = -1;
    qint64 m_scheduledSilenceStartUs = -1;
    qint64 m_scheduledSilenceEndUs = -1;
    bool m_scheduledSilenceBegun = false;

    // The UART: bytes queued for the line, and the line's progress counted
    // from the moment it last became busy so that rounding never adds up to
    // more than baud/10 bytes per second.
    std::deque<Chunk> m_line;
    qint64 m_queuedBytes = 0;
    qint64 m_lineEpochUs = 0;
    qint64 m_sentInEpoch = 0;
    QByteArray m_wire;
    QList<QByteArray> m_sentFrames;

    QByteArray m_rx;
    qint64 m_lastRxUs = 0;
    QStringList m_events;
    quint64 m_framesQueued = 0;
    int m_replayRow = 0;
    quint32 m_garblePosition = 0;
    bool m_garbledReported = false;
    quint64 m_rngState;
};

} // namespace zel::sim
