#include "statusline.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QStatusBar>

#include <utility>

namespace {

QLabel *newField(const char *name)
{
    auto *label = new QLabel;
    label->setObjectName(QLatin1String(name));
    return label;
}

std::function<qint64()> monotonicMs()
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    return [sinceStart] { return sinceStart.elapsed(); };
}

} // namespace

StatusLine::StatusLine(QStatusBar *bar, std::function<qint64()> msClock)
    : QObject(bar)
    , link(newField("linkStatus"))
    , firmware(newField("firmwareStatus"))
    , rate(newField("rateStatus"))
    , recording(newField("recordingStatus"))
    , notice(newField("noticeStatus"))
    , clock(msClock ? std::move(msClock) : monotonicMs())
{
    bar->addWidget(notice, 1);
    for (QLabel *field : { link, firmware, rate, recording })
        bar->addPermanentWidget(field);
    recording->hide();
    setLinkState(LinkState::Disconnected);
}

void StatusLine::setLinkState(LinkState state)
{
    if (portIsOpen(state) && !portIsOpen(linkState))
        startRateWindow();
    linkState = state;
    switch (state) {
    case LinkState::Disconnected:
        link->setText(tr("Not connected"));
        break;
    case LinkState::AwaitingPort:
        link->setText(tr("Waiting for %1 to come back").arg(portName));
        break;
    case LinkState::PortOpen:
    case LinkState::Connected:
        link->setText(QStringLiteral("%1 @ %2").arg(portName).arg(baudRate));
        break;
    case LinkState::Playing:
        link->setText(playback);
        break;
    }
    if (state != LinkState::Connected)
        firmware->clear();
    if (!portIsOpen(state))
        rate->clear();
}

void StatusLine::setPlayback(const QString &text)
{
    playback = text;
    if (linkState == LinkState::Playing)
        link->setText(text);
}

void StatusLine::setPort(const QString &name, int baud)
{
    portName = name;
    baudRate = baud;
    setLinkState(linkState);
}

void StatusLine::startRateWindow()
{
    lastCountsAt = clock();
    rateWindowMs = 0;
    rateWindowFrames = 0;
    bytesWithoutFramesMs = 0;
}

void StatusLine::setFirmware(const QString &version)
{
    firmware->setText(version.isEmpty()
            ? QString()
            : tr("Firmware %1").arg(version.section(QLatin1Char('\n'), 0, 0)));
}

void StatusLine::addCounts(int frames, qint64 bytes, int logRows)
{
    if (!recordingName.isEmpty() && logRows != recordedRows) {
        recordedRows = logRows;
        showRecording();
    }
    if (!portIsOpen(linkState))
        return;
    const qint64 now = clock();
    const qint64 ms = now - std::exchange(lastCountsAt, now);
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
