#pragma once

#include "recordingreader.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

// A recording played as the module would have sent it: on the GUI thread,
// row after row at the pace of the module's timestamps times the chosen
// speed, with a position that can be moved anywhere and stepped a row at a
// time. The position is the row shown last.
class Playback : public QObject
{
    Q_OBJECT

public:
    explicit Playback(QObject *parent = nullptr);

    // Takes the recording, positioned at its first row and paused.
    void open(zel::Recording opened, const QString &fileName);
    void close();
    bool isOpen() const { return recording.rows() > 0; }
    const zel::Recording &rows() const { return recording; }
    int position() const { return row; }
    bool isPlaying() const { return timer.isActive(); }
    // "12:03.250 / 58:41.002"
    QString timeText() const;
    // "drive.csv  12:03.250 / 58:41.002"
    QString positionText() const;

    // Module seconds played per second; 0 plays as fast as the views draw.
    void setSpeed(double speed);
    void setPlaying(bool play);
    // To the first row at or after `seconds` into the recording.
    void seek(double seconds);
    // One row on (+1) or back (-1).
    void step(int rows);

    // A played row's views need no more than the newest minute: the charts
    // keep that much.
    static constexpr double historySeconds = 60;

signals:
    // Rows played on from the position, in order, with their console text.
    void played(const zel::SensorSamples &samples, const QString &consoleText);
    // The position moved elsewhere: the newest minute up to it, and the
    // console text of its row.
    void jumped(const zel::SensorSamples &recent, const QString &consoleText);
    void positionChanged();
    void playingChanged(bool playing);

private:
    void playDue();
    void jumpTo(int to);
    // The console lines of rows first..last, stamped with their time into
    // the recording.
    QString consoleText(int first, int last) const;
    // Module seconds from the row before to `to`; none into a new segment.
    double gapBefore(int to) const;

    zel::Recording recording;
    QString name;
    int row = 0;
    double speedFactor = 1;
    // Module time due to be played and not yet reached by the next row.
    double due = 0;
    QTimer timer;
    QElapsedTimer sinceTick;
    // As fast as drawn: the rows of the last tick and what they cost.
    int fastRows = 500;
    qint64 fastCostNs = 10000000;
};
