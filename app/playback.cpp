#include "playback.h"

#include "consolefeed.h"
#include "sampletext.h"

#include <algorithm>

namespace {

// The pace is kept at about screen rate.
constexpr int tickIntervalMs = 10;
// A GUI thread held up for longer catches up by no more than this much real
// time at the next tick, rather than all it missed at once.
constexpr double longestTickSeconds = 0.1;
// As fast as drawn, each tick plays as many rows as the views take in about
// this long, and then lets them draw.
constexpr qint64 fastTickNs = 10000000;
// A row is three console lines, and the console keeps only so many: lines
// of earlier rows would be dropped unseen.
constexpr int consoleRows = ConsoleFeed::windowLineLimit / 3 + 1;

} // namespace

Playback::Playback(QObject *parent)
    : QObject(parent)
{
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, &Playback::playDue);
}

void Playback::open(zel::Recording opened, const QString &fileName)
{
    setPlaying(false);
    recording = std::move(opened);
    name = fileName;
    jumpTo(0);
}

void Playback::close()
{
    setPlaying(false);
    recording = zel::Recording();
    row = 0;
}

QString Playback::timeText() const
{
    return zel::elapsedText(recording.elapsed(row), false) + QStringLiteral(" / ")
        + zel::elapsedText(recording.length(), false);
}

QString Playback::positionText() const
{
    return name + QStringLiteral("  ") + timeText();
}

void Playback::setSpeed(double speed)
{
    speedFactor = speed;
    timer.setInterval(speed > 0 ? tickIntervalMs : 0);
}

void Playback::setPlaying(bool play)
{
    if (play == isPlaying() || (play && !isOpen()))
        return;
    if (play) {
        // Played to its end, it plays again from the start.
        if (row == recording.rows() - 1)
            jumpTo(0);
        due = 0;
        sinceTick.start();
        timer.start(speedFactor > 0 ? tickIntervalMs : 0);
    } else {
        timer.stop();
    }
    emit playingChanged(play);
}

void Playback::seek(double seconds)
{
    if (isOpen())
        jumpTo(recording.rowAt(seconds));
}

void Playback::step(int rows)
{
    const int to = std::clamp(row + rows, 0, recording.rows() - 1);
    if (isPlaying() || !isOpen() || to == row)
        return;
    if (to != row + 1) {
        jumpTo(to);
        return;
    }
    row = to;
    emit played({ recording.sample(to) }, consoleText(to, to));
    emit positionChanged();
}

double Playback::gapBefore(int to) const
{
    return std::max(0.0, double(recording.timestamp(to)) - recording.timestamp(to - 1));
}

void Playback::playDue()
{
    const int last = recording.rows() - 1;
    const double real = std::min(sinceTick.nsecsElapsed() / 1e9, longestTickSeconds);
    sinceTick.start();
    int to = row;
    if (speedFactor > 0) {
        due += real * speedFactor;
        while (to < last && gapBefore(to + 1) <= due)
            due -= gapBefore(++to);
    } else {
        // The rows that took the views the tick's time last time, a few
        // more or fewer as that time fell short or ran over.
        const double rowsPerNs = double(std::max(1, fastRows)) / std::max<qint64>(1, fastCostNs);
        fastRows = int(std::clamp(rowsPerNs * fastTickNs, 1.0, 100000.0));
        to = std::min(last, row + fastRows);
    }
    if (to > row) {
        zel::SensorSamples samples;
        samples.reserve(to - row);
        for (int r = row + 1; r <= to; ++r)
            samples.append(recording.sample(r));
        const int first = row + 1;
        row = to;
        QElapsedTimer cost;
        cost.start();
        emit played(samples, consoleText(first, to));
        fastCostNs = cost.nsecsElapsed();
        emit positionChanged();
    }
    if (row == last)
        setPlaying(false);
}

void Playback::jumpTo(int to)
{
    row = to;
    due = 0;
    const int first = recording.rowAt(recording.elapsed(to) - historySeconds);
    zel::SensorSamples recent;
    recent.reserve(to - first + 1);
    for (int r = first; r <= to; ++r)
        recent.append(recording.sample(r));
    emit jumped(recent, consoleText(to, to));
    emit positionChanged();
}

QString Playback::consoleText(int first, int last) const
{
    QString text;
    for (int r = std::max(first, last - consoleRows + 1); r <= last; ++r)
        zel::appendSensorConsoleText(
            text, recording.sample(r), zel::elapsedText(recording.elapsed(r)));
    text.chop(1); // the console adds a line end of its own
    return text;
}
