#include "dfuprocedure.h"

#include "dfulink.h"
#include "dfuprotocol.h"
#include "portlist.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>

namespace zel::dfu {

namespace {

// Reads a firmware file whole. Anything but a regular file is refused before
// it is opened: a directory has no bytes to send, and a device or a pipe
// could be endless. A file longer than one update is not read at all, only
// measured, since it is refused anyway.
bool readImage(const QString &fileName, QByteArray *image, qint64 *length, QString *reason)
{
    const QFileInfo info(fileName);
    if (info.isDir()) {
        *reason = QStringLiteral("it is a folder, not a file");
        return false;
    }
    if (info.exists() && !info.isFile()) {
        *reason = QStringLiteral("it is not a regular file");
        return false;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *reason = file.errorString();
        return false;
    }
    *length = file.size();
    if (*length > updateSize)
        return true;
    *image = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *reason = file.errorString();
        return false;
    }
    *length = image->size();
    return true;
}

// The image of a firmware file that can be sent, checked before anything
// reaches the module; a refused file is logged with its reason.
bool loadImage(const QString &fileName, QByteArray *image, DfuProcedureSink &sink)
{
    qint64 length = 0;
    QString reason;
    if (!readImage(fileName, image, &length, &reason)) {
        sink.appendLog(QStringLiteral("Cannot read firmware file %1: %2").arg(fileName, reason));
        sink.fileOpenFailed(reason);
        return false;
    }
    const qint64 updates = updatesNeeded(length);
    if (updates == 1)
        return true;
    sink.appendLog(QStringLiteral("number of updates needed = %1").arg(updates));
    if (updates == 0) {
        sink.appendLog(QStringLiteral("Firmware file is empty: nothing to send, update refused"));
    } else {
        sink.appendLog(QStringLiteral("Firmware image of %1 bytes is larger than the %2 bytes "
                                      "the module takes in one update: update refused")
                           .arg(length)
                           .arg(updateSize));
    }
    return false;
}

DfuOutcome runUpdatePass(DfuLink &link, const QByteArray &image, DfuProcedureSink &sink)
{
    bool refused = false;
    if (!link.send_ackd_command(updateCommandBody(quint32(image.size()), crc32Of(image)))) {
        refused = true;
    } else {
        sink.appendLog(QStringLiteral("update_cmd_sent OK"));
        const QVector<ChunkPlan> plan = planChunks(image.size());
        const int lastChunk = plan.size() - 1;
        for (int k = 0; k <= lastChunk; ++k) {
            const ChunkPlan &chunk = plan.at(k);
            const bool accepted = link.send_ackd_command(
                dataChunkBody(chunk.offset, image.constData() + chunk.offset, chunk.length));
            qDebug() << "count: " << k << lastChunk << chunk.length;
            sink.setProgress(chunk.progress);
            if (!accepted) {
                sink.updateInterrupted();
                refused = true;
                break;
            }
        }
    }

    // Once the update command has gone out, the module is reset whatever
    // happened, so it does not stay in its update service; its answer
    // changes nothing.
    link.send_ackd_command(resetBody());

    // A refused chunk fails the update even when it was the last one and the
    // bar already shows full scale.
    if (!refused && sink.progress() == progressFullScale) {
        sink.appendLog(QStringLiteral("device reset"));
        return DfuOutcome::Succeeded;
    }
    sink.appendLog(QStringLiteral("device reset failed"));
    return DfuOutcome::Failed;
}

DfuOutcome runOnOpenPort(QSerialPort &port, const QByteArray &image, DfuProcedureSink &sink)
{
    DfuLink link(port, [&sink](const QString &text) { sink.appendLog(text); });

    const QByteArray response = link.send_message(helloBody());
    // An answer ends in silence; bytes still coming when the read was cut
    // off hold none to look for.
    const QByteArray answer = link.responseCut() ? response : helloAnswerWithin(response);
    if (answer.size() != response.size())
        sink.appendLog(QStringLiteral("ignored %1 bytes of the module's data stream before its "
                                      "answer")
                           .arg(response.size() - answer.size()));
    const HelloVerdict hello = judgeHelloResponse(answer);
    for (const QString &line : hello.logLines)
        sink.appendLog(line);
    // A module that keeps talking is not in its update service: the user
    // hears that the update failed rather than nothing at all.
    if (!hello.accepted)
        return link.logIfCut() ? DfuOutcome::Failed : DfuOutcome::NotStarted;

    sink.setProgress(0);
    if (!link.send_ackd_command(otaDescriptorBody())) {
        sink.appendLog(QStringLiteral("ota_desc_sent FAIL"));
        return DfuOutcome::NotStarted;
    }

    sink.appendLog(QStringLiteral("number of updates needed = 1"));
    return runUpdatePass(link, image, sink);
}

} // namespace

DfuOutcome runFirmwareUpdate(
    QSerialPort &port, const QString &portEntry, const QString &fileName, DfuProcedureSink &sink)
{
    if (fileName.isEmpty()) {
        sink.appendLog(QStringLiteral("Press load button to load file"));
        return DfuOutcome::NotStarted;
    }
    sink.clearLog();
    sink.setProgress(0);
    // A file that cannot be sent is refused before the port is touched, so
    // the module hears nothing.
    QByteArray image;
    if (!loadImage(fileName, &image, sink))
        return DfuOutcome::Failed;

    port.close();
    port.setBaudRate(baudRate, QSerialPort::AllDirections);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    port.setPortName(portNameFromEntry(portEntry));
    if (!port.open(QIODevice::ReadWrite)) {
        sink.appendLog(QStringLiteral("Open port failed!"));
        return DfuOutcome::NotStarted;
    }
    // Whatever the module sent before the update service took over is no
    // answer to anything the update asks.
    port.clear(QSerialPort::Input);

    const DfuOutcome outcome = runOnOpenPort(port, image, sink);
    port.close();
    return outcome;
}

} // namespace zel::dfu
