#pragma once

// What the running process costs the machine (its resident memory and the
// CPU time of all its threads) and what the simulator has sent it: the
// figures the soak and the benchmarks report.

#include "protocol.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <sys/resource.h>
#include <unistd.h>

namespace procstats {

// Resident bytes from the text of /proc/<pid>/statm, whose second field is
// the resident size in pages; -1 when the text is not of that form.
inline qint64 residentBytesFromStatm(const QByteArray &statm, qint64 pageSize)
{
    const QList<QByteArray> fields = statm.simplified().split(' ');
    if (fields.size() < 2 || pageSize <= 0)
        return -1;
    bool ok = false;
    const qint64 pages = fields.at(1).toLongLong(&ok);
    return ok && pages >= 0 ? pages * pageSize : -1;
}

// This process's resident memory in bytes, or -1 where /proc is missing.
inline qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    return residentBytesFromStatm(statm.readAll(), qint64(sysconf(_SC_PAGESIZE)));
}

// User and system CPU seconds used so far by every thread of the process.
inline double cpuSeconds()
{
    rusage usage {};
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return 0;
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

inline double megabytes(qint64 bytes)
{
    return double(bytes) / (1024.0 * 1024.0);
}

// Sensor frames the simulator has sent so far, from its --record file.
inline qint64 framesSent(const QString &record)
{
    return QFileInfo(record).size() / zel::sensorFrameLength;
}

} // namespace procstats
