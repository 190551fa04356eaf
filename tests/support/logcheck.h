#pragma once

// Judges a data log the tool wrote against the simulator's record of the
// sensor frames it sent (zel-sim --record): the header exactly as written
// here, every row whole, and the rows one unbroken run of the frames sent.
// The rows the frames stand for come from the tool's own decoder and CSV
// writer, so this proves only that no row was lost, torn or repeated; the
// values in a row are tested against hex elsewhere.

#include "protocol.h"
#include "sampletext.h"

#include <QFile>
#include <QList>
#include <QString>

namespace logcheck {

// Empty when the log is whole, else where it first goes wrong. `rows` gets
// the number of rows after the header. A log that `endsAtPause` ran into a
// pause of the stream (the frames' own timestamps jump) and must hold every
// frame sent before it. With `gaps`, rows may skip frames (those a vanished
// port took with it), counted there, but stay in the order sent.
inline QString problem(const QString &logPath, const QString &recordPath, int *rows = nullptr,
    bool endsAtPause = false, int *gaps = nullptr)
{
    QFile log(logPath);
    QFile record(recordPath);
    if (!log.open(QIODevice::ReadOnly) || !record.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read the log or the simulator's record");
    const QByteArray text = log.readAll();
    QList<QByteArray> logged = text.split('\n');
    if (!text.endsWith('\n'))
        return QStringLiteral("the last row is torn: ") + logged.last();
    logged.removeLast();
    if (logged.takeFirst()
        != "Timestamp,Acc_X,Acc_Y,Acc_Z,Mag_X,Mag_Y,Mag_Z,Gyr_X,Gyr_Y,Gyr_Z,"
           "Quat_W,Quat_X,Quat_Y,Quat_Z,EulerAngle_X,EulerAngle_Y,EulerAngle_Z")
        return QStringLiteral("the header is not the tool's");
    if (rows)
        *rows = logged.size();
    for (const QByteArray &row : logged) {
        const QList<QByteArray> fields = row.split(',');
        bool whole = fields.size() == 17;
        for (const QByteArray &field : fields) {
            bool number = false;
            field.toDouble(&number);
            whole = whole && number && !field.contains(' ');
        }
        if (!whole)
            return QStringLiteral("torn row: ") + row;
    }
    QList<QByteArray> sent;
    const QByteArray frames = record.readAll();
    const auto *bytes = reinterpret_cast<const uchar *>(frames.constData());
    for (int at = 0; at + zel::sensorFrameLength <= frames.size(); at += zel::sensorFrameLength)
        sent.append(zel::csvRow(zel::decodeSensorPayload(bytes + at + 4)).chopped(1));
    const int first = logged.isEmpty() ? -1 : sent.indexOf(logged.first());
    if (first < 0)
        return QStringLiteral("the first row matches no frame sent");
    int at = first;
    for (int i = 1; i < logged.size(); ++i) {
        const int later = gaps ? int(sent.indexOf(logged.at(i), at + 1)) : -1;
        if (sent.value(at + 1) == logged.at(i)) {
            ++at;
        } else if (later > at) {
            at = later;
            ++*gaps;
        } else {
            return QStringLiteral("row %1 is not the frame sent after row %2").arg(i + 1).arg(i);
        }
    }
    const auto stamp = [](const QByteArray &row) { return row.split(',').first().toDouble(); };
    const int next = at + 1;
    if (endsAtPause && next < sent.size() && stamp(sent.at(next)) - stamp(logged.last()) < 1)
        return QStringLiteral("the rows stop short of the pause in the stream");
    return QString();
}

} // namespace logcheck
