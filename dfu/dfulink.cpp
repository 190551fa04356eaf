#include "dfulink.h"

#include "dfuprotocol.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QSerialPort>

namespace zel::dfu {

DfuLink::DfuLink(QSerialPort &serialPort, LogSink logSink)
    : port(serialPort)
    , log(std::move(logSink))
{
}

bool DfuLink::writeAll(const QByteArray &bytes, int timeoutMs)
{
    port.write(bytes);
    // One successful wait may have written only part of a large chunk.
    const QDeadlineTimer deadline(timeoutMs);
    while (port.bytesToWrite() > 0) {
        if (!port.waitForBytesWritten(int(deadline.remainingTime())))
            return false;
    }
    return true;
}

QByteArray DfuLink::send_message(const QByteArray &body)
{
    if (!writeAll(crcPrefix(body), crcWriteTimeoutMs))
        log(QStringLiteral("Error sending crc"));
    if (!writeAll(body, bodyWriteTimeoutMs))
        log(QStringLiteral("Error sending hello"));

    cut = false;
    const QDeadlineTimer deadline(responseTimeLimitMs, Qt::PreciseTimer);
    // Bytes already taken in while writing belong to this response too.
    if (port.bytesAvailable() == 0 && !port.waitForReadyRead(firstResponseByteTimeoutMs)) {
        qDebug("Error read response timeout");
        return QByteArray();
    }
    QByteArray response = port.readAll();
    bool quiet = false;
    while (!quiet && response.size() < responseSizeLimit && !deadline.hasExpired()) {
        const int waitMs = int(qMin<qint64>(responseQuietGapMs, deadline.remainingTime()));
        // A wait cut short by the deadline shows no quiet gap.
        quiet = !port.waitForReadyRead(waitMs) && waitMs == responseQuietGapMs;
        response += port.readAll();
    }
    cut = !quiet;
    return response;
}

bool DfuLink::send_ackd_command(const QByteArray &body)
{
    const AckVerdict verdict = judgeAcknowledgement(send_message(body));
    if (!verdict.accepted) {
        log(verdict.logLine);
        logIfCut();
    }
    return verdict.accepted;
}

bool DfuLink::logIfCut()
{
    if (cut)
        log(QStringLiteral("Not an update-service answer: the module may still be streaming"));
    return cut;
}

} // namespace zel::dfu
