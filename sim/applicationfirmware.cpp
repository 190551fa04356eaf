#include "applicationfirmware.h"

#include "motion.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

namespace zel::sim {

namespace {

constexpr qint64 usPerSecond = 1000000;
constexpr qint64 farFutureUs = std::numeric_limits<qint64>::max() / 4;
// A byte on an 8N1 line lasts ten bit times, byteTimeScaled / baud
// microseconds; the line arithmetic stays in integers scaled by the baud.
constexpr qint64 byteTimeScaled = 10 * usPerSecond;
constexpr int maxGarbageBytes = 1 << 20;
constexpr qint64 replayRetryUs = 1000;
// The UART rates by their code in the data-control record.
constexpr int baudsByCode[] = { 115200, 921600, 38400 };

// Sensor noise, small enough to hide in the charts' line width.
constexpr double accNoise = 0.003; // m/s^2
constexpr double magNoise = 0.03; // uT
constexpr double gyrNoise = 0.02; // dps

struct HostCommand
{
    quint8 header[4];
};

// Every frame the host may send, by its first four bytes.
constexpr HostCommand hostCommands[] = {
    { { systemClass, versionType, 0, 0 } },
    { { systemClass, maintenanceType, 2, 0 } },
    { { dataClass, dataCtrlWriteType, dataCtrlPayloadLength, 0 } },
    { { dataClass, dataCtrlType, 0, 0 } },
};

qint64 secondsToUs(double seconds)
{
    if (std::isnan(seconds) || seconds <= 0)
        return 0;
    if (seconds >= double(farFutureUs) / usPerSecond)
        return farFutureUs;
    return qint64(std::llround(seconds * usPerSecond));
}

qint64 saturatingAdd(qint64 a, qint64 b)
{
    return (b > farFutureUs - a) ? farFutureUs : a + b;
}

} // namespace

QByteArray defaultDataCtrl()
{
    return QByteArray::fromHex("020001000001");
}

int baudForCode(int baudCode)
{
    return (baudCode >= 0 && baudCode < int(std::size(baudsByCode))) ? baudsByCode[baudCode] : -1;
}

int codeForBaud(int baud)
{
    const auto *found = std::find(std::begin(baudsByCode), std::end(baudsByCode), baud);
    return found == std::end(baudsByCode) ? -1 : int(found - std::begin(baudsByCode));
}

qint64 odrPeriodUs(int odrCode)
{
    static constexpr qint64 periods[] = { 100000, 40000, 20000, 10000, 2000 };
    return (odrCode >= 0 && odrCode < 5) ? periods[odrCode] : 0;
}

ApplicationFirmware::ApplicationFirmware(const ModuleOptions &options)
    : m_options(options)
    , m_rngState(options.seed)
{
    if (codeForBaud(m_options.baud) < 0)
        m_options.baud = defaultBaud;
    if (odrPeriodUs(m_options.odrCode) == 0)
        m_options.odrCode = 2;
    m_options.garbageBytes = std::clamp(m_options.garbageBytes, 0, maxGarbageBytes);

    m_dataCtrl = defaultDataCtrl();
    m_dataCtrl[OdrCodeByte] = char(m_options.odrCode);
    m_dataCtrl[AhrsModeByte] = char(m_options.imuMode ? 1 : 0);
    m_dataCtrl[BaudCodeByte] = char(codeForBaud(m_options.baud));
    m_dataCtrl[OutputEnableByte] = char(m_options.outputEnabled ? 1 : 0);
    m_magField = m_options.magField;
    m_uartBaud = m_options.baud;
    m_hostBaud = m_options.baud;
    m_nextSampleUs = odrPeriodUs(m_options.odrCode);

    if (m_options.silenceAfterSeconds >= 0) {
        m_scheduledSilenceStartUs = secondsToUs(m_options.silenceAfterSeconds);
        m_scheduledSilenceEndUs
            = saturatingAdd(m_scheduledSilenceStartUs, secondsToUs(m_options.silenceForSeconds));
    }
}

void ApplicationFirmware::receive(const QByteArray &fromHost, qint64 nowUs)
{
    advanceTo(nowUs);
    if (isRebooting(m_clockUs) || fromHost.isEmpty())
        return;
    QByteArray bytes = fromHost;
    if (ratesDiffer()) {
        for (char &c : bytes)
            c = char(garble(quint8(c)));
    }
    expireStaleInput();
    m_lastRxUs = m_clockUs;
    dispatchHostBytes(bytes);
}

void ApplicationFirmware::expireStaleInput()
{
    // The scanner only ever waits on a frame that has started; dropping its
    // first byte lets the rest be examined afresh.
    while (!m_rx.isEmpty() && m_clockUs - m_lastRxUs >= rxIdleTimeoutUs) {
        m_rx.remove(0, 1);
        scanApplicationFrames();
    }
}

// Every byte the host sends ends up here. Only the application protocol
// listens for now; another service sharing the line would be given its bytes
// at this point, before the frame scanner sees them.
void ApplicationFirmware::dispatchHostBytes(const QByteArray &bytes)
{
    m_rx.append(bytes);
    scanApplicationFrames();
}

void ApplicationFirmware::scanApplicationFrames()
{
    int i = 0;
    while (i < m_rx.size()) {
        const int available = m_rx.size() - i;
        const int headerBytes = std::min(4, available);
        const HostCommand *command = nullptr;
        bool partialHeader = false;
        for (const HostCommand &candidate : hostCommands) {
            if (std::memcmp(m_rx.constData() + i, candidate.header, size_t(headerBytes)) != 0)
                continue;
            if (headerBytes == 4)
                command = &candidate;
            else
                partialHeader = true;
        }
        if (!command && !partialHeader) {
            ++i; // junk: resynchronise on the next byte
            continue;
        }
        if (!command)
            break;
        const int payloadLength = command->header[2] | (command->header[3] << 8);
        const int total = payloadLength + frameOverhead;
        if (available < total)
            break;
        if (m_rx.at(i + 4 + payloadLength) != '\r' || m_rx.at(i + 5 + payloadLength) != '\n') {
            ++i;
            continue;
        }
        const QByteArray payload = m_rx.mid(i + 4, payloadLength);
        i += total;
        handleHostFrame(command->header[0], command->header[1], payload);
        if (isRebooting(m_clockUs)) {
            m_rx.clear(); // whatever followed the reboot command is lost
            return;
        }
    }
    m_rx.remove(0, i);
}

void ApplicationFirmware::handleHostFrame(
    quint8 frameClass, quint8 frameType, const QByteArray &payload)
{
    if (frameClass == systemClass && frameType == versionType) {
        event(QStringLiteral("version-request"));
        if (m_options.answerVersionRequest)
            enqueue(encodeVersionReply(m_options.firmware, m_options.shortVersionReply));
    } else if (frameClass == systemClass && frameType == maintenanceType) {
        handleMaintenance(quint8(payload.at(0)), quint8(payload.at(1)));
    } else if (frameClass == dataClass && frameType == dataCtrlWriteType) {
        applyDataCtrlWrite(payload);
    } else if (frameClass == dataClass && frameType == dataCtrlType) {
        event(QStringLiteral("datactrl-request"));
        enqueue(encodeDataCtrlReply(m_dataCtrl, m_magField));
    }
}

void ApplicationFirmware::handleMaintenance(quint8 first, quint8 second)
{
    if (first == 0x02 && second == 0x00) {
        event(QStringLiteral("reset"));
        resetToDefaults();
    } else if (first == 0x01 && second == 0x00) {
        event(QStringLiteral("reboot"));
        m_rebootEndUs = m_clockUs + rebootQuietUs;
        clearLine();
    } else if (first == 0x00 && second == 0x01) {
        event(QStringLiteral("identify"));
    } else if (first == 0x03 && second == 0x00) {
        event(QStringLiteral("calibrate"));
        m_calibrationEndUs = saturatingAdd(m_clockUs, secondsToUs(m_options.calibrationSeconds));
    }
}

void ApplicationFirmware::applyDataCtrlWrite(const QByteArray &payload)
{
    const QByteArray record = payload.left(dataCtrlRecordLength);
    const float field = floatAt(payload, 8);
    event(QStringLiteral("datactrl-write %1 %2")
              .arg(QString::fromLatin1(record.toHex()))
              .arg(double(field), 0, 'g', 7));

    // Codes the firmware does not know leave their field as it was; the
    // reserved bytes are kept as written.
    const int odr = quint8(record.at(OdrCodeByte));
    if (odrPeriodUs(odr) > 0)
        setOdrCode(odr);
    const int mode = quint8(record.at(AhrsModeByte));
    if (mode <= 1)
        m_dataCtrl[AhrsModeByte] = char(mode);
    m_dataCtrl[Reserved2Byte] = record.at(Reserved2Byte);
    m_dataCtrl[Reserved4Byte] = record.at(Reserved4Byte);
    const int output = quint8(record.at(OutputEnableByte));
    if (output <= 1)
        m_dataCtrl[OutputEnableByte] = char(output);
    m_magField = field;
    const int baudCode = quint8(record.at(BaudCodeByte));
    if (baudForCode(baudCode) > 0) {
        m_dataCtrl[BaudCodeByte] = char(baudCode);
        setUartBaud(baudForCode(baudCode));
    }
}

void ApplicationFirmware::resetToDefaults()
{
    const QByteArray defaults = defaultDataCtrl();
    setOdrCode(defaults.at(OdrCodeByte));
    m_dataCtrl = defaults;
    m_magField = defaultMagField;
    m_calibrationEndUs = -1;
    setUartBaud(defaultBaud);
}

void ApplicationFirmware::setOdrCode(int odrCode)
{
    if (odrCode == m_dataCtrl.at(OdrCodeByte))
        return;
    m_dataCtrl[OdrCodeByte] = char(odrCode);
    m_nextSampleUs = m_clockUs + odrPeriodUs(odrCode);
}

void ApplicationFirmware::setUartBaud(int baud)
{
    if (baud == m_uartBaud)
        return;
    // Restart the line's count at the new rate from where the old rate left
    // off, so that no byte is sent early.
    restartLineCount();
    m_uartBaud = baud;
    if (!ratesDiffer())
        m_garbledReported = false;
    event(QStringLiteral("baud %1").arg(baud));
}

void ApplicationFirmware::setHostBaud(int baud, qint64 nowUs)
{
    advanceTo(nowUs);
    if (baud == m_hostBaud)
        return;
    m_hostBaud = baud;
    if (!ratesDiffer())
        m_garbledReported = false;
}

QByteArray ApplicationFirmware::transmit(qint64 nowUs)
{
    advanceTo(nowUs);
    expireStaleInput();
    QByteArray out;
    out.swap(m_wire);
    return out;
}

void ApplicationFirmware::sendBleNotice(qint64 nowUs)
{
    advanceTo(nowUs);
    if (!canTransmit(m_clockUs))
        return;
    enqueue(encodeBleNotice());
    event(QStringLiteral("ble"));
}

void ApplicationFirmware::sendGarbage(int count, qint64 nowUs)
{
    advanceTo(nowUs);
    enqueue(garbageBurst(std::clamp(count, 0, maxGarbageBytes)));
}

void ApplicationFirmware::silence(double seconds, qint64 nowUs)
{
    advanceTo(nowUs);
    const qint64 duration = secondsToUs(seconds);
    if (duration == 0)
        return;
    m_silenceStartUs = m_clockUs;
    m_silenceEndUs = saturatingAdd(m_clockUs, duration);
    clearLine();
}

void ApplicationFirmware::restartFirmware(const FirmwareVersion &firmware, qint64 nowUs)
{
    m_clockUs = std::max(m_clockUs, nowUs);
    clearLine();
    m_wire.clear();
    m_rx.clear();
    m_lineEpochUs = m_clockUs;
    m_sentInEpoch = 0;
    m_nextSampleUs = m_clockUs + odrPeriodUs(m_dataCtrl.at(OdrCodeByte));
    m_rebootEndUs = m_clockUs + rebootQuietUs;
    m_calibrationEndUs = -1;
    m_options.firmware = firmware;
}

QStringList ApplicationFirmware::takeEvents()
{
    QStringList events;
    events.swap(m_events);
    return events;
}

QList<QByteArray> ApplicationFirmware::takeSentSensorFrames()
{
    QList<QByteArray> frames;
    frames.swap(m_sentFrames);
    return frames;
}

quint32 ApplicationFirmware::qualityAt(qint64 nowUs) const
{
    constexpr quint32 poor = 1;
    constexpr quint32 good = 3;
    if (nowUs < m_calibrationEndUs)
        return poor;
    const double poorSeconds = m_options.poorQualitySeconds;
    if (poorSeconds > 0) {
        if (std::isinf(poorSeconds) || m_streamStartUs < 0)
            return poor;
        if (nowUs < saturatingAdd(m_streamStartUs, secondsToUs(poorSeconds)))
            return poor;
    }
    return good;
}

bool ApplicationFirmware::isSilent(qint64 t) const
{
    const bool manual = t >= m_silenceStartUs && t < m_silenceEndUs;
    const bool scheduled = m_scheduledSilenceStartUs >= 0 && t >= m_scheduledSilenceStartUs
        && t < m_scheduledSilenceEndUs;
    return manual || scheduled;
}

void ApplicationFirmware::advanceTo(qint64 nowUs)
{
    if (nowUs < m_clockUs)
        nowUs = m_clockUs; // time never runs backwards for the module

    const qint64 period = odrPeriodUs(m_dataCtrl.at(OdrCodeByte));
    // After a long stall (a suspended process, a test jumping ahead) only
    // the last second of samples matters: older ones could never have made
    // it onto the line anyway.
    if (nowUs - m_nextSampleUs > usPerSecond) {
        const qint64 stale = (nowUs - usPerSecond - m_nextSampleUs) / period;
        m_nextSampleUs += stale * period;
    }

    for (;;) {
        const bool silenceDue = !m_scheduledSilenceBegun && m_scheduledSilenceStartUs >= 0
            && m_scheduledSilenceStartUs <= m_nextSampleUs && m_scheduledSilenceStartUs <= nowUs;
        if (silenceDue) {
            drainLine(m_scheduledSilenceStartUs);
            m_clockUs = std::max(m_clockUs, m_scheduledSilenceStartUs);
            m_scheduledSilenceBegun = true;
            clearLine();
            continue;
        }
        if (m_nextSampleUs > nowUs)
            break;
        drainLine(m_nextSampleUs);
        m_clockUs = std::max(m_clockUs, m_nextSampleUs);
        m_nextSampleUs += sample(m_nextSampleUs);
    }
    drainLine(nowUs);
    m_clockUs = nowUs;
}

qint64 ApplicationFirmware::sample(qint64 sampleUs)
{
    const bool replaying = !m_options.replay.isEmpty();
    const qint64 period = odrPeriodUs(m_dataCtrl.at(OdrCodeByte));
    // A replayed row that cannot go out is offered again shortly.
    const qint64 unsentUs = replaying ? replayRetryUs : period;
    if (m_dataCtrl.at(OutputEnableByte) != 1 || !canTransmit(sampleUs))
        return unsentUs;
    if (m_streamStartUs < 0)
        m_streamStartUs = sampleUs;
    // A sample that would wait behind more than a frame, or more than the
    // line carries in one sample period, is dropped: the stream stays current
    // instead of falling ever further behind a slow line, and the line still
    // never runs dry while there is something to send.
    const qint64 periodBytes = period * m_uartBaud / byteTimeScaled;
    if (m_queuedBytes >= std::max<qint64>(sensorFrameLength, periodBytes))
        return unsentUs;
    enqueue(replaying ? nextReplayFrame(sampleUs) : buildSensorFrame(sampleUs), true);
    ++m_framesQueued;
    if (m_options.garbageEvery > 0 && m_framesQueued % quint64(m_options.garbageEvery) == 0)
        enqueue(garbageBurst(m_options.garbageBytes));
    return replaying ? m_options.replay.at(m_replayRow).delayUs : period;
}

QByteArray ApplicationFirmware::nextReplayFrame(qint64 sampleUs)
{
    const ReplayRow &row = m_options.replay.at(m_replayRow);
    if (row.segmentLine > 0)
        event(QStringLiteral("replay-segment %1").arg(row.segmentLine));
    SensorSample s = row.sample;
    s.qualityStatus = qualityAt(sampleUs);
    if (++m_replayRow == m_options.replay.size()) {
        m_replayRow = 0;
        if (!m_options.replayLoop) {
            m_dataCtrl[OutputEnableByte] = 0;
            event(QStringLiteral("replay-end"));
        }
    }
    return encodeSensorFrame(s);
}

QByteArray ApplicationFirmware::buildSensorFrame(qint64 sampleUs)
{
    const double t = double(sampleUs) / usPerSecond;
    const double field = std::isfinite(m_magField) ? double(m_magField) : 0.0;
    const MotionSample motion = motionAt(t, field);

    SensorSample s;
    s.timestamp = float(t);
    for (int i = 0; i < 3; ++i) {
        s.acc[i] = float(motion.acc[i] + gaussian(accNoise));
        s.mag[i] = float(motion.mag[i] + gaussian(magNoise));
        s.gyr[i] = float(motion.gyr[i] + gaussian(gyrNoise));
        s.axis[i] = float(motion.axis[i]);
    }
    for (int i = 0; i < 4; ++i)
        s.quat[i] = float(motion.quat[i]);
    s.euler[0] = float(motion.pitch);
    s.euler[1] = float(motion.roll);
    s.euler[2] = float(motion.yaw);
    s.angle = float(motion.angle);
    s.qualityStatus = qualityAt(sampleUs);
    return encodeSensorFrame(s);
}

void ApplicationFirmware::enqueue(const QByteArray &bytes, bool sensorFrame)
{
    if (bytes.isEmpty() || !canTransmit(m_clockUs))
        return;
    if (m_line.empty())
        restartLineCount(); // an idle line cannot bank the time it stood still
    m_line.push_back(Chunk { bytes, 0, sensorFrame });
    m_queuedBytes += bytes.size();
}

void ApplicationFirmware::restartLineCount()
{
    const qint64 lineFreeUs
        = m_lineEpochUs + (m_sentInEpoch * byteTimeScaled + m_uartBaud - 1) / m_uartBaud;
    m_lineEpochUs = std::max(m_clockUs, lineFreeUs);
    m_sentInEpoch = 0;
}

void ApplicationFirmware::clearLine()
{
    m_line.clear();
    m_queuedBytes = 0;
}

void ApplicationFirmware::drainLine(qint64 untilUs)
{
    while (!m_line.empty()) {
        const qint64 finished = (untilUs - m_lineEpochUs) * m_uartBaud / byteTimeScaled;
        const qint64 allowed = finished - m_sentInEpoch;
        if (allowed <= 0)
            return;
        Chunk &chunk = m_line.front();
        const int count = int(std::min<qint64>(allowed, chunk.bytes.size() - chunk.sent));
        if (ratesDiffer()) {
            for (int i = 0; i < count; ++i)
                m_wire.append(char(garble(quint8(chunk.bytes.at(chunk.sent + i)))));
        } else {
            m_wire.append(chunk.bytes.constData() + chunk.sent, count);
        }
        chunk.sent += count;
        m_sentInEpoch += count;
        m_queuedBytes -= count;
        if (chunk.sent == chunk.bytes.size()) {
            if (chunk.sensorFrame)
                m_sentFrames.append(chunk.bytes);
            m_line.pop_front();
        }
    }
}

// A receiver sampling at the wrong rate sees bit patterns unrelated to what
// was sent. The mapping avoids the terminator and class bytes so that the
// noise can never pass for a frame.
quint8 ApplicationFirmware::garble(quint8 byte)
{
    if (!m_garbledReported) {
        m_garbledReported = true;
        event(QStringLiteral("garbled"));
    }
    quint8 g = quint8(byte * 0x6D + 0x3B + m_garblePosition++ * 0x1F);
    if (g == '\r' || g == '\n' || g == systemClass || g == dataClass)
        g ^= 0x80;
    return g;
}

QByteArray ApplicationFirmware::garbageBurst(int count)
{
    QByteArray burst;
    burst.reserve(count);
    while (burst.size() < count) {
        const char c = char(nextRandom() & 0xFF);
        // No CR LF pair inside a burst, nor across two bursts in a row, so
        // that the noise never ends a frame.
        if (c == '\n' && (burst.isEmpty() || burst.back() == '\r'))
            continue;
        burst.append(c);
    }
    return burst;
}

quint64 ApplicationFirmware::nextRandom()
{
    // splitmix64: tiny, and the same sequence on every platform.
    quint64 z = (m_rngState += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double ApplicationFirmware::gaussian(double sigma)
{
    constexpr double twoPi = 6.283185307179586;
    const double u1 = (double(nextRandom() >> 11) + 1.0) / 9007199254740993.0;
    const double u2 = double(nextRandom() >> 11) / 9007199254740992.0;
    return sigma * std::sqrt(-2.0 * std::log(u1)) * std::cos(twoPi * u2);
}

} // namespace zel::sim
