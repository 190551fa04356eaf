#pragma once

#include "openfailure.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QString>

class QLabel;
class QStatusBar;
enum class LinkState;

// The main window's permanent status fields: the link, the module's
// firmware, the frames received per second, the recording and the last
// error or notice, which stays until the next one.
class StatusLine : public QObject
{
    Q_OBJECT

public:
    explicit StatusLine(QStatusBar *bar);

    void setLinkState(LinkState state);
    // Empty while the module has not told its version.
    void setFirmware(const QString &version);
    void setRecording(const QString &fileName);
    void recordingEnded(const QString &reason);

    // Data that keeps arriving this long without a frame points at a
    // wrong baud rate.
    static constexpr int bytesWithoutFramesMsBeforeHint = 2000;

public slots:
    void setPort(const QString &portName, int baudRate);
    // The worker's counts since its last report; the rows of the recording.
    void addCounts(int frames, qint64 bytes, int logRows);
    void setNotice(const QString &text);

private:
    void showRecording();

    QLabel *link;
    QLabel *firmware;
    QLabel *rate;
    QLabel *recording;
    QLabel *notice;
    QString portText;
    QString recordingName;
    int recordedRows = 0;
    QElapsedTimer sinceLastCounts;
    qint64 rateWindowMs = 0;
    int rateWindowFrames = 0;
    qint64 bytesWithoutFramesMs = 0;
};
