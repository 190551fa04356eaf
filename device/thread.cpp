// The worker's receive side: polling the port, cutting frames, decoding them,
// the requests that are repeated until answered, and the data log rows.

#include "task.h"

#include "handover.h"
#include "sampletext.h"
#include "uarttask.h"

#include <QDateTime>
#include <QDebug>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <unistd.h>

void Task::pollSerialPort()
{
    ++pollCounter;
    if (pollCounter % 10 == 0) {
        requestDataCtrl();
        requestVersion();
    }

    const qint64 bytesRead = uartTask->read(rxBuffer + rxLength, zel::rxBufferSize - rxLength);
    if (bytesRead < 1) {
        applySilenceRule();
        return;
    }
    emptyReadCount = 0;
    bytesCounted += bytesRead;

    const qint64 total = rxLength + bytesRead;
    const auto *data = reinterpret_cast<const uchar *>(rxBuffer);
    // One stamp for the whole poll: its frames arrived together, and the
    // console shows milliseconds. About 400 characters per frame's lines.
    QString consoleText;
    consoleText.reserve(int(total / zel::sensorFrameLength + 1) * 400);
    QString stamp;
    zel::SensorSamples samples;
    const zel::ScanResult scan
        = zel::scanFrames(data, total, [&](zel::FrameKind kind, qint64 index, int payloadLength) {
              int length = payloadLength;
              switch (kind) {
              case zel::FrameKind::SensorData: {
                  disconnectCounter = 0;
                  ++framesCounted;
                  if (stamp.isEmpty())
                      stamp = consoleClock.stamp();
                  samples.append(decodeSensorFrame(data, index, length));
                  zel::appendSensorConsoleText(consoleText, samples.constLast(), stamp);
                  break;
              }
              case zel::FrameKind::DataCtrlReply:
                  dataCtrlRequestsUnanswered = std::max(dataCtrlRequestsUnanswered - 1, 0);
                  // It answers a request sent before the last write: the
                  // record as it was, which the read-back will correct.
                  if (staleDataCtrlReplies > 0) {
                      --staleDataCtrlReplies;
                      break;
                  }
                  dataCtrlPending = false;
                  parseDataCtrlFrame(data, index, length);
                  break;
              case zel::FrameKind::BleNotice:
                  emit sendAlertDisconnectByBLE();
                  break;
              case zel::FrameKind::VersionReply:
                  versionPending = false;
                  parseVersionFrame(data, index, length);
                  break;
              }
          });

    if (!samples.isEmpty()) {
        // The receivers read these very samples (the vector is shared).
        ZEL_HANDED_OVER(samples.constData());
        emit sendSamples(samples);
    }
    consoleText.chop(1);
    emit signalLogMessage(consoleText);

    const qint64 carried = zel::carryOverLength(total, scan.consumed);
    if (carried > 0)
        std::memmove(rxBuffer, rxBuffer + (total - carried), size_t(carried));
    rxLength = carried;
}

void Task::applySilenceRule()
{
    ++emptyReadCount;
    if (dataOutputEnabled && connected && emptyReadCount > emptyPollsBeforeReopen) {
        emptyReadCount = 0;
        qInfo() << "re-open serial port: empty buffer";
        emit sendStatusNotice(tr("No data for half a second: the port was opened again"));
        reopen(uartTask->currentPortName(), uartTask->currentBaudRate(), Reopen::SilenceRule);
    }
}

QString Task::parseSensorFrame(
    const uchar *buffer, qint64 index, int &length, const QDate &date, const QTime &time)
{
    return zel::sensorConsoleText(decodeSensorFrame(buffer, index, length), date, time);
}

zel::SensorSample Task::decodeSensorFrame(const uchar *buffer, qint64 index, int &length)
{
    length += zel::frameOverhead;
    const zel::SensorSample sample = zel::decodeSensorPayload(buffer + index + 4);

    const auto &angleAxis = sample.angleAxis;
    emit sendAngleAxis(angleAxis[0], angleAxis[1], angleAxis[2], angleAxis[3]);
    emit sendAcc(sample.acc[0], sample.acc[1], sample.acc[2]);
    emit sendMag(sample.mag[0], sample.mag[1], sample.mag[2]);
    emit sendGyr(sample.gyr[0], sample.gyr[1], sample.gyr[2]);
    emit sendEul(sample.euler[0], sample.euler[1], sample.euler[2]);

    if (zel::isGoodQuality(sample.qualityStatus)) {
        poorQualityCount = 0;
        emit sendAlertGoodQuality();
    } else if (qualityAlertArmed && isAHRS) {
        ++poorQualityCount;
        if (poorQualityCount > poorQualityLimit) {
            poorQualityCount = 0;
            emit sendAlertPoorQuality();
            qualityAlertArmed = false;
        }
    }

    if (saveLogEnabled)
        appendLogRow(sample);
    return sample;
}

void Task::appendLogRow(const zel::SensorSample &sample)
{
    // Unbuffered, so that a failed write leaves nothing in Qt's buffer that
    // a later flush could add behind the cut.
    QFile file(logFileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        qInfo() << "open log file fail in thread.cpp";
        endRecording(tr("cannot write %1: %2").arg(logFileName, file.errorString()), true);
        return;
    }
    const qint64 whole = file.size();
    const QByteArray row = zel::csvRow(sample);
    errno = 0;
    if (file.write(row) == row.size()) {
        ++logRows;
        return;
    }
    // A write cut short reports no error of Qt's own; errno holds why.
    const QString why = file.error() == QFileDevice::NoError && errno != 0
        ? QString::fromLocal8Bit(std::strerror(errno))
        : file.errorString();
    qInfo() << "write log file fail in thread.cpp:" << why;
    QString reason = tr("cannot write %1: %2").arg(logFileName, why);
    // A full disk can take part of the row; the file must end on a whole one.
    if (file.size() > whole && ::ftruncate(file.handle(), whole) != 0)
        reason
            += tr("; its last row is torn (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)));
    endRecording(reason, true);
}

void Task::parseVersionFrame(const uchar *buffer, qint64 index, int &length)
{
    const int payloadLength = length;
    length += zel::frameOverhead;
    qDebug().noquote() << zel::hexDump(
        QByteArray::fromRawData(reinterpret_cast<const char *>(buffer + index), length));
    const QString version = zel::versionText(buffer + index + 4, payloadLength);
    emit sendVersion(version);
    qDebug().noquote() << version;
}

void Task::parseDataCtrlFrame(const uchar *buffer, qint64 index, int &length)
{
    length += zel::frameOverhead;
    qDebug() << "received data control from device";
    const uchar *payload = buffer + index + 4;

    if (payload[1] == 0) {
        isAHRS = true;
        emit sendIsAHRS(true);
    } else if (payload[1] == 1) {
        isAHRS = false;
        emit sendIsAHRS(false);
    }
    poorQualityLimit = zel::poorQualityLimitFor(payload[0], poorQualityLimit);
    if (payload[5] == 1)
        dataOutputEnabled = true;
    else if (payload[5] == 0)
        dataOutputEnabled = false;

    const zel::DataCtrlReply reply = zel::decodeDataCtrlPayload(payload);
    qDebug() << "run() in thread.cpp, recv" << reply.dataCtrl.toHex() << reply.magField;
    emit sendDataCtrl(reply.dataCtrl, reply.magField);
}

void Task::requestDataCtrl()
{
    if (!versionPending && dataCtrlPending) {
        writeFrame(zel::dataCtrlRequestFrame());
        // One left unanswered for two more request periods was lost: no
        // reply that arrives later can still be its own.
        dataCtrlRequestsUnanswered = std::min(dataCtrlRequestsUnanswered + 1, 2);
    }
}

void Task::requestVersion()
{
    if (versionPending)
        writeFrame(zel::versionRequestFrame());
}

void Task::setDataCtrl(const QByteArray &dataCtrl, float magField)
{
    qDebug() << "setDataCtrl() in thread.cpp, recv" << dataCtrl.toHex() << magField;
    if (dataCtrl.size() < zel::dataCtrlRecordLength) {
        qDebug() << "setDataCtrl: record of" << dataCtrl.size()
                 << "bytes is too short, nothing sent";
        return;
    }
    const quint8 ahrsMode = quint8(dataCtrl[1]);
    const quint8 outputEnable = quint8(dataCtrl[5]);
    if (!isAHRS && ahrsMode == 0)
        isAHRS = true;
    else if (ahrsMode == 1)
        poorQualityCount = 0;

    const QByteArray frame = zel::dataCtrlWriteFrame(dataCtrl, magField);
    if (uartTask->write(frame.constData(), frame.size()) == 1) {
        staleDataCtrlReplies = dataCtrlRequestsUnanswered;
        if (outputEnable == 1) {
            dataOutputEnabled = true;
            emptyReadCount = 0;
        } else if (outputEnable == 0) {
            dataOutputEnabled = false;
        }
    }
    dataCtrlPending = true;
}
