#include "consoleclock.h"

#include "sampletext.h"

#include <QDateTime>

namespace zel {

QString ConsoleClock::stamp()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now < offsetFromMs || now >= offsetUntilMs) {
        constexpr qint64 minuteMs = 60000;
        offsetFromMs = now - now % minuteMs;
        offsetUntilMs = offsetFromMs + minuteMs;
        offsetMs = qint64(QDateTime::fromMSecsSinceEpoch(now).offsetFromUtc()) * 1000;
    }
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(now + offsetMs, Qt::UTC);
    return consoleStamp(local.date(), local.time());
}

} // namespace zel
