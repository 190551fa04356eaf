#include "simprocess.h"

#include <QDeadlineTimer>
#include <QtTest>

SimProcess::~SimProcess()
{
    stop();
}

bool SimProcess::start(const QStringList &arguments, int timeoutMs)
{
    const QString program = qEnvironmentVariable("ZEL_SIM");
    if (program.isEmpty())
        return false;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForStarted(timeoutMs))
        return false;
    QDeadlineTimer deadline(timeoutMs);
    while (!pending.contains('\n') && !deadline.hasExpired()) {
        if (!process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            break;
        pending.append(process.readAllStandardOutput());
    }
    const int end = pending.indexOf('\n');
    if (end < 0)
        return false;
    port = QString::fromLocal8Bit(pending.left(end)).trimmed();
    pending.remove(0, end + 1);
    return !port.isEmpty();
}

void SimProcess::control(const QString &line)
{
    process.write(line.toLocal8Bit() + '\n');
    process.waitForBytesWritten(1000);
}

void SimProcess::collect()
{
    pending.append(process.readAllStandardOutput());
    int end;
    while ((end = pending.indexOf('\n')) >= 0) {
        seen.append(QString::fromLocal8Bit(pending.left(end)).trimmed());
        pending.remove(0, end + 1);
    }
}

QStringList SimProcess::events()
{
    collect();
    return seen;
}

QString SimProcess::waitForEvent(const QString &prefix, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        collect();
        for (int i = consumedUpTo; i < seen.size(); ++i) {
            if (seen.at(i).startsWith(prefix)) {
                consumedUpTo = i + 1;
                return seen.at(i);
            }
        }
        if (deadline.hasExpired() || process.state() != QProcess::Running)
            return QString();
        // Keep the caller's event loop turning: the tool under test may live
        // on this thread.
        QTest::qWait(10);
    }
}

void SimProcess::stop()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}
