#pragma once

// Compares a data log written by the tool with the simulator's own record
// of the sensor frames it sent.

#include "sampletext.h"

#include <QFile>
#include <QList>

namespace recordcheck {

// The data log rows the simulator's frames should have produced, in order.
inline QList<QByteArray> expectedRows(const QString &simRecordPath)
{
    QList<QByteArray> rows;
    QFile file(simRecordPath);
    if (!file.open(QIODevice::ReadOnly))
        return rows;
    const QByteArray bytes = file.readAll();
    for (int offset = 0; offset + zel::sensorFrameLength <= bytes.size();
         offset += zel::sensorFrameLength) {
        const auto *frame = reinterpret_cast<const uchar *>(bytes.constData()) + offset;
        rows.append(zel::csvRow(zel::decodeSensorPayload(frame + 4)));
    }
    return rows;
}

struct LogContents
{
    QByteArray header;
    QList<QByteArray> rows; // each with its line feed
    bool endsWithLineFeed = false;
};

inline LogContents readLog(const QString &path)
{
    LogContents log;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return log;
    const QByteArray bytes = file.readAll();
    log.endsWithLineFeed = bytes.endsWith('\n');
    QList<QByteArray> lines = bytes.split('\n');
    if (log.endsWithLineFeed)
        lines.removeLast();
    if (!lines.isEmpty())
        log.header = lines.takeFirst() + '\n';
    for (const QByteArray &line : lines)
        log.rows.append(line + '\n');
    return log;
}

// Where the logged rows sit inside the sent rows as one unbroken run, or -1.
inline int runStart(const QList<QByteArray> &sent, const QList<QByteArray> &logged)
{
    if (logged.isEmpty())
        return -1;
    for (int start = sent.indexOf(logged.first()); start >= 0;
         start = sent.indexOf(logged.first(), start + 1)) {
        if (start + logged.size() > sent.size())
            return -1;
        if (sent.mid(start, logged.size()) == logged)
            return start;
    }
    return -1;
}

} // namespace recordcheck
