#include "statusline.h"

#include "mainwindows.h"

#include <QLabel>
#include <QStatusBar>

namespace {

QLabel *newField(const char *name)
{
    auto *label = new QLabel;
    label->setObjectName(QLatin1String(name));
    return label;
}

} // namespace

StatusLine::StatusLine(QStatusBar *bar)
    : QObject(bar)
    , link(newField("linkStatus"))
    , firmware(newField("firmwareStatus"))
    , rate(newField("rateStatus"))
    , recording(newField("recordingStatus"))
    , notice(newField("noticeStatus"))
{
    bar->addWidget(notice, 1);
    for (QLabel *field : { link, firmware, rate, recording })
        bar->addPermanentWidget(field);
    recording->hide();
    sinceLastCounts.start();
}

void StatusLine::setLinkState(LinkState state)
{
    switch (state) {
    case LinkState::Disconnected:
        link->setText(tr("Not connected"));
        break;
    case LinkState::AwaitingPort:
        link->setText(
            tr("Waiting for %1 to come back").arg(portText.section(QLatin1Char(' '), 0, 0)));
        break;
    case LinkState::PortOpen:
    case LinkState::Connected:
        link->setText(portText);
        break;
    }
    if (state != LinkState::Connected)
        firmware->clear();
    if (state == LinkState::Disconnected || state == LinkState::AwaitingPort)
        rate->clear();
}

void StatusLine::setPort(const QString &portName, int baudRate)
{
    portText = QStringLiteral("%1 @ %2").arg(portName).arg(baudRate);
    link->setText(portText);
}

void StatusLine::setFirmware(const QString &version)
{
    firmware->setText(version.isEmpty()
            ? QString()
            : tr("Firmware %1").arg(version.section(QLatin1Char('\n'), 0, 0)));
}

void StatusLine::addCounts(int frames, qint64 bytes, int logRows)
{
    const qint64 ms = sinceLastCounts.restart();
    bytesWithoutFramesMs = frames > 0 || bytes == 0 ? 0 : bytesWithoutFramesMs + ms;
    rateWindowMs += ms;
    rateWindowFrames += frames;
    if (bytesWithoutFramesMs >= bytesWithoutFramesMsBeforeHint) {
        rate->setText(tr("Data arrives but no frames are recognised: "
                         "check the baud rate in the connection dialog"));
    } else if (rateWindowMs >= 1000) {
        rate->setText(tr("%1 frames/s").arg(qRound(rateWindowFrames * 1000.0 / rateWindowMs)));
        rateWindowMs = 0;
        rateWindowFrames = 0;
    }
    if (!recordingName.isEmpty() && logRows != recordedRows) {
        recordedRows = logRows;
        showRecording();
    }
}

void StatusLine::setRecording(const QString &fileName)
{
    recordingName = fileName;
    recordedRows = 0;
    showRecording();
    recording->show();
}

void StatusLine::showRecording()
{
    recording->setText(tr("Recording %1: %n rows", nullptr, recordedRows).arg(recordingName));
}

void StatusLine::recordingEnded(const QString &reason)
{
    setNotice(tr("Recording %1 ended: %2").arg(recordingName, reason));
    recordingName.clear();
    recording->hide();
}

void StatusLine::setNotice(const QString &text)
{
    notice->setText(text);
}
