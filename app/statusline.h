#pragma once

#include "linkstate.h"
#include "openfailure.h"

#include <QObject>
#include <QSerialPort>
#include <QString>

#include <functional>

class QLabel;
class QStatusBar;

// The main window's permanent status fields: the link, the module's
// firmware, the frames received per second, the recording and the last
// error or notice, which stays until the next one.
class StatusLine : public QObject
{
    Q_OBJECT

public:
    // The frame rate is timed by `msClock`, a monotonic clock in ms.
    explicit StatusLine(QStatusBar *bar, std::function<qint64()> msClock = {});

    void setLinkState(LinkState state);
    // What the link field shows while a recording plays.
    void setPlayback(const QString &text);
    // Empty while the module has not told its version.
    void setFirmware(const QString &version);
    void setRecording(const QString &fileName);
    void recordingEnded(const QString &reason);

    // Data that keeps arriving this long without a frame points at a
    // wrong baud rate.
    static constexpr int bytesWithoutFramesMsBeforeHint = 2000;

public slots:
    void setPort(const QString &name, int baud);
    // The worker's counts since its last report; the rows of the recording.
    void addCounts(int frames, qint64 bytes, int logRows);
    void setNotice(const QString &text);

private:
    void showRecording();
    void startRateWindow();

    QLabel *link;
    QLabel *firmware;
    QLabel *rate;
    QLabel *recording;
    QLabel *notice;
    QString portName;
    QString playback;
    int baudRate = 0;
    // Counts are figures of a link only while a port is open; a new one
    // starts its rate afresh.
    LinkState linkState = LinkState::Disconnected;
    QString recordingName;
    int recordedRows = 0;
    std::function<qint64()> clock;
    qint64 lastCountsAt = 0;
    qint64 rateWindowMs = 0;
    int rateWindowFrames = 0;
    qint64 bytesWithoutFramesMs = 0;
};
